// Appends: a line lands whole and durably, or the file is left as it was.
#include <fcntl.h>

#include <cerrno>

#include "platform/posix/durable_files.h"
#include "platform/posix/file_descriptor.h"

namespace meterstation {

int DurableFiles::openForAppend(const std::string& path, bool& created) {
  created = false;
  int fd = openFile(path, O_WRONLY | O_APPEND);
  if (fd >= 0 || errno != ENOENT) return fd;
  fd = openFile(path, O_WRONLY | O_APPEND | O_CREAT | O_EXCL, 0666);
  if (fd >= 0) {
    created = true;
    return fd;
  }
  return errno == EEXIST ? openFile(path, O_WRONLY | O_APPEND) : fd;
}

// Synced as well as cut: the caller writes the bytes again later, and a
// crash must not leave them in the file too.
void DurableFiles::takeBack(int fd, const std::string& path, off_t size, bool created) {
  const int error = errno;
  if (cutTo(fd, size) == 0) dataSync(fd);
  if (created) calls_.unlink(path.c_str());
  errno = error;
}

Result DurableFiles::append(const std::string& path, const std::string& bytes) {
  bool created = false;
  Descriptor file(openForAppend(path, created), calls_);
  if (file.get() < 0) return systemFailure();

  // A failed append leaves the file as it was, an empty new file included,
  // so that writing the line again does not double any part of it.
  struct stat before {};
  const auto undo = [&](int fd, const std::string& reason) {
    takeBack(fd, path, before.st_size, created);
    return Result::failure(reason);
  };
  const int links = linkState(file.get(), before);
  // Unknown, the old size is no size to cut back to; a new file goes again.
  if (links < 0) return created ? undo(file.get(), systemReason(errno)) : systemFailure();
  if (links == 0) return Result::failure(kNoLinkLeft);

  if (!bytes.empty()) {
    // One write of the whole line: with O_APPEND it lands in one piece even
    // if some other program appends to the file too.
    ssize_t written;
    do {
      written = calls_.write(file.get(), bytes.data(), bytes.size());
    } while (written < 0 && errno == EINTR);
    if (written < 0) return undo(file.get(), systemReason(errno));
    if (static_cast<std::size_t>(written) != bytes.size()) {
      return undo(file.get(), "only " + std::to_string(written) + " of " +
                                  std::to_string(bytes.size()) +
                                  " bytes could be written; the disk may be full");
    }
  }
  if (dataSync(file.get()) != 0) return undo(file.get(), systemReason(errno));
  struct stat after {};
  const int linksAfter = linkState(file.get(), after);
  if (linksAfter < 0) return undo(file.get(), systemReason(errno));
  if (linksAfter == 0) return Result::failure(kNoLinkLeft);

  // The close may report the write's failure; a second descriptor keeps the
  // file open to take the line back out then.
  Descriptor spare(calls_.dup(file.get()), calls_);
  if (spare.get() < 0) return undo(file.get(), systemReason(errno));
  if (file.close() != 0) return undo(spare.get(), systemReason(errno));
  if (created) {
    const Result synced = syncDirectory(path);
    if (!synced) return undo(spare.get(), synced.error);
  }
  return Result::success();
}

}  // namespace meterstation
