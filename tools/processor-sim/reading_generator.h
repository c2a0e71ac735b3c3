#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "processor-sim/random_source.h"

namespace meterstation::sim {

inline constexpr int kMeterCount = 16;
inline constexpr int kFieldCount = 8;
inline constexpr std::array<int, kFieldCount> kFieldWidths = {2, 3, 5, 5, 3, 5, 5, 5};

// The eight values of one reading in the processor's order; the first is
// the meter number 1..16.
using ReadingFields = std::array<int, kFieldCount>;

// "01,123,04567,12345,089,00012,00345,12345\r\n": each field zero-filled to
// its width. A value wider than its field is written whole.
std::string formatReading(const ReadingFields& fields);

// Everything the processor puts on the line, drawn from one seeded source
// so that a seed always gives the same stream.
class ReadingGenerator {
 public:
  explicit ReadingGenerator(std::uint64_t seed) : random_(seed) {}

  ReadingFields fields(int meter);
  std::string reading(int meter);
  // The meters of one set: 1..16 in order, or a fresh permutation.
  std::vector<int> meterOrder(bool shuffle);

  // Random bytes that can never pass for a reading: they hold no comma.
  std::string garbage();
  // A reading of the meter with one to three NULs among its characters
  // (never inside the closing CR LF).
  std::string readingWithNuls(int meter);
  // The start of a reading of the meter, cut after one to seven fields, so
  // it carries at most six commas, then CR LF.
  std::string shortLine(int meter);

 private:
  RandomSource random_;
};

}  // namespace meterstation::sim
