#pragma once

#include <string>

namespace meterstation {

// The freedesktop autostart entry that brings the station back at login,
// taking up the run that was going.
std::string autostartEntryText();

// Where the user's autostart entries live: $XDG_CONFIG_HOME/autostart, or
// ~/.config/autostart when that is unset, empty or not absolute (the base
// directory rules ignore a relative one). Empty when there is no home
// either.
std::string autostartDirectory(const char* configHome, const char* home);
// The same, from this process's environment and the user's account.
std::string autostartDirectory();

struct AutostartOutcome {
  bool ok = false;
  std::string message;  // what was done, or why it could not be
};

// Writes (on) or removes (off) meterstation.desktop in the directory,
// creating the directory when missing.
AutostartOutcome setAutostart(bool on, const std::string& directory);

}  // namespace meterstation
