#pragma once

#include <windows.h>

#include <filesystem>
#include <string>

#include "platform/win32/wide_text.h"

namespace meterstation::testsupport {

// A fresh directory of a test's own under the user's temporary directory
// (GetTempPathW), removed with everything in it at the end.
class TempDir {
 public:
  explicit TempDir(const std::string& prefix) {
    wchar_t base[MAX_PATH + 1];
    const DWORD length = GetTempPathW(MAX_PATH + 1, base);
    if (length == 0 || length > MAX_PATH) return;
    static unsigned count = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
      const std::wstring candidate = std::wstring(base, length) + widen(prefix) + L"-" +
                                     std::to_wstring(GetCurrentProcessId()) + L"-" +
                                     std::to_wstring(count++);
      if (!CreateDirectoryW(candidate.c_str(), nullptr)) continue;
      path_ = narrow(candidate).value_or("");
      if (path_.empty()) RemoveDirectoryW(candidate.c_str());
      break;
    }
  }
  ~TempDir() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(widen(path_), ignored);
  }
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  // Empty when no directory could be made.
  const std::string& path() const { return path_; }
  std::string operator/(const std::string& name) const { return path_ + "\\" + name; }

 private:
  std::string path_;
};

}  // namespace meterstation::testsupport
