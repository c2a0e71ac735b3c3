#pragma once

#include <unistd.h>

#include <cstring>
#include <string>

namespace meterstation {

inline std::string systemReason(int error) { return std::strerror(error); }

// An open file, closed when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() { close(); }

  // The result of close is not looked at: where it matters the data has
  // been synced before, and a failed operation is being undone anyway.
  void close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
  }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }

 private:
  int fd_;
};

}  // namespace meterstation
