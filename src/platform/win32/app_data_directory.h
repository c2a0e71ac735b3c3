#pragma once

#include <string>

namespace meterstation {

// %APPDATA%\meterstation (the user's roaming application data), created
// when missing; the empty text when there is none or its path has a
// character beyond one byte.
std::string appDataDirectory();

}  // namespace meterstation
