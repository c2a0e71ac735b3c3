// Directory syncs: a new, renamed or removed name is on the disk only once
// its directory is synced.
#include <fcntl.h>

#include <cerrno>

#include "platform/posix/durable_files.h"
#include "platform/posix/file_descriptor.h"

namespace meterstation {

std::string DurableFiles::directoryOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

Result DurableFiles::syncDirectory(const std::string& path) {
  // Read only, the directory's close has nothing to report.
  const Descriptor directory(openFile(directoryOf(path), O_RDONLY | O_DIRECTORY), calls_);
  if (directory.get() < 0) return systemFailure();
  int result;
  do {
    result = calls_.fsync(directory.get());
  } while (result != 0 && errno == EINTR);
  // Some file systems cannot sync a directory and say EINVAL; their entries
  // are as durable as they get.
  if (result != 0 && errno != EINVAL) return systemFailure();
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
