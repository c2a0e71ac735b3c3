// The reading side of Win32DurableFiles: nothing here changes a file.
// Reads let others write and delete meanwhile, as reads on Linux do.
#include <algorithm>
#include <limits>

#include "platform/win32/file_handle.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_durable_files.h"
#include "platform/win32/win32_error.h"

namespace meterstation {

namespace {

ReadResult failedRead(DWORD error) {
  ReadResult result;
  result.ok = false;
  result.error = systemReason(error);
  return result;
}

bool surelyMissing(DWORD error) {
  return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ||
         error == ERROR_INVALID_NAME;
}

}  // namespace

ReadResult Win32DurableFiles::read(const std::string& path) {
  ReadResult result;
  const FileHandle file(openFile(path, GENERIC_READ, kShareAll, OPEN_EXISTING), calls_);
  if (!file.valid()) return failedRead(GetLastError());
  char buffer[65536];
  for (;;) {
    DWORD got = 0;
    if (!calls_.readFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
      return failedRead(GetLastError());
    }
    if (got == 0) return result;
    result.bytes.append(buffer, got);
  }
}

ReadResult Win32DurableFiles::readRange(const std::string& path, std::uint64_t offset,
                                        std::uint64_t length) {
  constexpr auto kLargest = static_cast<std::uint64_t>(std::numeric_limits<LONGLONG>::max());
  if (offset > kLargest || length > kLargest - offset || length > SIZE_MAX) {
    return failedRead(ERROR_FILE_TOO_LARGE);
  }
  const FileHandle file(openFile(path, GENERIC_READ, kShareAll, OPEN_EXISTING), calls_);
  if (!file.valid()) return failedRead(GetLastError());
  ReadResult result;
  result.bytes.resize(static_cast<std::size_t>(length));
  std::size_t done = 0;
  while (done < result.bytes.size()) {
    const std::uint64_t at = offset + done;
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(at);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    const std::size_t left = result.bytes.size() - done;
    const auto chunk = static_cast<DWORD>(left < MAXDWORD ? left : MAXDWORD);
    DWORD got = 0;
    if (!calls_.readFile(file.get(), result.bytes.data() + done, chunk, &got, &position)) {
      // A range from beyond the end reads as nothing, not as a failure.
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return failedRead(GetLastError());
    }
    if (got == 0) break;  // the file ends before the range does
    done += got;
  }
  result.bytes.resize(done);
  return result;
}

bool Win32DurableFiles::exists(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (calls_.fileAttributes(widen(path).c_str(), &data)) return true;
  // Only a name surely not there is missing: one that cannot be looked at
  // is left to the call that follows to report.
  return !surelyMissing(GetLastError());
}

std::optional<std::uint64_t> Win32DurableFiles::size(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  if (!calls_.fileAttributes(widen(path).c_str(), &data) ||
      (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
    return std::nullopt;
  }
  return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::vector<std::string> Win32DurableFiles::list(const std::string& dir) {
  std::vector<std::string> names;
  const bool endsInSeparator = !dir.empty() && (dir.back() == '\\' || dir.back() == '/');
  WIN32_FIND_DATAW found{};
  const HANDLE search =
      calls_.findFirstFile(widen(dir + (endsInSeparator ? "*" : "\\*")).c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  bool whole = true;
  for (;;) {
    // A name with a character beyond one byte could not be opened again
    // from its narrowed text; the station makes no such files.
    const auto name = narrow(found.cFileName);
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && name) names.push_back(*name);
    if (!calls_.findNextFile(search, &found)) {
      whole = GetLastError() == ERROR_NO_MORE_FILES;
      break;
    }
  }
  calls_.findClose(search);
  // Half a listing would pass for the whole of it.
  if (!whole) names.clear();
  // The directory's own order changes from one file system to the next.
  std::sort(names.begin(), names.end());
  return names;
}

bool Win32DurableFiles::isDirectory(const std::string& path) {
  WIN32_FILE_ATTRIBUTE_DATA data{};
  return calls_.fileAttributes(widen(path).c_str(), &data) &&
         (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

}  // namespace meterstation
