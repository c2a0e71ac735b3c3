#include "platform/posix/durable_files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <limits>

#include "platform/posix/file_descriptor.h"

namespace meterstation {

namespace {

// The one failure with no errno: the open file has no name left because it,
// or the directory it was in, was deleted. Writing on would lose the data.
const char* const kNoLinkLeft = "the file or its directory no longer exists";

Result systemFailure() { return Result::failure(systemReason(errno)); }

std::string directoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

std::string fileNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// -1 with errno set when fstat fails, 0 when the file has lost its last
// name, 1 while it still has one.
int linkState(int fd, struct stat& status) {
  if (::fstat(fd, &status) != 0) return -1;
  return status.st_nlink == 0 ? 0 : 1;
}

}  // namespace

FileSystemCalls FileSystemCalls::real() {
  FileSystemCalls calls;
  calls.open = [](const char* path, int flags, mode_t mode) { return ::open(path, flags, mode); };
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
  return calls;
}

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

Result DurableFiles::syncDirectory(const std::string& path) {
  const int fd = openFile(directoryOf(path), O_RDONLY | O_DIRECTORY);
  if (fd < 0) return systemFailure();
  Descriptor directory(fd);
  int result;
  do {
    result = calls_.fsync(fd);
  } while (result != 0 && errno == EINTR);
  // Some file systems cannot sync a directory and say EINVAL; their entries
  // are as durable as they get.
  if (result != 0 && errno != EINVAL) return systemFailure();
  return Result::success();
}

Result DurableFiles::writeWhole(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = calls_.write(fd, bytes.data() + done, bytes.size() - done);
    if (written < 0) {
      if (errno == EINTR) continue;
      return systemFailure();
    }
    if (written == 0) return Result::failure(systemReason(ENOSPC));
    done += static_cast<std::size_t>(written);
  }
  return Result::success();
}

Result DurableFiles::append(const std::string& path, const std::string& bytes) {
  bool created = false;
  int fd = openFile(path, O_WRONLY | O_APPEND);
  if (fd < 0 && errno == ENOENT) {
    fd = openFile(path, O_WRONLY | O_APPEND | O_CREAT | O_EXCL, 0666);
    if (fd >= 0) {
      created = true;
    } else if (errno == EEXIST) {
      fd = openFile(path, O_WRONLY | O_APPEND);
    }
  }
  if (fd < 0) return systemFailure();
  Descriptor file(fd);

  struct stat before {};
  const int links = linkState(fd, before);
  if (links < 0) return systemFailure();
  if (links == 0) return Result::failure(kNoLinkLeft);

  // A failed append leaves the file as it was, an empty new file included,
  // so that writing the line again does not double any part of it.
  const auto undo = [&](const std::string& reason) {
    cutTo(fd, before.st_size);
    if (created) calls_.unlink(path.c_str());
    return Result::failure(reason);
  };

  if (!bytes.empty()) {
    // One write of the whole line: with O_APPEND it lands in one piece even
    // if some other program appends to the file too.
    ssize_t written;
    do {
      written = calls_.write(fd, bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    if (written < 0) return undo(systemReason(errno));
    if (static_cast<std::size_t>(written) != bytes.size()) {
      return undo("only " + std::to_string(written) + " of " + std::to_string(bytes.size()) +
                  " bytes could be written; the disk may be full");
    }
  }
  if (dataSync(fd) != 0) return undo(systemReason(errno));

  struct stat after {};
  const int linksAfter = linkState(fd, after);
  if (linksAfter < 0) return undo(systemReason(errno));
  if (linksAfter == 0) return Result::failure(kNoLinkLeft);
  file.close();

  if (created) {
    const Result synced = syncDirectory(path);
    if (!synced) {
      calls_.unlink(path.c_str());
      return synced;
    }
  }
  return Result::success();
}

Result DurableFiles::replace(const std::string& path, const std::string& bytes) {
  // Hidden, so that a directory listing never offers the half-written file.
  const std::string prefix =
      directoryOf(path) + "/." + fileNameOf(path) + ".tmp-" + std::to_string(::getpid()) + "-";
  std::string temporary;
  int fd = -1;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = prefix + std::to_string(temporaryCount_++);
    fd = openFile(temporary, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd >= 0 || errno != EEXIST) break;
  }
  if (fd < 0) return systemFailure();
  Descriptor file(fd);

  const auto discard = [&](const std::string& reason) {
    file.close();
    calls_.unlink(temporary.c_str());
    return Result::failure(reason);
  };

  // The new file takes over the old one's permissions, as an edit in place
  // would have kept them.
  struct stat old {};
  if (::stat(path.c_str(), &old) == 0) ::fchmod(fd, old.st_mode & 07777);

  struct stat status {};
  const int links = linkState(fd, status);
  if (links < 0) return discard(systemReason(errno));
  if (links == 0) return discard(kNoLinkLeft);

  const Result written = writeWhole(fd, bytes);
  if (!written) return discard(written.error);
  int synced;
  do {
    synced = calls_.fsync(fd);
  } while (synced != 0 && errno == EINTR);
  if (synced != 0) return discard(systemReason(errno));
  // On some file systems the data reaches the server only at close.
  if (::close(file.release()) != 0 && errno != EINTR) {
    const int error = errno;
    calls_.unlink(temporary.c_str());
    return Result::failure(systemReason(error));
  }

  if (calls_.rename(temporary.c_str(), path.c_str()) != 0) {
    const int error = errno;
    calls_.unlink(temporary.c_str());
    return Result::failure(systemReason(error));
  }
  return syncDirectory(path);
}

Result DurableFiles::writeAt(const std::string& path, std::uint64_t offset,
                             const std::string& bytes) {
  constexpr auto kLargest = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
  if (offset > kLargest - bytes.size()) return Result::failure(systemReason(EFBIG));
  const int fd = openFile(path, O_WRONLY);
  if (fd < 0) return systemFailure();
  Descriptor file(fd);

  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t written = calls_.pwrite(fd, bytes.data() + done, bytes.size() - done,
                                          static_cast<off_t>(offset + done));
    if (written < 0) {
      if (errno == EINTR) continue;
      return systemFailure();
    }
    if (written == 0) return Result::failure(systemReason(ENOSPC));
    done += static_cast<std::size_t>(written);
  }
  if (dataSync(fd) != 0) return systemFailure();
  return Result::success();
}

Result DurableFiles::truncate(const std::string& path, std::uint64_t size) {
  if (size > static_cast<std::uint64_t>(std::numeric_limits<off_t>::max())) {
    return Result::failure(systemReason(EFBIG));
  }
  const int fd = openFile(path, O_WRONLY);
  if (fd < 0) return systemFailure();
  Descriptor file(fd);
  if (cutTo(fd, static_cast<off_t>(size)) != 0) return systemFailure();
  if (dataSync(fd) != 0) return systemFailure();
  return Result::success();
}

Result DurableFiles::remove(const std::string& path) {
  if (calls_.unlink(path.c_str()) != 0) {
    // Already gone is what was asked for.
    if (errno == ENOENT) return Result::success();
    return systemFailure();
  }
  // Until the directory is synced a power cut can bring the file back, and
  // with it lines that were already delivered.
  return syncDirectory(path);
}

}  // namespace meterstation
