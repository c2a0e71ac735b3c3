#include <windows.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/early_actions.h"
#include "app/win32_station_app.h"
#include "platform/win32/message_window.h"
#include "platform/win32/run_at_logon.h"
#include "platform/win32/wide_text.h"

namespace {

// A window program has no console of its own: started from one, it writes
// its answers (--help, --version, mistakes) there; redirected, where it was
// sent.
void useParentConsole() {
  const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  if (output != nullptr && output != INVALID_HANDLE_VALUE) return;
  if (!AttachConsole(ATTACH_PARENT_PROCESS)) return;
  (void)std::freopen("CONOUT$", "w", stdout);
  (void)std::freopen("CONOUT$", "w", stderr);
}

// The arguments as the station takes them, one byte a character; one that
// has a character beyond that is kept with '?' so that it is reported as
// the mistake it is.
std::vector<std::string> arguments() {
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> narrowed;
  for (int i = 1; wide != nullptr && i < count; ++i) {
    narrowed.push_back(meterstation::narrowForMessage(wide[i]));
  }
  LocalFree(wide);
  return narrowed;
}

meterstation::AutostartOutcome switchRunAtLogon(bool on) {
  const meterstation::RunAtLogonOutcome outcome = meterstation::setRunAtLogon(on);
  return {outcome.ok, outcome.message};
}

int runMessageLoop(meterstation::Win32Window& window) {
  MSG message{};
  for (;;) {
    const BOOL got = GetMessageW(&message, nullptr, 0, 0);
    if (got == 0 || got == -1) break;
    if (window.preTranslate(message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return static_cast<int>(message.wParam);
}

}  // namespace

int main() {
  useParentConsole();
  const meterstation::ParsedOptions parsed = meterstation::parseOptions(arguments());
  if (const std::optional<int> status = meterstation::runEarlyAction(parsed, switchRunAtLogon)) {
    return *status;
  }
  if (!parsed.options.unknown.empty()) {
    return meterstation::unknownArguments(parsed.options.unknown);
  }
  // Positions are drawn in twips for the screen's real dots per inch.
  SetProcessDPIAware();

  meterstation::Win32StationApp station;
  // Without its window nothing could ever end the program.
  if (station.window.handle() == nullptr) {
    const std::string error = "cannot open the window: " + station.window.creationError();
    std::fprintf(stderr, "meterstation: %s\n", error.c_str());
    MessageBoxW(nullptr, meterstation::widen(error).c_str(), L"meterstation", MB_ICONERROR);
    return 1;
  }
  station.start();
  meterstation::MessageWindow afterStart;
  if (parsed.options.resume) afterStart.post([&station] { station.startResume(); });
  return runMessageLoop(station.window);
}
