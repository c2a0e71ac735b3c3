// The calls the other jobs of DurableFiles share, and byte access to a file
// that is there.
#include "platform/posix/durable_files.h"

#include <fcntl.h>

#include <cerrno>
#include <limits>

#include "platform/posix/file_descriptor.h"

namespace meterstation {

DurableFiles::DurableFiles(FileSystemCalls calls) : calls_(std::move(calls)) {}

int DurableFiles::openFile(const std::string& path, int flags, mode_t mode) {
  int fd;
  do {
    fd = calls_.open(path.c_str(), flags | O_CLOEXEC, mode);
  } while (fd < 0 && errno == EINTR);
  return fd;
}

int DurableFiles::cutTo(int fd, off_t size) {
  int result;
  do {
    result = calls_.ftruncate(fd, size);
  } while (result != 0 && errno == EINTR);
  return result;
}

int DurableFiles::dataSync(int fd) {
  int result;
  do {
    result = calls_.fdatasync(fd);
  } while (result != 0 && errno == EINTR);
  return result;
}

// -1 with errno set when fstat fails, 0 when the file has lost its last
// name, 1 while it still has one.
int DurableFiles::linkState(int fd, struct stat& status) {
  if (calls_.fstat(fd, &status) != 0) return -1;
  return status.st_nlink == 0 ? 0 : 1;
}

Result DurableFiles::writeAt(const std::string& path, std::uint64_t offset,
                             const std::string& bytes) {
  constexpr auto kLargest = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
  if (offset > kLargest - bytes.size()) return Result::failure(systemReason(EFBIG));
  Descriptor file(openFile(path, O_WRONLY), calls_);
  if (file.get() < 0) return systemFailure();

  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = calls_.pwrite(file.get(), bytes.data() + done, bytes.size() - done,
                                          static_cast<off_t>(offset + done));
    if (written < 0) {
      if (errno == EINTR) continue;
      return systemFailure();
    }
    if (written == 0) return Result::failure(systemReason(ENOSPC));
    done += static_cast<std::size_t>(written);
  }
  if (dataSync(file.get()) != 0 || file.close() != 0) return systemFailure();
  return Result::success();
}

Result DurableFiles::truncate(const std::string& path, std::uint64_t size) {
  if (size > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
    return Result::failure(systemReason(EFBIG));
  }
  Descriptor file(openFile(path, O_WRONLY), calls_);
  if (file.get() < 0) return systemFailure();
  if (cutTo(file.get(), static_cast<off_t>(size)) != 0) return systemFailure();
  if (dataSync(file.get()) != 0 || file.close() != 0) return systemFailure();
  return Result::success();
}

}  // namespace meterstation
