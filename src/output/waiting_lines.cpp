#include "output/waiting_lines.h"

#include <charconv>
#include <cstddef>
#include <iterator>
#include <optional>
#include <string_view>

namespace meterstation {

namespace {

constexpr const char* kHeading = "meterstation waiting lines 1\n";

// A decimal count up to the given character, moving `at` past it.
std::optional<std::size_t> countUpTo(const std::string& bytes, std::size_t& at, char end) {
  const std::size_t stop = bytes.find(end, at);
  if (stop == std::string::npos || stop == at) return std::nullopt;
  std::size_t value = 0;
  const auto [ptr, ec] = std::from_chars(bytes.data() + at, bytes.data() + stop, value);
  if (ec != std::errc() || ptr != bytes.data() + stop) return std::nullopt;
  at = stop + 1;
  return value;
}

bool readDelivery(const std::string& bytes, std::size_t& at, Deliveries& deliveries) {
  std::size_t next = at + 2;
  const auto pathLength = countUpTo(bytes, next, ' ');
  const auto size = pathLength ? countUpTo(bytes, next, '\n') : std::nullopt;
  if (!size || *pathLength >= bytes.size() - next || bytes[next + *pathLength] != '\n') {
    return false;
  }
  deliveries[bytes.substr(next, *pathLength)] = *size;
  at = next + *pathLength + 1;
  return true;
}

std::size_t decimalLength(std::uint64_t value) {
  std::size_t length = 1;
  for (; value >= 10; value /= 10) ++length;
  return length;
}

void appendDecimal(std::string& bytes, std::uint64_t value) {
  char digits[20];
  const auto end = std::to_chars(std::begin(digits), std::end(digits), value).ptr;
  bytes.append(digits, end);
}

// The queue is written again at every change and may hold thousands of
// lines while a file stays unwritable: its bytes are counted first so the
// text is built in one allocation.
std::size_t encodedSize(const WaitingLines& lines, const Deliveries& deliveries) {
  std::size_t size = std::string_view(kHeading).size();
  for (const auto& [path, bytes] : deliveries) {
    size += 2 + decimalLength(path.size()) + 1 + decimalLength(bytes) + 1 + path.size() + 1;
  }
  for (const auto& [path, waiting] : lines) {
    for (const std::string& line : waiting) {
      size += decimalLength(path.size()) + 1 + decimalLength(line.size()) + 1 + path.size() +
              line.size() + 1;
    }
  }
  return size;
}

}  // namespace

std::string encodeWaitingLines(const WaitingLines& lines, const Deliveries& deliveries) {
  std::string bytes;
  bytes.reserve(encodedSize(lines, deliveries));
  bytes += kHeading;
  for (const auto& [path, size] : deliveries) {
    bytes += "D ";
    appendDecimal(bytes, path.size());
    bytes += ' ';
    appendDecimal(bytes, size);
    bytes += '\n';
    bytes += path;
    bytes += '\n';
  }
  for (const auto& [path, waiting] : lines) {
    for (const std::string& line : waiting) {
      appendDecimal(bytes, path.size());
      bytes += ' ';
      appendDecimal(bytes, line.size());
      bytes += '\n';
      bytes += path;
      bytes += line;
      bytes += '\n';
    }
  }
  return bytes;
}

DecodedWaitingLines decodeWaitingLines(const std::string& bytes) {
  DecodedWaitingLines decoded;
  const std::string heading = kHeading;
  if (!bytes.starts_with(heading)) {
    decoded.damaged = !bytes.empty();
    return decoded;
  }
  std::size_t at = heading.size();
  while (at < bytes.size()) {
    if (bytes.compare(at, 2, "D ") == 0) {
      if (!readDelivery(bytes, at, decoded.deliveries)) {
        decoded.damaged = true;
        return decoded;
      }
      continue;
    }
    const auto pathLength = countUpTo(bytes, at, ' ');
    const auto lineLength = pathLength ? countUpTo(bytes, at, '\n') : std::nullopt;
    if (!lineLength || *pathLength > bytes.size() - at ||
        *lineLength + 1 > bytes.size() - at - *pathLength ||
        bytes[at + *pathLength + *lineLength] != '\n') {
      decoded.damaged = true;
      return decoded;
    }
    decoded.lines[bytes.substr(at, *pathLength)].push_back(
        bytes.substr(at + *pathLength, *lineLength));
    at += *pathLength + *lineLength + 1;
  }
  return decoded;
}

}  // namespace meterstation
