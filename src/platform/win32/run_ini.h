#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/settings_store.h"

namespace meterstation {

// The run's settings as the text of an INI file in the dialect of the
// Linux build's run.conf (Qt's QSettings): group [run], the keys in
// alphabetical order, texts in UTF-8 with QSettings' escapes and quotes.
// Lines end in `lineEnd`.
std::string runIniText(const RunSettings& run, std::string_view lineEnd);

// Nothing when the text is not a whole run's settings: a key missing, a
// number out of range, a text with a character beyond one byte, a list,
// a value of another kind, or bytes that are not UTF-8.
std::optional<RunSettings> runFromIniText(std::string_view text);

}  // namespace meterstation
