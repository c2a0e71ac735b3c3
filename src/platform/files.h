#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/result.h"

namespace meterstation {

struct [[nodiscard]] ReadResult {
  bool ok = true;
  std::string bytes;
  std::string error;
};

// File work of the station. Every call opens its file, does its work and
// closes it again; no file is held between calls.
class Files {
 public:
  virtual ~Files() = default;

  // Creates the file or replaces it whole with the given bytes. A failure
  // leaves the old file as it was.
  virtual Result replace(const std::string& path, const std::string& bytes) = 0;
  // Appends the bytes, creating the file when missing. A failure appends
  // nothing.
  virtual Result append(const std::string& path, const std::string& bytes) = 0;
  virtual ReadResult read(const std::string& path) = 0;
  // Up to `length` bytes from `offset` on, fewer where the file ends first
  // and none from beyond its end. The length is what the caller can afford
  // to hold: a handler on the event thread reads a growing file only so.
  virtual ReadResult readRange(const std::string& path, std::uint64_t offset,
                               std::uint64_t length) = 0;
  // False only for a name that is surely not there: a file that cannot be
  // looked at counts as there, for the call that follows to report.
  virtual bool exists(const std::string& path) = 0;
  // The file's size in bytes; nothing when it is not there or cannot be read.
  virtual std::optional<std::uint64_t> size(const std::string& path) = 0;
  // Byte access to an existing file: writes the bytes from the given offset,
  // leaving the rest of the file as it stands.
  virtual Result writeAt(const std::string& path, std::uint64_t offset,
                         const std::string& bytes) = 0;
  // Cuts an existing file to the given size.
  virtual Result truncate(const std::string& path, std::uint64_t size) = 0;
  // Removes the file for good; a file that is not there is no failure.
  virtual Result remove(const std::string& path) = 0;
  // The names of the files in the directory (not its subdirectories);
  // nothing when it cannot be read.
  virtual std::vector<std::string> list(const std::string& dir) = 0;
  virtual bool isDirectory(const std::string& path) = 0;
};

}  // namespace meterstation
