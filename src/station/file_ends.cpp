#include "station/file_ends.h"

#include <algorithm>
#include <optional>

namespace meterstation {

TailCheck checkTail(Files& files, const std::string& path) {
  TailCheck check;
  const std::optional<std::uint64_t> size = files.size(path);
  if (!size) return check;
  std::string tail;
  std::uint64_t start = *size;
  while (start > 0 && tail.size() < kTailBound) {
    const std::uint64_t block = std::min({kTailBlock, start, kTailBound - tail.size()});
    const ReadResult read = files.readRange(path, start - block, block);
    // Shorter than the size said: the file changed under the check.
    if (!read.ok || read.bytes.size() != block) return check;
    start -= block;
    tail.insert(0, read.bytes);
    // A file ending in LF or CR needs nothing more than its last byte.
    const char last = tail.back();
    if (last == '\n' || last == '\r' || read.bytes.find('\n') != std::string::npos) break;
  }
  check.ok = true;
  check.repair = tailRepairOf(tail);
  check.repair.tailStart += start;
  check.more = check.repair.kind == TailRepair::Kind::CutTail && start > 0 &&
               tail.find('\n') == std::string::npos;
  return check;
}

bool holdsAt(Files& files, const std::string& path, std::uint64_t offset,
             const std::string& bytes) {
  const ReadResult read = files.readRange(path, offset, bytes.size());
  return read.ok && read.bytes == bytes;
}

bool endsWith(Files& files, const std::string& path, const std::string& bytes) {
  const std::optional<std::uint64_t> size = files.size(path);
  return size && *size >= bytes.size() && holdsAt(files, path, *size - bytes.size(), bytes);
}

}  // namespace meterstation
