// The real entries of the files adapter's calls table.
#include <fcntl.h>
#include <unistd.h>

#include "platform/posix/durable_files.h"

namespace meterstation {

FileSystemCalls FileSystemCalls::real() {
  FileSystemCalls calls;
  calls.open = [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); };
  calls.close = [](int fd) { return ::close(fd); };
  calls.dup = [](int fd) { return ::fcntl(fd, F_DUPFD_CLOEXEC, 0); };
  calls.write = [](int fd, const void* data, std::size_t size) { return ::write(fd, data, size); };
  calls.pwrite = [](int fd, const void* data, std::size_t size, off_t offset) {
    return ::pwrite(fd, data, size, offset);
  };
  calls.read = [](int fd, void* data, std::size_t size) { return ::read(fd, data, size); };
  calls.pread = [](int fd, void* data, std::size_t size, off_t offset) {
    return ::pread(fd, data, size, offset);
  };
  calls.fdatasync = [](int fd) { return ::fdatasync(fd); };
  calls.fsync = [](int fd) { return ::fsync(fd); };
  calls.rename = [](const char* from, const char* to) { return ::rename(from, to); };
  calls.unlink = [](const char* path) { return ::unlink(path); };
  calls.ftruncate = [](int fd, off_t size) { return ::ftruncate(fd, size); };
  calls.stat = [](const char* path, struct stat* status) { return ::stat(path, status); };
  calls.fstat = [](int fd, struct stat* status) { return ::fstat(fd, status); };
  calls.fchmod = [](int fd, mode_t mode) { return ::fchmod(fd, mode); };
  calls.opendir = [](const char* path) { return ::opendir(path); };
  calls.readdir = [](DIR* stream) { return ::readdir(stream); };
  calls.closedir = [](DIR* stream) { return ::closedir(stream); };
  return calls;
}

}  // namespace meterstation
