// The recording side of the crash model: the real calls, each noted as the
// operation it makes on the disk.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "reliability/crash_model.h"

namespace meterstation::reliability {

void CrashRecorder::apply(const Op& op) {
  std::string& bytes = live_[op.inode];
  if (op.kind == Kind::Write) {
    if (bytes.size() < op.offset + op.data.size()) bytes.resize(op.offset + op.data.size(), '\0');
    bytes.replace(op.offset, op.data.size(), op.data);
  } else if (op.kind == Kind::Truncate) {
    bytes.resize(op.offset, '\0');
  }
  ops_.push_back(op);
}

std::string CrashRecorder::relative(const char* path) const {
  const std::string p = path;
  if (p.rfind(root_ + "/", 0) != 0) return {};
  return p.substr(root_.size() + 1);
}

int CrashRecorder::inodeOfFd(int fd) const {
  const auto it = fdInodes_.find(fd);
  return it == fdInodes_.end() ? -1 : it->second;
}

// True when a name of the descriptor's file ends in one of `names`.
bool CrashRecorder::named(int fd, const std::set<std::string>& names) const {
  const int inode = inodeOfFd(fd);
  for (const auto& [name, id] : nameInodes_) {
    if (id == inode && names.contains(name.substr(name.rfind('/') + 1))) return true;
  }
  return false;
}

void CrashRecorder::recordOpen(const char* path, int flags, int fd) {
  // A descriptor handed out again was closed: it no longer names the old file.
  fdDirs_.erase(fd);
  fdInodes_.erase(fd);
  const std::string rel = relative(path);
  if (rel.empty() && std::string(path) != root_) return;
  if ((flags & O_DIRECTORY) != 0) {
    fdDirs_[fd] = rel;
    return;
  }
  auto it = nameInodes_.find(rel);
  if (it == nameInodes_.end() && (flags & O_CREAT) != 0) {
    it = nameInodes_.emplace(rel, nextInode_++).first;
    ops_.push_back({Kind::Create, it->second, rel, {}, 0, {}});
  }
  if (it != nameInodes_.end()) fdInodes_[fd] = it->second;
}

FileSystemCalls CrashRecorder::calls() {
  FileSystemCalls calls = FileSystemCalls::real();
  recordNames(calls);
  recordData(calls);
  return calls;
}

// Which descriptor is which file, and what becomes of the names.
void CrashRecorder::recordNames(FileSystemCalls& calls) {
  calls.open = [this](const char* path, int flags, mode_t mode) {
    const int fd = ::open(path, flags, mode);
    if (fd >= 0) recordOpen(path, flags, fd);
    return fd;
  };
  calls.close = [this](int fd) {
    const bool fails = named(fd, failCloses);
    fdDirs_.erase(fd);
    fdInodes_.erase(fd);
    const int closed = ::close(fd);
    if (!fails) return closed;
    errno = EIO;
    return -1;
  };
  calls.dup = [this](int fd) {
    const int copy = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (copy >= 0 && fdInodes_.contains(fd)) fdInodes_[copy] = fdInodes_[fd];
    return copy;
  };
  calls.rename = [this](const char* from, const char* to) {
    const int result = ::rename(from, to);
    const std::string a = relative(from);
    const std::string b = relative(to);
    if (result == 0 && nameInodes_.contains(a)) {
      const int inode = nameInodes_[a];
      nameInodes_.erase(a);
      nameInodes_[b] = inode;
      ops_.push_back({Kind::Rename, inode, a, b, 0, {}});
      versions_[b].insert(live_[inode]);
    }
    return result;
  };
  calls.unlink = [this](const char* path) {
    const int result = ::unlink(path);
    const std::string rel = relative(path);
    if (result == 0 && nameInodes_.contains(rel)) {
      ops_.push_back({Kind::Unlink, nameInodes_[rel], rel, {}, 0, {}});
      nameInodes_.erase(rel);
    }
    return result;
  };
}

// What reaches a file's bytes, and what syncs them.
void CrashRecorder::recordData(FileSystemCalls& calls) {
  calls.write = [this](int fd, const void* data, std::size_t size) -> ssize_t {
    if (named(fd, failWrites)) {
      errno = ENOSPC;
      return -1;
    }
    const int inode = inodeOfFd(fd);
    const ssize_t written = ::write(fd, data, size);
    if (written > 0 && inode >= 0) {
      const off_t end = ::lseek(fd, 0, SEEK_CUR);
      apply({Kind::Write,
             inode,
             {},
             {},
             static_cast<std::uint64_t>(end - written),
             std::string(static_cast<const char*>(data), static_cast<std::size_t>(written))});
    }
    return written;
  };
  calls.pwrite = [this](int fd, const void* data, std::size_t size, off_t offset) -> ssize_t {
    const ssize_t written = ::pwrite(fd, data, size, offset);
    if (written > 0 && inodeOfFd(fd) >= 0) {
      apply({Kind::Write,
             inodeOfFd(fd),
             {},
             {},
             static_cast<std::uint64_t>(offset),
             std::string(static_cast<const char*>(data), static_cast<std::size_t>(written))});
    }
    return written;
  };
  calls.ftruncate = [this](int fd, off_t size) {
    const int result = ::ftruncate(fd, size);
    if (result == 0 && inodeOfFd(fd) >= 0) {
      apply({Kind::Truncate, inodeOfFd(fd), {}, {}, static_cast<std::uint64_t>(size), {}});
    }
    return result;
  };
  const auto sync = [this](int fd, int result) {
    if (result != 0) return result;
    if (const auto dir = fdDirs_.find(fd); dir != fdDirs_.end()) {
      ops_.push_back({Kind::DirSync, -1, dir->second, {}, 0, {}});
    } else if (inodeOfFd(fd) >= 0) {
      ops_.push_back({Kind::Sync, inodeOfFd(fd), {}, {}, 0, {}});
    }
    return result;
  };
  calls.fdatasync = [sync](int fd) { return sync(fd, ::fdatasync(fd)); };
  calls.fsync = [sync](int fd) { return sync(fd, ::fsync(fd)); };
}

}  // namespace meterstation::reliability
