#include "reliability/crash_model.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <fstream>
#include <sstream>

namespace meterstation::reliability {

namespace {

constexpr std::uint64_t kBlock = 512;

std::string dirOf(const std::string& path) {
  const std::size_t cut = path.rfind('/');
  return cut == std::string::npos ? std::string() : path.substr(0, cut);
}

void readTree(const std::string& base, const std::string& rel, DiskImage& image) {
  DIR* d = ::opendir((base + (rel.empty() ? "" : "/" + rel)).c_str());
  if (d == nullptr) return;
  while (const dirent* e = ::readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    const std::string child = rel.empty() ? name : rel + "/" + name;
    struct stat status {};
    if (::stat((base + "/" + child).c_str(), &status) != 0) continue;
    if (S_ISDIR(status.st_mode)) {
      image[child + "/"] = "";  // a directory, kept so it exists in every state
      readTree(base, child, image);
    } else {
      std::ifstream in(base + "/" + child, std::ios::binary);
      std::ostringstream bytes;
      bytes << in.rdbuf();
      image[child] = bytes.str();
    }
  }
  ::closedir(d);
}

// The contents an unsynced file may have after a crash: what was synced,
// what was written, and a few cuts at 512-byte boundaries between them.
std::vector<std::string> contentChoices(const std::string& synced, const std::string& current,
                                        std::size_t maxCuts) {
  if (synced == current) return {current};
  std::vector<std::string> choices = {synced, current};
  const auto common = static_cast<std::uint64_t>(
      std::mismatch(synced.begin(), synced.end(), current.begin(), current.end()).first -
      synced.begin());
  std::vector<std::uint64_t> cuts;
  for (std::uint64_t b = (common / kBlock + 1) * kBlock; b < current.size(); b += kBlock) {
    cuts.push_back(b);
  }
  // The first, the last and some between, when there are many.
  for (std::size_t k = 0; k < maxCuts && k < cuts.size(); ++k) {
    const std::size_t at = maxCuts == 1 ? 0 : k * (cuts.size() - 1) / (maxCuts - 1);
    std::string cut = current.substr(0, cuts[at]);
    if (std::find(choices.begin(), choices.end(), cut) == choices.end()) choices.push_back(cut);
  }
  return choices;
}

}  // namespace

struct CrashRecorder::Model {
  struct File {
    std::string current;
    std::string synced;
  };
  struct Entry {
    std::string dir;
    Kind kind;
    std::string name;
    std::string to;
    int inode;
  };
  std::map<int, File> files;
  std::map<std::string, int> names;        // as the running system sees them
  std::map<std::string, int> syncedNames;  // as the disk holds them for sure
  std::vector<Entry> unsynced;             // entry operations since their directory's sync
  std::set<std::string> dirs;
};

CrashRecorder::CrashRecorder(std::string root) : root_(std::move(root)) {
  readTree(root_, "", initial_);
  for (const auto& [path, bytes] : initial_) {
    if (path.ends_with("/")) continue;
    live_[nextInode_] = bytes;
    versions_[path].insert(bytes);
    nameInodes_[path] = nextInode_++;
  }
}

CrashRecorder::Model CrashRecorder::replay(std::size_t count) const {
  Model m;
  int inode = 0;
  for (const auto& [path, bytes] : initial_) {
    if (path.ends_with("/")) {
      m.dirs.insert(path.substr(0, path.size() - 1));
      continue;
    }
    m.files[inode] = {bytes, bytes};
    m.names[path] = m.syncedNames[path] = inode++;
  }
  for (std::size_t k = 0; k < count && k < ops_.size(); ++k) {
    const Op& op = ops_[k];
    Model::File& file = m.files[op.inode];
    switch (op.kind) {
      case Kind::Create:
        m.names[op.path] = op.inode;
        m.unsynced.push_back({dirOf(op.path), op.kind, op.path, {}, op.inode});
        break;
      case Kind::Write:
        if (file.current.size() < op.offset + op.data.size()) {
          file.current.resize(op.offset + op.data.size(), '\0');
        }
        file.current.replace(op.offset, op.data.size(), op.data);
        break;
      case Kind::Truncate:
        file.current.resize(op.offset, '\0');
        break;
      case Kind::Sync:
        file.synced = file.current;
        break;
      case Kind::DirSync: {
        std::vector<Model::Entry> rest;
        for (const Model::Entry& e : m.unsynced) {
          if (e.dir != op.path) {
            rest.push_back(e);
            continue;
          }
          if (e.kind == Kind::Create) m.syncedNames[e.name] = e.inode;
          if (e.kind == Kind::Unlink) m.syncedNames.erase(e.name);
          if (e.kind == Kind::Rename) {
            m.syncedNames.erase(e.name);
            m.syncedNames[e.to] = e.inode;
          }
        }
        m.unsynced = rest;
        break;
      }
      case Kind::Rename:
        m.names.erase(op.path);
        m.names[op.to] = op.inode;
        m.unsynced.push_back({dirOf(op.path), op.kind, op.path, op.to, op.inode});
        break;
      case Kind::Unlink:
        m.names.erase(op.path);
        m.unsynced.push_back({dirOf(op.path), op.kind, op.path, {}, op.inode});
        break;
    }
  }
  return m;
}

DiskImage CrashRecorder::durableAfter(std::size_t count) const {
  const Model m = replay(count);
  DiskImage image;
  for (const std::string& dir : m.dirs) image[dir + "/"] = "";
  for (const auto& [name, inode] : m.syncedNames) image[name] = m.files.at(inode).synced;
  return image;
}

std::vector<DiskImage> CrashRecorder::statesAfter(std::size_t count, const Bounds& bounds) const {
  const Model m = replay(count);
  // Which of the unsynced entry operations reached the disk: every subset
  // while there are few, else every prefix and every single one.
  const std::size_t n = m.unsynced.size();
  std::vector<std::vector<bool>> subsets;
  if (n < 63 && (std::size_t{1} << n) <= bounds.maxEntrySubsets) {
    for (std::size_t mask = 0; mask < (std::size_t{1} << n); ++mask) {
      std::vector<bool> applied(n);
      for (std::size_t i = 0; i < n; ++i) applied[i] = ((mask >> i) & 1U) != 0;
      subsets.push_back(applied);
    }
  } else {
    for (std::size_t k = 0; k <= n; ++k) {
      std::vector<bool> prefix(n, false);
      std::fill(prefix.begin(), prefix.begin() + static_cast<std::ptrdiff_t>(k), true);
      subsets.push_back(prefix);
      if (k < n) {
        std::vector<bool> single(n, false);
        single[k] = true;
        subsets.push_back(single);
      }
    }
  }
  std::vector<DiskImage> states;
  for (const std::vector<bool>& applied : subsets) {
    std::map<std::string, int> names = m.syncedNames;
    for (std::size_t i = 0; i < n; ++i) {
      if (!applied[i]) continue;
      const Model::Entry& e = m.unsynced[i];
      if (e.kind == Kind::Create) names[e.name] = e.inode;
      if (e.kind == Kind::Unlink) names.erase(e.name);
      if (e.kind == Kind::Rename) {
        names.erase(e.name);
        names[e.to] = e.inode;
      }
    }
    // Each unsynced file's content varies alone, the others wholly kept or
    // wholly lost: the product of all would explode.
    DiskImage synced;
    DiskImage written;
    for (const std::string& dir : m.dirs) synced[dir + "/"] = written[dir + "/"] = "";
    for (const auto& [name, inode] : names) {
      synced[name] = m.files.at(inode).synced;
      written[name] = m.files.at(inode).current;
    }
    states.push_back(synced);
    if (written != synced) states.push_back(written);
    for (const auto& [name, inode] : names) {
      const Model::File& file = m.files.at(inode);
      for (const std::string& choice :
           contentChoices(file.synced, file.current, bounds.maxContentCuts)) {
        if (choice == file.synced || choice == file.current) continue;
        DiskImage image = written;
        image[name] = choice;
        states.push_back(image);
      }
    }
  }
  std::sort(states.begin(), states.end());
  states.erase(std::unique(states.begin(), states.end()), states.end());
  return states;
}

std::string CrashRecorder::describe(std::size_t op) const {
  static const char* const kinds[] = {"create",  "write",  "truncate", "sync",
                                      "dirsync", "rename", "unlink"};
  const Op& o = ops_.at(op);
  std::string name = o.path;
  for (const auto& [n, id] : nameInodes_) {
    if (name.empty() && id == o.inode) name = n;
  }
  return std::string(kinds[static_cast<int>(o.kind)]) + " " + name +
         (o.to.empty() ? "" : " -> " + o.to) +
         (o.kind == Kind::Write
              ? " " + std::to_string(o.data.size()) + " bytes at " + std::to_string(o.offset)
              : "");
}

void materialize(const DiskImage& image, const std::string& dir) {
  for (const auto& [path, bytes] : image) {
    if (path.ends_with("/")) {
      ::mkdir((dir + "/" + path).c_str(), 0777);
      continue;
    }
    const std::string parent = dirOf(path);
    if (!parent.empty()) ::mkdir((dir + "/" + parent).c_str(), 0777);
    std::ofstream out(dir + "/" + path, std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  }
}

}  // namespace meterstation::reliability
