#include "platform/win32/app_data_directory.h"

#include <windows.h>
// After windows.h, which they build on.
#include <knownfolders.h>
#include <shlobj.h>

#include "platform/win32/wide_text.h"

namespace meterstation {

std::string appDataDirectory() {
  PWSTR base = nullptr;
  const HRESULT found =
      SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &base);
  std::wstring dir;
  if (SUCCEEDED(found)) dir = std::wstring(base) + L"\\meterstation";
  CoTaskMemFree(base);
  if (dir.empty()) return {};
  if (!CreateDirectoryW(dir.c_str(), nullptr)) {
    // Already there is fine, as long as it is a directory and not a file.
    const DWORD attributes = GetFileAttributesW(dir.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
      return {};
    }
  }
  return narrow(dir).value_or(std::string());
}

}  // namespace meterstation
