#pragma once

#include <string>

namespace meterstation {

// The entry in the user's Run key that starts the station with --resume
// whenever they log on.
inline constexpr wchar_t kRunKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";
inline constexpr wchar_t kRunValue[] = L"meterstation";

struct RunAtLogonOutcome {
  bool ok = false;
  std::string message;  // what was done, or why it could not be
};

// The command the entry holds: this program, quoted, with --resume.
std::wstring runAtLogonCommand();

// Sets (on) or removes (off) the entry.
RunAtLogonOutcome setRunAtLogon(bool on);

}  // namespace meterstation
