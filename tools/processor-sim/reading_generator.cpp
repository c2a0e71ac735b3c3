#include "processor-sim/reading_generator.h"

#include <algorithm>
#include <numeric>
#include <utility>

namespace meterstation::sim {

namespace {

std::string zeroFilled(int value, int width) {
  std::string digits = std::to_string(value);
  if (static_cast<int>(digits.size()) < width)
    digits.insert(0, static_cast<std::size_t>(width) - digits.size(), '0');
  return digits;
}

}  // namespace

std::string formatReading(const ReadingFields& fields) {
  std::string text;
  for (int i = 0; i < kFieldCount; ++i) {
    if (i > 0) text += ',';
    text +=
        zeroFilled(fields[static_cast<std::size_t>(i)], kFieldWidths[static_cast<std::size_t>(i)]);
  }
  text += "\r\n";
  return text;
}

ReadingFields ReadingGenerator::fields(int meter) {
  // Field 8 stays at 10000 or above: below that, the station's scratch-file
  // parse moves every field one place to the front.
  return {meter,
          random_.between(0, 999),
          random_.between(0, 99999),
          random_.between(0, 99999),
          random_.between(0, 999),
          random_.between(0, 99999),
          random_.between(0, 99999),
          random_.between(10000, 99999)};
}

std::string ReadingGenerator::reading(int meter) { return formatReading(fields(meter)); }

std::vector<int> ReadingGenerator::meterOrder(bool shuffle) {
  std::vector<int> order(kMeterCount);
  std::iota(order.begin(), order.end(), 1);
  if (shuffle) {
    for (int i = kMeterCount - 1; i > 0; --i)
      std::swap(order[static_cast<std::size_t>(i)],
                order[static_cast<std::size_t>(random_.between(0, i))]);
  }
  return order;
}

std::string ReadingGenerator::garbage() {
  const int length = random_.between(4, 48);
  std::string text;
  text.reserve(static_cast<std::size_t>(length));
  while (static_cast<int>(text.size()) < length) {
    const char byte = static_cast<char>(random_.between(0, 255));
    if (byte != ',') text += byte;
  }
  return text;
}

std::string ReadingGenerator::readingWithNuls(int meter) {
  std::string text = reading(meter);
  const int nulCount = random_.between(1, 3);
  for (int i = 0; i < nulCount; ++i) {
    // Positions after the first character and up to the CR keep the NULs
    // inside the reading and the line end intact.
    const int at = random_.between(1, static_cast<int>(text.size()) - 2);
    text.insert(static_cast<std::size_t>(at), 1, '\0');
  }
  return text;
}

std::string ReadingGenerator::shortLine(int meter) {
  std::string text = reading(meter);
  const int keptFields = random_.between(1, kFieldCount - 1);
  std::size_t cut = 0;
  for (int i = 0; i < keptFields; ++i) cut = text.find(',', cut) + 1;
  text.resize(cut - 1);
  text += "\r\n";
  return text;
}

}  // namespace meterstation::sim
