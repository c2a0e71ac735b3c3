#include "trends/core/trend_reader.h"

#include <limits>
#include <string>

#include "dbline/db_line.h"
#include "trends/core/stamp_time.h"

namespace meterstation::trends {

namespace {

std::string meterName(int meter) { return (meter < 10 ? "0" : "") + std::to_string(meter); }

}  // namespace

std::optional<float> fieldNumber(std::string_view field) {
  double whole = 0;
  double scale = 0;  // 0 before the point, then 0.1, 0.01 ...
  bool digits = false;
  for (char c : field) {
    if (c == '.' && scale == 0) {
      scale = 0.1;
    } else if (c >= '0' && c <= '9') {
      digits = true;
      if (scale == 0) {
        whole = whole * 10 + (c - '0');
      } else {
        whole += (c - '0') * scale;
        scale /= 10;
      }
    } else {
      return std::nullopt;
    }
  }
  if (!digits) return std::nullopt;
  return static_cast<float>(whole);
}

OddLine oddLineOf(const dbline::LineView& line) {
  OddLine odd;
  odd.number = line.number;
  if (line.length > line.text.size()) {
    // Too long to have been kept whole: only its length is known.
    odd.why = (line.torn ? "torn: the file ends without CR LF; " : "") +
              std::to_string(line.length) + " characters instead of 676";
    return odd;
  }
  const dbline::ParsedLine parsed =
      dbline::parseLine({line.number, std::string(line.text), line.torn});
  for (std::size_t i = 0; i < parsed.problems.size(); ++i) {
    if (i > 0) odd.why += "; ";
    odd.why += parsed.problems[i];
  }
  return odd;
}

TrendReader::TrendReader(int field, OddSink sink) : sink_(std::move(sink)), cutter_(kKeepLimit) {
  data_.field = field;
}

void TrendReader::feed(std::string_view bytes) {
  cutter_.feed(bytes, [this](const dbline::LineView& line) { take(line); });
}

std::optional<OddLine> TrendReader::pendingOdd() const {
  const auto pending = cutter_.pending();
  if (!pending) return std::nullopt;
  return oddLineOf(*pending);
}

void TrendReader::take(const dbline::LineView& line) {
  dbline::GoodLine good;
  if (!dbline::readGoodLine(line.text, line.torn, good)) {
    sink_(oddLineOf(line));
    return;
  }
  float values[kMeters];
  std::string notNumbers;
  const auto fieldIndex = static_cast<std::size_t>(data_.field - 1);
  for (int m = 1; m <= kMeters; ++m) {
    const auto& slot = good.fields[static_cast<std::size_t>(m - 1)];
    // A slot whose meter did not come holds another meter's reading, which
    // that meter's own slot already has: this meter has no value this set.
    if (slot[0].size() != 2 || slot[0][0] != '0' + m / 10 || slot[0][1] != '0' + m % 10) {
      values[m - 1] = std::numeric_limits<float>::quiet_NaN();
      continue;
    }
    const std::string_view text = slot[fieldIndex];
    const std::optional<float> number = fieldNumber(text);
    values[m - 1] = number ? *number : std::numeric_limits<float>::quiet_NaN();
    if (number) continue;
    if (!notNumbers.empty()) notNumbers += "; ";
    notNumbers += "field " + std::to_string(data_.field) + " of meter " + meterName(m) + " \"" +
                  std::string(text) + "\" is not a number";
  }
  // A good line always has a plausible stamp.
  data_.append(*stampSeconds(good.stamp), values);
  if (!notNumbers.empty()) sink_({line.number, notNumbers, false});
}

}  // namespace meterstation::trends
