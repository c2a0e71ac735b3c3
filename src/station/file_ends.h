#pragma once

#include <cstdint>
#include <string>

#include "output/set_files.h"
#include "platform/files.h"

namespace meterstation {

// Checks of appended files that read only near a place known beforehand,
// so that what a handler reads does not grow with the file: a station a
// year old has some 386 MB in qn.db1.

// A database line is 678 bytes and an unfinished set's block about 1 KB;
// only a reject of a burst that never fell quiet tears a longer tail.
inline constexpr std::uint64_t kTailBound = 65536;
// The tail is looked for in blocks, the file's last block first.
inline constexpr std::uint64_t kTailBlock = 4096;

struct TailCheck {
  bool ok = false;  // false: the file's end could not be read
  // As tailRepairOf gives it for the whole file; tailStart counts from the
  // start of the file.
  TailRepair repair;
  // No LF in the file's last kTailBound bytes: the cut takes those bytes
  // alone, and more of the torn tail lies before them.
  bool more = false;
};
// Reads back from the end until a LF, the file's start or kTailBound.
TailCheck checkTail(Files& files, const std::string& path);

// Whether the file holds exactly these bytes from the offset on.
bool holdsAt(Files& files, const std::string& path, std::uint64_t offset, const std::string& bytes);
bool endsWith(Files& files, const std::string& path, const std::string& bytes);

}  // namespace meterstation
