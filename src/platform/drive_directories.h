#pragma once

#include <algorithm>
#include <map>
#include <string>
#include <vector>

namespace meterstation {

// Whether the path is the root or lies under it, both with the given
// separator.
inline bool pathLiesUnder(const std::string& path, const std::string& root, char separator) {
  if (root.empty()) return false;
  if (path == root) return true;
  // A root such as "/" or "D:\" already ends in the separator.
  const std::string prefix = root.back() == separator ? root : root + separator;
  return path.starts_with(prefix);
}

// The listed drive a path lies on: the one with the deepest root that
// holds it, so that with "/" and "/home" listed "/home/op" lies on "/home"
// only. Empty when none holds it.
inline std::string driveHolding(const std::string& path, const std::vector<std::string>& drives,
                                char separator) {
  std::string best;
  for (const std::string& root : drives) {
    if (pathLiesUnder(path, root, separator) && root.size() > best.size()) best = root;
  }
  return best;
}

// Which directory the directory list opens to when the operator chooses a
// drive, best first:
//   1. the directory last opened on that drive in this run;
//   2. else the directory the station was started in, when that lies on
//      the drive;
//   3. else the drive's root.
// The list shows the first of them it can read. Every window keeps one of
// these, the real one and the one the station's tests run against, so the
// station is tested against the rule it gets.
class DriveDirectories {
 public:
  // The separator of the paths the window hands over.
  explicit DriveDirectories(char separator) : separator_(separator) {}

  // The directory list now shows the directory.
  void opened(const std::string& dir, const std::vector<std::string>& drives) {
    const std::string drive = driveHolding(dir, drives, separator_);
    if (!drive.empty()) lastOpened_[drive] = dir;
  }

  // Where the list goes when asked for the path, best first: for a listed
  // drive the rule above, for any other path that path alone.
  std::vector<std::string> candidates(const std::string& path, const std::string& startDir,
                                      const std::vector<std::string>& drives) const {
    if (std::ranges::find(drives, path) == drives.end()) return {path};
    std::vector<std::string> found;
    const auto add = [&found](const std::string& dir) {
      if (std::ranges::find(found, dir) == found.end()) found.push_back(dir);
    };
    if (const auto last = lastOpened_.find(path); last != lastOpened_.end()) add(last->second);
    if (driveHolding(startDir, drives, separator_) == path) add(startDir);
    add(path);
    return found;
  }

 private:
  char separator_;
  std::map<std::string, std::string> lastOpened_;  // per drive
};

}  // namespace meterstation
