#pragma once

#include <QString>

#include <utility>

#include "platform/settings_store.h"

namespace meterstation {

// The run's settings in an INI file, run.conf in the user's configuration
// directory (QStandardPaths::AppConfigLocation, which XDG_CONFIG_HOME
// moves). Texts are kept one byte a character, as the station holds them.
class QtSettingsStore : public SettingsStore {
 public:
  QtSettingsStore() = default;
  // A file of the caller's choosing instead.
  explicit QtSettingsStore(QString file) : file_(std::move(file)) {}

  // Where the settings are kept, looked up at each call.
  QString file() const;

  Result save(const RunSettings& settings) override;
  // Nothing when the file is missing or cannot be read, or when what it
  // holds is not a whole run's settings.
  std::optional<RunSettings> load() override;

 private:
  QString file_;
};

}  // namespace meterstation
