#include "processor-sim/link_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

namespace meterstation::sim {

namespace {

std::string linkTarget(const std::string& path) {
  char buffer[4096];
  const ssize_t length = readlink(path.c_str(), buffer, sizeof buffer);
  if (length < 0) return {};
  return std::string(buffer, static_cast<std::size_t>(length));
}

}  // namespace

Result LinkFile::pointTo(const std::string& target) {
  struct stat existing {};
  if (lstat(path_.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode))
    return Result::failure(path_ + " exists and is not a symlink; not replacing it");

  const std::filesystem::path parent = std::filesystem::path(path_).parent_path();
  std::error_code ignored;
  if (!parent.empty()) std::filesystem::create_directories(parent, ignored);

  const std::string temporary = path_ + ".new." + std::to_string(getpid());
  unlink(temporary.c_str());
  if (symlink(target.c_str(), temporary.c_str()) != 0)
    return Result::failure("cannot create the link " + temporary + ": " + std::strerror(errno));
  if (rename(temporary.c_str(), path_.c_str()) != 0) {
    const Result failure =
        Result::failure("cannot move the link to " + path_ + ": " + std::strerror(errno));
    unlink(temporary.c_str());
    return failure;
  }
  target_ = target;
  return Result::success();
}

void LinkFile::remove() {
  if (target_.empty()) return;
  if (linkTarget(path_) == target_) unlink(path_.c_str());
  target_.clear();
}

}  // namespace meterstation::sim
