#include "platform/posix/mapped_text_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace meterstation {

namespace {

int openUnnamedFile(const std::string& dir) {
  const int fd = open(dir.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0 || (errno != EOPNOTSUPP && errno != EISDIR && errno != EINVAL)) return fd;
  // A file system without unnamed files: a named one, unlinked at once. Only
  // a crash in between could leave it, and then under a name that says whose.
  std::string path = dir + "/meterstation-list-XXXXXX";
  const int named = mkostemp(path.data(), O_CLOEXEC);
  if (named >= 0) unlink(path.c_str());
  return named;
}

std::size_t pageSize() {
  const long size = sysconf(_SC_PAGESIZE);
  return size > 0 ? static_cast<std::size_t>(size) : 4096;
}

}  // namespace

MappingCalls MappingCalls::real() {
  return {openUnnamedFile,
          [](int fd, off_t offset, off_t length) { return posix_fallocate(fd, offset, length); },
          [](std::size_t length, int fd, off_t offset) {
            return mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, offset);
          }};
}

MappedTextFile::MappedTextFile(const std::string& dir, MappingCalls calls)
    : calls_(std::move(calls)), dir_(dir) {
  if (dir.empty()) {
    error_ = "there is no cache directory";
    return;
  }
  fd_ = calls_.openUnnamed(dir);
  if (fd_ < 0) error_ = "cannot write the cache directory " + dir + ": " + std::strerror(errno);
}

MappedTextFile::~MappedTextFile() {
  for (const Region& region : regions_) munmap(region.at, region.length);
  if (fd_ >= 0) close(fd_);
}

char* MappedTextFile::allocate(std::size_t bytes) {
  if (fd_ < 0) return nullptr;
  const std::size_t page = pageSize();
  const std::size_t length = (std::max<std::size_t>(bytes, 1) + page - 1) / page * page;
  const auto offset = static_cast<off_t>(end_);
  if (const int failed = calls_.reserve(fd_, offset, static_cast<off_t>(length)); failed != 0) {
    error_ = "no room for list items in " + dir_ + ": " + std::strerror(failed);
    return nullptr;
  }
  // The range stays reserved even if it cannot be mapped; the next region
  // starts after it, and the file goes with the process.
  end_ += length;
  void* at = calls_.map(length, fd_, offset);
  if (at == MAP_FAILED) {
    error_ = "cannot map list items in " + dir_ + ": " + std::strerror(errno);
    return nullptr;
  }
  regions_.push_back({at, length});
  return static_cast<char*>(at);
}

void MappedTextFile::pageOut() {
#ifdef MADV_PAGEOUT
  for (const Region& region : regions_) madvise(region.at, region.length, MADV_PAGEOUT);
#endif
}

}  // namespace meterstation
