#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>
#include <vector>

#include "trends/core/trend_reader.h"

namespace meterstation::trends {

struct TailOutcome {
  bool ok = true;
  std::string error;      // the system's reason when !ok
  bool replaced = false;  // the file shrank or is another file: read it anew
  std::size_t bytes = 0;  // read this time
};

// Reads a database that keeps growing: each call reads only what was
// appended since the last, in large pieces. The unfinished last line is
// read again each time the file has changed, as the station may have cut a
// torn line off before appending the next.
class DbFileTail {
 public:
  explicit DbFileTail(std::string path) : path_(std::move(path)) {}

  TailOutcome readMore(TrendReader& reader);

  const std::string& path() const { return path_; }
  std::size_t offset() const { return offset_; }
  // The file's size when the read began: for a progress bar.
  std::size_t sizeSeen() const { return sizeSeen_; }

 private:
  TailOutcome readFrom(int fd, TrendReader& reader);

  std::string path_;
  std::size_t offset_ = 0;
  std::size_t sizeSeen_ = 0;
  bool known_ = false;
  dev_t device_ = 0;
  ino_t inode_ = 0;
  std::vector<char> buffer_;
};

}  // namespace meterstation::trends
