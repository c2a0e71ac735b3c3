#pragma once

#include <cerrno>
#include <cstring>
#include <string>

#include "platform/posix/durable_files.h"

// What the sources of DurableFiles share: how a failure reads, and the
// descriptor they hold a file by.
namespace meterstation {

// The one failure with no errno: the open file has no name left because it,
// or the directory it was in, was deleted. Writing on would lose the data.
inline constexpr const char* kNoLinkLeft = "the file or its directory no longer exists";

inline std::string systemReason(int error) { return std::strerror(error); }
inline Result systemFailure() { return Result::failure(systemReason(errno)); }

// An open file, closed through the calls table when it goes out of scope.
class Descriptor {
 public:
  Descriptor(int fd, const FileSystemCalls& calls) : fd_(fd), close_(calls.close) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  // Unchecked: nothing written through the descriptor is at stake any
  // more, or the operation failed already and is being undone.
  ~Descriptor() {
    if (fd_ < 0) return;
    const int error = errno;
    close_(fd_);
    errno = error;
  }

  int get() const { return fd_; }
  // On some file systems (NFS) written data reaches the server only at
  // close, so its failure is a failed write. 0, or -1 with errno set.
  int close() {
    const int fd = fd_;
    fd_ = -1;
    return fd < 0 ? 0 : close_(fd);
  }

 private:
  int fd_;
  const std::function<int(int)>& close_;
};

}  // namespace meterstation
