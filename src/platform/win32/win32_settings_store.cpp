#include "platform/win32/win32_settings_store.h"

#include "platform/win32/app_data_directory.h"
#include "platform/win32/run_ini.h"

namespace meterstation {

namespace {

// Far more than any run's settings: a larger file is not one this station
// wrote, and is not read into memory to find that out.
constexpr std::uint64_t kLargestFile = 1 << 20;

}  // namespace

std::string Win32SettingsStore::file() const {
  if (!file_.empty()) return file_;
  const std::string dir = appDataDirectory();
  return dir.empty() ? std::string() : dir + "\\run.conf";
}

Result Win32SettingsStore::save(const RunSettings& settings) {
  const std::string path = file();
  if (path.empty()) {
    return Result::failure("cannot write run.conf: the user has no application data directory");
  }
  const Result replaced = files_.replace(path, runIniText(settings, "\r\n"));
  if (!replaced) return Result::failure("cannot write " + path + ": " + replaced.error);
  return Result::success();
}

std::optional<RunSettings> Win32SettingsStore::load() {
  const std::string path = file();
  if (path.empty()) return std::nullopt;
  const std::optional<std::uint64_t> size = files_.size(path);
  if (!size || *size > kLargestFile) return std::nullopt;
  const ReadResult read = files_.read(path);
  if (!read.ok) return std::nullopt;
  return runFromIniText(read.bytes);
}

}  // namespace meterstation
