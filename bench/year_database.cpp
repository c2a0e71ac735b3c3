#include "bench/year_database.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "output/db_record.h"
#include "output/set_files.h"
#include "reading/reading_parser.h"
#include "reading/set_accumulation.h"
#include "trends/core/stamp_time.h"

namespace meterstation::bench {

namespace {

constexpr std::size_t kLineBytes = 678;

std::uint32_t mix(std::uint64_t x) {
  x ^= x >> 33;
  x *= 0xff51afd7ed558ccdULL;
  x ^= x >> 33;
  return static_cast<std::uint32_t>(x);
}

Fields readingOf(std::size_t set, int meter) {
  const double wave = std::sin(static_cast<double>(set) / 3000.0 + meter) * 330.0;
  const int noise = static_cast<int>(mix(set * 17 + static_cast<std::uint64_t>(meter)) % 61) - 30;
  const int value = std::clamp(500 + static_cast<int>(wave) + noise, 0, 999);
  const std::uint32_t r = mix(set * 131 + static_cast<std::uint64_t>(meter) * 7);
  Fields f = {std::to_string(meter),
              std::to_string(value),
              std::to_string(r % 100000),
              std::to_string((r >> 3) % 100000),
              std::to_string((r >> 5) % 1000),
              std::to_string((r >> 7) % 100000),
              std::to_string((r >> 9) % 100000),
              std::to_string((r >> 11) % 100000)};
  zeroFill(f);
  return f;
}

}  // namespace

std::int64_t yearSetTime(std::size_t index) {
  return trends::daySeconds(2026, 1, 1) + static_cast<std::int64_t>(index) * 55;
}

std::string yearLine(std::size_t index) {
  const std::string when = trends::timeText(yearSetTime(index));  // 2026-12-08 13:58:37
  const std::string date = when.substr(5, 2) + "-" + when.substr(8, 2) + "-" + when.substr(0, 4);
  std::string snapshot = makeDateStamp(date) + makeTimeStamp(when.substr(11, 8));
  const int shift = static_cast<int>(index % kSlots);
  for (int k = 0; k < kSlots; ++k)
    snapshot += "," + readingTextOf(readingOf(index, (k + shift) % kSlots + 1));
  std::string record = buildDbRecord(snapshot, "qN07");
  restoreTailSpace(record);
  return record + "\r\n";
}

bool ensureYearDatabase(const std::string& path, std::size_t sets) {
  struct stat status {};
  if (stat(path.c_str(), &status) == 0 &&
      static_cast<std::size_t>(status.st_size) == sets * kLineBytes) {
    return true;
  }
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  std::string piece;
  bool ok = true;
  for (std::size_t i = 0; i < sets && ok; ++i) {
    piece += yearLine(i);
    if (piece.size() >= (1 << 20) || i + 1 == sets) {
      ok = std::fwrite(piece.data(), 1, piece.size(), file) == piece.size();
      piece.clear();
    }
  }
  return std::fclose(file) == 0 && ok;
}

}  // namespace meterstation::bench
