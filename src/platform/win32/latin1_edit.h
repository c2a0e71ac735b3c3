#pragma once

#include <windows.h>

namespace meterstation {

// Makes an EDIT control take only what Latin-1 can hold, as the station
// keeps texts one byte a character: a character beyond U+00FF, typed or
// pasted, is refused with a beep and the text stays as it was, rather
// than losing characters on the way in.
void keepLatin1(HWND edit);

}  // namespace meterstation
