#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cstddef>
#include <functional>

#include "platform/files.h"

namespace meterstation {

// Every system call through which DurableFiles reaches the disk. Tests put
// a call that fails (a short write, ENOSPC, EIO) in place of a real one;
// a bench counts what they read and sync.
struct FileSystemCalls {
  std::function<int(const char* path, int flags, mode_t mode)> open;
  std::function<int(int fd)> close;
  std::function<int(int fd)> dup;
  std::function<ssize_t(int fd, const void* data, std::size_t size)> write;
  std::function<ssize_t(int fd, const void* data, std::size_t size, off_t offset)> pwrite;
  std::function<ssize_t(int fd, void* data, std::size_t size)> read;
  std::function<ssize_t(int fd, void* data, std::size_t size, off_t offset)> pread;
  std::function<int(int fd)> fdatasync;
  std::function<int(int fd)> fsync;
  std::function<int(const char* from, const char* to)> rename;
  std::function<int(const char* path)> unlink;
  std::function<int(int fd, off_t size)> ftruncate;
  std::function<int(const char* path, struct stat* status)> stat;
  std::function<int(int fd, struct stat* status)> fstat;
  std::function<int(int fd, mode_t mode)> fchmod;
  std::function<DIR*(const char* path)> opendir;
  std::function<dirent*(DIR* stream)> readdir;
  std::function<int(DIR* stream)> closedir;

  static FileSystemCalls real();
};

// Files that survive a power cut: nothing is reported written before it is
// on the disk, and a failure leaves the file as it was.
class DurableFiles : public Files {
 public:
  explicit DurableFiles(FileSystemCalls calls = FileSystemCalls::real());

  Result replace(const std::string& path, const std::string& bytes) override;
  Result append(const std::string& path, const std::string& bytes) override;
  ReadResult read(const std::string& path) override;
  ReadResult readRange(const std::string& path, std::uint64_t offset,
                       std::uint64_t length) override;
  bool exists(const std::string& path) override;
  std::optional<std::uint64_t> size(const std::string& path) override;
  Result writeAt(const std::string& path, std::uint64_t offset, const std::string& bytes) override;
  Result truncate(const std::string& path, std::uint64_t size) override;
  Result remove(const std::string& path) override;
  std::vector<std::string> list(const std::string& dir) override;
  bool isDirectory(const std::string& path) override;

 private:
  static std::string directoryOf(const std::string& path);

  int openFile(const std::string& path, int flags, mode_t mode = 0);
  int openForAppend(const std::string& path, bool& created);
  int dataSync(int fd);
  int cutTo(int fd, off_t size);
  int linkState(int fd, struct stat& status);
  void takeBack(int fd, const std::string& path, off_t size, bool created);
  int createTemporary(const std::string& path, std::string& temporary);
  Result keepMode(const std::string& path, int fd);
  Result syncDirectory(const std::string& path);
  Result writeWhole(int fd, const std::string& bytes);

  FileSystemCalls calls_;
  unsigned temporaryCount_ = 0;
};

}  // namespace meterstation
