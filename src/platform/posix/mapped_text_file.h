#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace meterstation {

// The system calls beneath MappedTextFile. Tests put a call that fails (no
// room on the disk, no mapping) in place of a real one.
struct MappingCalls {
  // A file without a name in the directory: a descriptor, or -1 and errno.
  std::function<int(const std::string& dir)> openUnnamed;
  // Reserves the blocks of a range: 0, or the error number.
  std::function<int(int fd, off_t offset, off_t length)> reserve;
  // A shared mapping of a range, or MAP_FAILED and errno.
  std::function<void*(std::size_t length, int fd, off_t offset)> map;

  static MappingCalls real();
};

// Texts kept in a file rather than in the process's own memory: the kernel
// may write them out and read them back as it needs the memory. The file has
// no name, so nothing of it is left on the disk once the process ends, however
// it ends. Every region is reserved on the disk before it is mapped: writing
// into a mapped hole that the disk cannot fill would kill the process.
class MappedTextFile {
 public:
  explicit MappedTextFile(const std::string& dir, MappingCalls calls = MappingCalls::real());
  ~MappedTextFile();
  MappedTextFile(const MappedTextFile&) = delete;
  MappedTextFile& operator=(const MappedTextFile&) = delete;

  bool ok() const { return fd_ >= 0; }
  // Why the file could not be made, or why the last region could not be had.
  const std::string& error() const { return error_; }

  // A new region of at least the given size, writable, that stays where it
  // is for the file's life; nullptr, with error() saying why, if the disk
  // has no room for it or the file could not be made.
  char* allocate(std::size_t bytes);

  // Asks the kernel to write every region out and drop it from memory now;
  // the next read brings it back.
  void pageOut();

  std::uint64_t mappedBytes() const { return end_; }

 private:
  struct Region {
    void* at;
    std::size_t length;
  };

  MappingCalls calls_;
  std::string dir_;
  int fd_ = -1;
  std::uint64_t end_ = 0;
  std::vector<Region> regions_;
  std::string error_;
};

}  // namespace meterstation
