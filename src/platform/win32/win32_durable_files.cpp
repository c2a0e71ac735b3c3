// What the jobs of Win32DurableFiles share, byte access to a file that is
// there, and removal.
#include "platform/win32/win32_durable_files.h"

#include <cstdint>
#include <limits>

#include "platform/win32/file_handle.h"
#include "platform/win32/wide_text.h"
#include "platform/win32/win32_error.h"

namespace meterstation {

namespace {

constexpr auto kLargestOffset = static_cast<std::uint64_t>(std::numeric_limits<LONGLONG>::max());
// One WriteFile takes a DWORD; a gigabyte at a time stays well inside it.
constexpr std::size_t kLargestWrite = std::size_t{1} << 30;

bool cannotFlushDirectory(DWORD error) {
  return error == ERROR_ACCESS_DENIED || error == ERROR_INVALID_FUNCTION ||
         error == ERROR_INVALID_PARAMETER;
}

}  // namespace

Win32DurableFiles::Win32DurableFiles(Win32FileCalls calls) : calls_(std::move(calls)) {}

HANDLE Win32DurableFiles::openFile(const std::string& path, DWORD access, DWORD share,
                                   DWORD disposition, DWORD flags) {
  return calls_.createFile(widen(path).c_str(), access, share, disposition, flags);
}

std::string Win32DurableFiles::directoryOf(const std::string& path) {
  const std::size_t cut = path.find_last_of("\\/");
  if (cut == std::string::npos) return ".";
  // "C:\" is a directory; "C:" alone would be the drive's current one.
  if (cut == 0 || (cut == 2 && path[1] == ':')) return path.substr(0, cut + 1);
  return path.substr(0, cut);
}

// A new or removed name is durable once its directory is flushed. NTFS
// journals names anyway; a file system or a user's rights that allow no
// flush of a directory leave it as durable as it gets.
Result Win32DurableFiles::flushDirectory(const std::string& path) {
  const FileHandle directory(openFile(directoryOf(path), GENERIC_READ | GENERIC_WRITE, kShareAll,
                                      OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS),
                             calls_);
  if (!directory.valid()) {
    return cannotFlushDirectory(GetLastError()) ? Result::success() : lastErrorFailure();
  }
  if (calls_.flushFileBuffers(directory.get()) || cannotFlushDirectory(GetLastError())) {
    return Result::success();
  }
  return lastErrorFailure();
}

Result Win32DurableFiles::writeWhole(HANDLE file, const std::string& bytes, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const std::uint64_t at = offset + done;
    OVERLAPPED position{};
    position.Offset = static_cast<DWORD>(at);
    position.OffsetHigh = static_cast<DWORD>(at >> 32);
    const std::size_t left = bytes.size() - done;
    const auto chunk = static_cast<DWORD>(left < kLargestWrite ? left : kLargestWrite);
    DWORD written = 0;
    if (!calls_.writeFile(file, bytes.data() + done, chunk, &written, &position)) {
      return lastErrorFailure();
    }
    if (written == 0) return Result::failure(systemReason(ERROR_DISK_FULL));
    done += written;
  }
  return Result::success();
}

Result Win32DurableFiles::writeAt(const std::string& path, std::uint64_t offset,
                                  const std::string& bytes) {
  if (offset > kLargestOffset - bytes.size()) {
    return Result::failure(systemReason(ERROR_FILE_TOO_LARGE));
  }
  const FileHandle file(openFile(path, GENERIC_WRITE, kShareWhileWriting, OPEN_EXISTING), calls_);
  if (!file.valid()) return lastErrorFailure();
  const Result written = writeWhole(file.get(), bytes, offset);
  if (!written) return written;
  if (!calls_.flushFileBuffers(file.get())) return lastErrorFailure();
  return Result::success();
}

Result Win32DurableFiles::truncate(const std::string& path, std::uint64_t size) {
  if (size > kLargestOffset) return Result::failure(systemReason(ERROR_FILE_TOO_LARGE));
  const FileHandle file(openFile(path, GENERIC_WRITE, kShareWhileWriting, OPEN_EXISTING), calls_);
  if (!file.valid()) return lastErrorFailure();
  if (!calls_.setEndOfFile(file.get(), size)) return lastErrorFailure();
  if (!calls_.flushFileBuffers(file.get())) return lastErrorFailure();
  return Result::success();
}

Result Win32DurableFiles::remove(const std::string& path) {
  if (!calls_.deleteFile(widen(path).c_str())) {
    // Already gone is what was asked for.
    const DWORD error = GetLastError();
    if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return Result::success();
    return Result::failure(systemReason(error));
  }
  // Until the name's removal is on the disk a power cut can bring the file
  // back, and with it lines that were already delivered.
  return flushDirectory(path);
}

}  // namespace meterstation
