#include "platform/win32/run_at_logon.h"

#include <windows.h>

#include <vector>

#include "platform/win32/wide_text.h"
#include "platform/win32/win32_error.h"

namespace meterstation {

namespace {

const std::string kEntryName =
    "HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run\\meterstation";

std::wstring programPath() {
  std::vector<wchar_t> path(MAX_PATH);
  for (;;) {
    const DWORD got = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (got == 0) return {};
    if (got < path.size()) return std::wstring(path.data(), got);
    path.resize(path.size() * 2);
  }
}

std::string failure(const std::string& what, LSTATUS status) {
  return "cannot " + what + " " + kEntryName + ": " + systemReason(static_cast<DWORD>(status));
}

RunAtLogonOutcome writeEntry() {
  const std::wstring command = runAtLogonCommand();
  HKEY key = nullptr;
  LSTATUS status = RegCreateKeyExW(HKEY_CURRENT_USER, kRunKey, 0, nullptr, 0, KEY_SET_VALUE,
                                   nullptr, &key, nullptr);
  if (status != ERROR_SUCCESS) return {false, failure("write", status)};
  const auto bytes = static_cast<DWORD>((command.size() + 1) * sizeof(wchar_t));
  status = RegSetValueExW(key, kRunValue, 0, REG_SZ, reinterpret_cast<const BYTE*>(command.c_str()),
                          bytes);
  RegCloseKey(key);
  if (status != ERROR_SUCCESS) return {false, failure("write", status)};
  return {true, "autostart on: " + kEntryName + " starts " + narrowForMessage(command) +
                    " whenever you log on"};
}

RunAtLogonOutcome removeEntry() {
  HKEY key = nullptr;
  LSTATUS status = RegOpenKeyExW(HKEY_CURRENT_USER, kRunKey, 0, KEY_SET_VALUE, &key);
  if (status == ERROR_FILE_NOT_FOUND) return {true, "autostart off: there was no " + kEntryName};
  if (status != ERROR_SUCCESS) return {false, failure("remove", status)};
  status = RegDeleteValueW(key, kRunValue);
  RegCloseKey(key);
  if (status == ERROR_FILE_NOT_FOUND) return {true, "autostart off: there was no " + kEntryName};
  if (status != ERROR_SUCCESS) return {false, failure("remove", status)};
  return {true, "autostart off: removed " + kEntryName};
}

}  // namespace

std::wstring runAtLogonCommand() { return L"\"" + programPath() + L"\" --resume"; }

RunAtLogonOutcome setRunAtLogon(bool on) { return on ? writeEntry() : removeEntry(); }

}  // namespace meterstation
