#pragma once

#include <QString>

#include <algorithm>

namespace meterstation {

// The station's texts are one byte a character: a name with a character
// beyond Latin-1 cannot be shown or used as it stands.
inline bool fitsLatin1(const QString& text) {
  return std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
}

}  // namespace meterstation
