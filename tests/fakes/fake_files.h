#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "platform/files.h"

namespace meterstation::testing {

// Files in memory, with faults on demand for any named file and for whole
// directories.
class FakeFiles : public Files {
 public:
  enum class Fault { CannotOpen, CannotWrite };

  std::map<std::string, std::string> files;
  std::map<std::string, Fault> faults;
  // Writes to this file succeed until it would grow past this many bytes;
  // then they fail whole with "No space left on device".
  std::map<std::string, std::uint64_t> diskFullAfter;
  // Directories that are gone: every path below them fails.
  std::set<std::string> missingDirs;

  Result replace(const std::string& path, const std::string& bytes) override {
    if (auto failure = writeFailure(path, bytes.size(), 0)) return std::move(*failure);
    files[path] = bytes;
    return Result::success();
  }
  // One look-up: the fuzz target appends thousands of times a second.
  Result append(const std::string& path, const std::string& bytes) override {
    const auto it = files.find(path);
    const std::uint64_t size = it == files.end() ? 0 : it->second.size();
    if (auto failure = writeFailure(path, bytes.size(), size)) return std::move(*failure);
    (it == files.end() ? files[path] : it->second) += bytes;
    return Result::success();
  }
  ReadResult read(const std::string& path) override {
    const std::string* file = readable(path);
    if (file == nullptr) return {false, {}, "No such file or directory"};
    bytesRead += file->size();
    return {true, *file, {}};
  }
  ReadResult readRange(const std::string& path, std::uint64_t offset,
                       std::uint64_t length) override {
    const std::string* file = readable(path);
    if (file == nullptr) return {false, {}, "No such file or directory"};
    const std::string bytes = offset < file->size() ? file->substr(offset, length) : "";
    bytesRead += bytes.size();
    return {true, bytes, {}};
  }
  bool exists(const std::string& path) override { return !gone(path) && files.contains(path); }
  std::optional<std::uint64_t> size(const std::string& path) override {
    if (!exists(path) || faultOf(path) == Fault::CannotOpen) return std::nullopt;
    return files.at(path).size();
  }
  Result writeAt(const std::string& path, std::uint64_t offset, const std::string& bytes) override {
    if (!exists(path)) return Result::failure("No such file or directory");
    if (auto failure = writeFailure(path, 0, 0)) return std::move(*failure);
    std::string& file = files[path];
    if (file.size() < offset + bytes.size()) file.resize(offset + bytes.size(), '\0');
    file.replace(offset, bytes.size(), bytes);
    return Result::success();
  }
  Result truncate(const std::string& path, std::uint64_t size) override {
    if (!exists(path)) return Result::failure("No such file or directory");
    if (auto failure = writeFailure(path, 0, 0)) return std::move(*failure);
    files[path].resize(size);
    return Result::success();
  }

  Result remove(const std::string& path) override {
    if (gone(path)) return Result::failure("No such file or directory");
    if (faultOf(path)) return Result::failure("Permission denied");
    files.erase(path);
    return Result::success();
  }
  // The files directly in the directory; a directory is any path prefix
  // ending in a separator, so every directory exists that holds a file or
  // is listed in `dirs`.
  std::vector<std::string> list(const std::string& dir) override {
    std::vector<std::string> names;
    if (gone(dir)) return names;
    const std::string prefix = withSeparator(dir);
    for (const auto& [path, bytes] : files) {
      if (!path.starts_with(prefix)) continue;
      if (path.find('/', prefix.size()) == std::string::npos) {
        names.emplace_back(path, prefix.size());
      }
    }
    return names;
  }
  bool isDirectory(const std::string& path) override {
    if (gone(path) || path.empty()) return false;
    const std::string prefix = withSeparator(path);
    if (dirs.contains(prefix)) return true;
    for (const auto& [file, bytes] : files) {
      if (file.starts_with(prefix)) return true;
    }
    return false;
  }

  std::set<std::string> dirs;  // directories that exist, each ending in its separator

  // Bytes handed out by read and readRange since the test last set it to 0.
  std::uint64_t bytesRead = 0;

  const std::string& contents(const std::string& path) const {
    static const std::string none;
    const auto it = files.find(path);
    return it == files.end() ? none : it->second;
  }

 private:
  static std::string withSeparator(const std::string& dir) {
    return dir.empty() || dir.back() == '/' ? dir : dir + '/';
  }
  const std::string* readable(const std::string& path) const {
    if (gone(path) || faultOf(path) == Fault::CannotOpen) return nullptr;
    const auto it = files.find(path);
    return it == files.end() ? nullptr : &it->second;
  }
  bool gone(const std::string& path) const {
    for (const std::string& dir : missingDirs) {
      if (path.starts_with(dir)) return true;
    }
    return false;
  }
  std::optional<Fault> faultOf(const std::string& path) const {
    const auto it = faults.find(path);
    if (it == faults.end()) return std::nullopt;
    return it->second;
  }
  std::optional<Result> writeFailure(const std::string& path, std::uint64_t adding,
                                     std::uint64_t existing) const {
    if (gone(path)) return Result::failure("No such file or directory");
    if (const auto fault = faultOf(path)) {
      return Result::failure(*fault == Fault::CannotOpen ? "Permission denied"
                                                         : "Input/output error");
    }
    const auto full = diskFullAfter.find(path);
    if (full != diskFullAfter.end() && existing + adding > full->second) {
      return Result::failure("No space left on device");
    }
    return std::nullopt;
  }
};

}  // namespace meterstation::testing
