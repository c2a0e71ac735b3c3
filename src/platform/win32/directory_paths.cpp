#include "platform/win32/directory_paths.h"

#include <windows.h>

#include <algorithm>
#include <utility>

#include "platform/win32/win32_error.h"

namespace meterstation {

namespace {

bool isAsciiLetter(wchar_t c) { return (c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z'); }

bool shownSubdirectory(const WIN32_FIND_DATAW& found) {
  const std::wstring_view name = found.cFileName;
  if (name == L"." || name == L"..") return false;
  // Left out as Explorer leaves them out unless asked.
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 &&
         (found.dwFileAttributes & FILE_ATTRIBUTE_HIDDEN) == 0;
}

bool readsBefore(const std::wstring& a, const std::wstring& b) {
  const int folded = CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE);
  return folded != CSTR_EQUAL ? folded == CSTR_LESS_THAN : a < b;
}

}  // namespace

std::size_t rootLength(std::wstring_view path) {
  if (path.size() >= 3 && isAsciiLetter(path[0]) && path[1] == L':' && path[2] == L'\\') return 3;
  if (!path.starts_with(L"\\\\")) return 0;
  const std::size_t server = path.find(L'\\', 2);
  if (server == std::wstring_view::npos || server == 2 || server + 1 == path.size()) return 0;
  const std::size_t share = path.find(L'\\', server + 1);
  return share == std::wstring_view::npos ? path.size() : share + 1;
}

std::wstring fullDirectoryPath(std::wstring_view path) {
  const std::wstring given(path);
  const DWORD needed = GetFullPathNameW(given.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(given.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return {};
  full.resize(length);
  std::ranges::replace(full, L'/', L'\\');
  const std::size_t root = rootLength(full);
  if (root == 0) {
    SetLastError(ERROR_BAD_PATHNAME);
    return {};
  }
  // Drive letters name the same drive in either case; the drive list's
  // roots are in capitals, and paths are matched against them as text.
  if (full[1] == L':' && full[0] >= L'a') full[0] = static_cast<wchar_t>(full[0] - L'a' + L'A');
  while (full.size() > root && full.back() == L'\\') full.pop_back();
  if (full.size() == root && full.back() != L'\\') full.push_back(L'\\');
  return full;
}

std::wstring currentDirectory() {
  const DWORD needed = GetCurrentDirectoryW(0, nullptr);
  if (needed == 0) return {};
  std::wstring dir(needed, L'\0');
  const DWORD length = GetCurrentDirectoryW(needed, dir.data());
  if (length == 0 || length >= needed) return {};
  dir.resize(length);
  return fullDirectoryPath(dir);
}

std::vector<std::wstring> directoryChain(const std::wstring& path) {
  const std::size_t root = rootLength(path);
  if (root == 0) return {path};
  std::vector<std::wstring> chain{path.substr(0, root)};
  for (std::size_t at = path.find(L'\\', root); at != std::wstring::npos;
       at = path.find(L'\\', at + 1)) {
    chain.push_back(path.substr(0, at));
  }
  if (path.size() > root) chain.push_back(path);
  return chain;
}

std::wstring directoryCaption(const std::wstring& path) {
  if (path.size() <= rootLength(path)) return path;
  return path.substr(path.rfind(L'\\') + 1);
}

Result listSubdirectories(const std::wstring& path, std::vector<std::wstring>& names) {
  const DWORD attributes = GetFileAttributesW(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return lastErrorFailure();
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    return Result::failure(systemReason(ERROR_DIRECTORY));
  }
  const std::wstring pattern = path + (path.back() == L'\\' ? L"*" : L"\\*");
  WIN32_FIND_DATAW found;
  HANDLE search = FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                   FindExSearchLimitToDirectories, nullptr, 0);
  if (search == INVALID_HANDLE_VALUE) {
    // An empty root has not even "." to find.
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND ? Result::success() : Result::failure(systemReason(error));
  }
  std::vector<std::wstring> listed;
  bool more = true;
  while (more) {
    if (shownSubdirectory(found)) listed.emplace_back(found.cFileName);
    more = FindNextFileW(search, &found) != FALSE;
  }
  const DWORD error = GetLastError();
  FindClose(search);
  if (error != ERROR_NO_MORE_FILES) return Result::failure(systemReason(error));
  std::ranges::sort(listed, readsBefore);
  names = std::move(listed);
  return Result::success();
}

}  // namespace meterstation
