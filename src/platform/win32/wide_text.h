#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace meterstation {

// The station holds its texts one byte a character, as Latin-1, the same
// bytes the Linux build keeps; Win32 takes and gives UTF-16. These two are
// the only crossings between them.

inline std::wstring widen(std::string_view text) {
  std::wstring wide;
  wide.reserve(text.size());
  for (const char c : text) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
  return wide;
}

// Nothing when a character has no byte of its own: a path with one cannot
// be named again from its narrowed text, so it is not given out at all.
inline std::optional<std::string> narrow(std::wstring_view wide) {
  std::string text;
  text.reserve(wide.size());
  for (const wchar_t c : wide) {
    if (static_cast<unsigned>(c) > 0xFF) return std::nullopt;
    text.push_back(static_cast<char>(c));
  }
  return text;
}

// For messages only, where a '?' in place of a character loses nothing
// that is acted on.
inline std::string narrowForMessage(std::wstring_view wide) {
  std::string text;
  text.reserve(wide.size());
  for (const wchar_t c : wide) {
    text.push_back(static_cast<unsigned>(c) > 0xFF ? '?' : static_cast<char>(c));
  }
  return text;
}

}  // namespace meterstation
