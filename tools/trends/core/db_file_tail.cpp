#include "trends/core/db_file_tail.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace meterstation::trends {

namespace {

constexpr std::size_t kPiece = 4 << 20;
// 676 characters and CR LF: the size of a file gives its number of sets.
constexpr std::size_t kStationLineBytes = 678;
constexpr std::size_t kRoomToGrow = 65536;
// Seven years of a busy processor; a larger file grows the data as it goes.
constexpr std::size_t kMostReserved = 4 << 20;

TailOutcome failed(int error) {
  TailOutcome outcome;
  outcome.ok = false;
  outcome.error = std::strerror(error);
  return outcome;
}

}  // namespace

TailOutcome DbFileTail::readMore(TrendReader& reader) {
  const int fd = ::open(path_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return failed(errno);
  struct stat status {};
  if (fstat(fd, &status) != 0) {
    const int error = errno;
    ::close(fd);
    return failed(error);
  }
  if (S_ISDIR(status.st_mode)) {
    ::close(fd);
    return failed(EISDIR);
  }
  const auto size = static_cast<std::size_t>(status.st_size);
  sizeSeen_ = size;
  if (known_ && (status.st_dev != device_ || status.st_ino != inode_ || size < offset_)) {
    ::close(fd);
    TailOutcome outcome;
    outcome.replaced = true;
    return outcome;
  }
  known_ = true;
  device_ = status.st_dev;
  inode_ = status.st_ino;
  TailOutcome outcome;
  if (offset_ == 0) {
    // With room for months of new sets, so following the file does not
    // stall on copying all of it to a larger place.
    const std::size_t sets = size / kStationLineBytes;
    reader.data().reserve(std::min(sets + std::max(sets / 4, kRoomToGrow), kMostReserved));
  }
  if (size != offset_) outcome = readFrom(fd, reader);
  ::close(fd);
  return outcome;
}

TailOutcome DbFileTail::readFrom(int fd, TrendReader& reader) {
  offset_ -= reader.dropPending();
  buffer_.resize(kPiece);
  TailOutcome outcome;
  for (;;) {
    const ssize_t got = ::pread(fd, buffer_.data(), buffer_.size(), static_cast<off_t>(offset_));
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return failed(errno);
    if (got == 0) break;
    const auto n = static_cast<std::size_t>(got);
    reader.feed(std::string_view(buffer_.data(), n));
    offset_ += n;
    outcome.bytes += n;
  }
  return outcome;
}

}  // namespace meterstation::trends
