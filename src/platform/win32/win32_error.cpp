#include "platform/win32/win32_error.h"

#include "platform/win32/wide_text.h"

namespace meterstation {

std::string systemReason(DWORD error) {
  wchar_t text[512];
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                     text, sizeof text / sizeof text[0], nullptr);
  if (length == 0) return "system error " + std::to_string(error);
  std::string reason = narrowForMessage(std::wstring_view(text, length));
  // The system's texts end in a full stop and a line break; the station
  // puts its messages on one line of its own.
  while (!reason.empty() && (reason.back() == '\n' || reason.back() == '\r' ||
                             reason.back() == ' ' || reason.back() == '.')) {
    reason.pop_back();
  }
  return reason;
}

}  // namespace meterstation
