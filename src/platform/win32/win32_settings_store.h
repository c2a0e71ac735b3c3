#pragma once

#include <string>

#include "platform/settings_store.h"
#include "platform/win32/win32_durable_files.h"

namespace meterstation {

// The run's settings in an INI file, run.conf in %APPDATA%\meterstation,
// in the Linux run.conf's format. A save replaces the file whole, so a
// power cut leaves the old settings or the new ones, never half of each.
class Win32SettingsStore : public SettingsStore {
 public:
  Win32SettingsStore() = default;
  // A file of the caller's choosing, and the calls its files go through.
  explicit Win32SettingsStore(std::string file, Win32FileCalls calls = Win32FileCalls::real())
      : file_(std::move(file)), files_(std::move(calls)) {}

  // Where the settings are kept, looked up at each call; the empty text
  // when the user has no application data directory.
  std::string file() const;

  Result save(const RunSettings& settings) override;
  // Nothing when the file is missing or cannot be read, or when what it
  // holds is not a whole run's settings.
  std::optional<RunSettings> load() override;

 private:
  std::string file_;
  Win32DurableFiles files_;
};

}  // namespace meterstation
