#pragma once

#include <stdlib.h>

#include <filesystem>
#include <string>

namespace meterstation::testsupport {

// A fresh directory of a test's own under /tmp (or `base`), removed with
// everything in it at the end, whatever the test left behind: a test may
// take away the owner's rights on a directory to provoke a failure, and
// those must not keep the directory from going.
class ScratchDir {
 public:
  // The prefix names the directory after its tests, for whoever finds one
  // left by a test that was killed.
  explicit ScratchDir(const std::string& prefix = "meterstation-test",
                      const std::string& base = "/tmp") {
    std::string pattern = base + "/" + prefix + "-XXXXXX";
    if (::mkdtemp(pattern.data()) != nullptr) path_ = pattern;
  }
  ~ScratchDir() {
    if (!path_.empty()) removeTree(path_);
  }
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;

  // Empty when no directory could be made.
  const std::string& path() const { return path_; }
  bool made() const { return !path_.empty(); }
  std::string operator/(const std::string& name) const { return path_ + "/" + name; }

  static void removeTree(const std::filesystem::path& root) {
    namespace fs = std::filesystem;
    std::error_code ignored;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ignored);
    for (fs::recursive_directory_iterator it(root, ignored), end; it != end;
         it.increment(ignored)) {
      // A link is not followed: what it points at is not the test's.
      if (it->symlink_status(ignored).type() == fs::file_type::directory)
        fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ignored);
    }
    fs::remove_all(root, ignored);
  }

 private:
  std::string path_;
};

}  // namespace meterstation::testsupport
