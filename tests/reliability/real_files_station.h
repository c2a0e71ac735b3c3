#pragma once

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "fakes/station_harness.h"
#include "output/support_files.h"
#include "platform/posix/durable_files.h"
#include "support/scratch_dir.h"

namespace meterstation::reliability {

using testing::readingOf;
using testsupport::ScratchDir;

inline std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream out;
  out << in.rdbuf();
  return out.str();
}

inline std::set<std::string> entriesOf(const std::string& dir) {
  std::set<std::string> names;
  if (DIR* d = ::opendir(dir.c_str())) {
    while (const dirent* e = ::readdir(d)) {
      const std::string name = e->d_name;
      if (name != "." && name != "..") names.insert(name);
    }
    ::closedir(d);
  }
  return names;
}

// The whole station over the real files adapter, in a data directory
// "<root>/qN07"; window, port, timer and clock are the in-memory ones so a
// set takes no time.
struct RealFilesStation : testing::BasicStation<DurableFiles> {
  explicit RealFilesStation(const std::string& root,
                            FileSystemCalls calls = FileSystemCalls::real())
      : BasicStation(false, std::move(calls)), dir(root + "/qN07") {
    ::mkdir(dir.c_str(), 0777);
    window.dir = dir;
    window.texts[TextId::Text3] = "9999";
    host.dataDir = root + "/data";
    ::mkdir(host.dataDir.c_str(), 0777);
    form.Form_Load();
    openPort();
    synchronise();
  }

  // One set; `tag` (0..999) marks its readings so the sets can be told apart.
  void set(int tag) {
    for (int m = 1; m <= 16; ++m) burst(readingOf(m, tag % 1000, 10000 + m));
  }

  std::string path(const std::string& name) const { return dir + "/" + name; }
  std::string file(const std::string& name) const { return slurp(path(name)); }
  bool list2Has(const std::string& item) const { return window.list2Has(item); }
  // The tags of the database lines in file order; a line that is not a
  // whole database line counts as -1.
  std::vector<int> databaseTags() const {
    std::vector<int> tags;
    for (const std::string& line : fileLines(file("qn.db1"))) {
      tags.push_back(line.size() == 676 ? std::stoi(line.substr(22, 3)) : -1);
    }
    return tags;
  }
  std::vector<int> waitingTags(const std::string& name) const {
    std::vector<int> tags;
    const auto& all = form.pendingAppends().lines();
    if (const auto it = all.find(path(name)); it != all.end()) {
      for (const std::string& line : it->second) tags.push_back(std::stoi(line.substr(22, 3)));
    }
    return tags;
  }

  std::string dir;
};

}  // namespace meterstation::reliability
