// Replacement: the whole new file, synced, takes the old one's name at once,
// or the old one stays as it was.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "platform/posix/durable_files.h"
#include "platform/posix/file_descriptor.h"

namespace meterstation {

namespace {

std::string fileNameOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

}  // namespace

// Hidden, so that a directory listing never offers the half-written file.
int DurableFiles::createTemporary(const std::string& path, std::string& temporary) {
  const std::string prefix =
      directoryOf(path) + "/." + fileNameOf(path) + ".tmp-" + std::to_string(::getpid()) + "-";
  int fd = -1;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary = prefix + std::to_string(temporaryCount_++);
    fd = openFile(temporary, O_WRONLY | O_CREAT | O_EXCL, 0666);
    if (fd >= 0 || errno != EEXIST) break;
  }
  return fd;
}

// The new file takes over the old one's permissions, as an edit in place
// would have kept them.
Result DurableFiles::keepMode(const std::string& path, int fd) {
  struct stat old {};
  if (calls_.stat(path.c_str(), &old) != 0) {
    return errno == ENOENT ? Result::success() : systemFailure();
  }
  if (calls_.fchmod(fd, old.st_mode & 07777) == 0) return Result::success();
  // A file system without modes (FAT) has none to lose.
  return errno == EPERM || errno == ENOTSUP ? Result::success() : systemFailure();
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

Result DurableFiles::replace(const std::string& path, const std::string& bytes) {
  std::string temporary;
  Descriptor file(createTemporary(path, temporary), calls_);
  if (file.get() < 0) return systemFailure();
  const auto discard = [&](const std::string& reason) {
    calls_.unlink(temporary.c_str());
    return Result::failure(reason);
  };

  const Result mode = keepMode(path, file.get());
  if (!mode) return discard(mode.error);
  struct stat status {};
  const int links = linkState(file.get(), status);
  if (links < 0) return discard(systemReason(errno));
  if (links == 0) return discard(kNoLinkLeft);

  const Result written = writeWhole(file.get(), bytes);
  if (!written) return discard(written.error);
  int synced;
  do {
    synced = calls_.fsync(file.get());
  } while (synced != 0 && errno == EINTR);
  if (synced != 0) return discard(systemReason(errno));
  if (file.close() != 0) return discard(systemReason(errno));

  if (calls_.rename(temporary.c_str(), path.c_str()) != 0) return discard(systemReason(errno));
  return syncDirectory(path);
}

}  // namespace meterstation
