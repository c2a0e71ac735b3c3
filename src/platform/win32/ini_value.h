#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace meterstation {

// A text kept one byte a character, as the value of an INI line in
// QSettings' dialect: escapes for control characters, '\' and '"', quotes
// around a value with ';', ',' or '=' or an outer space, UTF-8 beyond
// ASCII, and QSettings' marks for a text starting with '@' or holding NUL.
std::string iniValue(std::string_view text);

// The text an INI value stands for; nothing when it stands for a list,
// for another kind of value, or for a character beyond one byte, or when
// it is not UTF-8.
std::optional<std::string> iniText(std::string_view value);

}  // namespace meterstation
