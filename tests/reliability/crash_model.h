#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "platform/posix/durable_files.h"

namespace meterstation::reliability {

// A directory tree as a crash may leave it: relative path to bytes.
using DiskImage = std::map<std::string, std::string>;

// Records every file operation DurableFiles makes below a root and tells
// which disk states a crash after any of them may leave, on the weakest
// file system POSIX allows:
//  - bytes written to a file and not yet fdatasync'd may be lost, wholly or
//    from any 512-byte boundary on;
//  - a create, rename or unlink not yet followed by an fsync of its
//    directory may be undone; a rename is atomic;
//  - unsynced operations on different files reach the disk in any order.
class CrashRecorder {
 public:
  // The files already below the root are on the disk.
  explicit CrashRecorder(std::string root);

  // The real calls, recorded. A write to a file whose name is in
  // `failWrites` fails with ENOSPC instead; a close of one in `failCloses`
  // closes and says EIO, as NFS does with a write the server refused.
  FileSystemCalls calls();
  std::set<std::string> failWrites;
  std::set<std::string> failCloses;

  std::size_t operations() const { return ops_.size(); }
  std::string describe(std::size_t op) const;

  struct Bounds {
    std::size_t maxEntrySubsets = 64;  // per crash point, of unsynced entry operations
    std::size_t maxContentCuts = 3;    // 512-byte cuts per unsynced file besides none and all
  };
  // The crash states after the first `count` operations.
  std::vector<DiskImage> statesAfter(std::size_t count, const Bounds& bounds) const;
  // What was on the disk for sure after the first `count` operations: the
  // synced content of every file whose name is synced too.
  DiskImage durableAfter(std::size_t count) const;
  // Every whole content a file had when a rename put it in place, by name.
  const std::map<std::string, std::set<std::string>>& renamedVersions() const { return versions_; }

 private:
  enum class Kind { Create, Write, Truncate, Sync, DirSync, Rename, Unlink };
  struct Op {
    Kind kind;
    int inode = -1;
    std::string path;  // relative; the directory for DirSync
    std::string to;
    std::uint64_t offset = 0;
    std::string data;
  };
  struct Model;

  std::string relative(const char* path) const;
  int inodeOfFd(int fd) const;
  bool named(int fd, const std::set<std::string>& names) const;
  Model replay(std::size_t count) const;
  void recordOpen(const char* path, int flags, int fd);
  void recordNames(FileSystemCalls& calls);
  void recordData(FileSystemCalls& calls);
  void apply(const Op& op);

  std::string root_;
  DiskImage initial_;
  std::vector<Op> ops_;
  std::map<int, int> fdInodes_;            // open descriptor to inode
  std::map<int, std::string> fdDirs_;      // open descriptor of a directory
  std::map<std::string, int> nameInodes_;  // current name to inode
  int nextInode_ = 0;
  std::map<std::string, std::set<std::string>> versions_;
  std::map<int, std::string> live_;  // every file's content as the system shows it
};

// Writes the image into the directory (which must exist and be empty),
// creating the subdirectories it names.
void materialize(const DiskImage& image, const std::string& dir);

}  // namespace meterstation::reliability
