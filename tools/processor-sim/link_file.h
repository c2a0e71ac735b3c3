#pragma once

#include <string>

#include "platform/result.h"

namespace meterstation::sim {

// The symlink through which the station finds the pseudo-terminal.
class LinkFile {
 public:
  explicit LinkFile(std::string path) : path_(std::move(path)) {}
  LinkFile(const LinkFile&) = delete;
  LinkFile& operator=(const LinkFile&) = delete;
  ~LinkFile() { remove(); }

  // Points the link at the target in one step, so a station opening it at
  // any moment finds either the old terminal or the new one, never nothing.
  // Refuses to replace anything at the path that is not a symlink.
  Result pointTo(const std::string& target);
  // Removes the link, unless someone else has re-pointed it meanwhile.
  void remove();

  const std::string& path() const { return path_; }

 private:
  std::string path_;
  std::string target_;
};

}  // namespace meterstation::sim
