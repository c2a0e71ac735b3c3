// The reading side of DurableFiles: nothing here changes a file. What it
// opens it only reads, so no close here has anything to report.
#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <limits>

#include "platform/posix/durable_files.h"
#include "platform/posix/file_descriptor.h"

namespace meterstation {

ReadResult DurableFiles::read(const std::string& path) {
  ReadResult result;
  const Descriptor file(openFile(path, O_RDONLY), calls_);
  if (file.get() < 0) {
    result.ok = false;
    result.error = systemReason(errno);
    return result;
  }
  char buffer[65536];
  for (;;) {
    const ssize_t got = calls_.read(file.get(), buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      result.ok = false;
      result.error = systemReason(errno);
      result.bytes.clear();
      return result;
    }
    if (got == 0) return result;
    result.bytes.append(buffer, static_cast<std::size_t>(got));
  }
}

ReadResult DurableFiles::readRange(const std::string& path, std::uint64_t offset,
                                   std::uint64_t length) {
  ReadResult result;
  const auto failed = [&result](int error) {
    result.ok = false;
    result.error = systemReason(error);
    result.bytes.clear();
    return result;
  };
  constexpr auto kLargest = static_cast<std::uint64_t>(std::numeric_limits<off_t>::max());
  if (offset > kLargest || length > kLargest - offset) return failed(EFBIG);
  const Descriptor file(openFile(path, O_RDONLY), calls_);
  if (file.get() < 0) return failed(errno);
  result.bytes.resize(static_cast<std::size_t>(length));
  std::size_t done = 0;
  while (done < result.bytes.size()) {
    const ssize_t got = calls_.pread(file.get(), result.bytes.data() + done,
                                     result.bytes.size() - done, static_cast<off_t>(offset + done));
    if (got < 0) {
      if (errno == EINTR) continue;
      return failed(errno);
    }
    if (got == 0) break;  // the file ends before the range does
    done += static_cast<std::size_t>(got);
  }
  result.bytes.resize(done);
  return result;
}

bool DurableFiles::exists(const std::string& path) {
  struct stat status {};
  if (calls_.stat(path.c_str(), &status) == 0) return true;
  // Only a name surely not there is missing: one that cannot be looked at
  // is left to the call that follows to report.
  return errno != ENOENT && errno != ENOTDIR;
}

std::optional<std::uint64_t> DurableFiles::size(const std::string& path) {
  struct stat status {};
  if (calls_.stat(path.c_str(), &status) != 0 || !S_ISREG(status.st_mode)) return std::nullopt;
  return static_cast<std::uint64_t>(status.st_size);
}

std::vector<std::string> DurableFiles::list(const std::string& dir) {
  std::vector<std::string> names;
  DIR* const stream = calls_.opendir(dir.c_str());
  if (stream == nullptr) return names;
  for (;;) {
    errno = 0;
    const dirent* entry = calls_.readdir(stream);
    if (entry == nullptr) break;
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    bool regular = entry->d_type == DT_REG;
    // Some file systems do not tell the type; a link counts as what it names.
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      struct stat status {};
      regular = calls_.stat((dir + "/" + name).c_str(), &status) == 0 && S_ISREG(status.st_mode);
    }
    if (regular) names.push_back(name);
  }
  // Half a listing would pass for the whole of it.
  if (errno != 0) names.clear();
  calls_.closedir(stream);
  // The directory's own order changes from one file system to the next.
  std::sort(names.begin(), names.end());
  return names;
}

bool DurableFiles::isDirectory(const std::string& path) {
  struct stat status {};
  return calls_.stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
}

}  // namespace meterstation
