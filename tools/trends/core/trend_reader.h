#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string_view>

#include "dbline/line_cutter.h"
#include "trends/core/odd_lines.h"
#include "trends/core/trend_data.h"

namespace meterstation::trends {

// "188" or ".25": digits with at most one decimal point, as the station
// writes a field; anything else is not a number to draw.
std::optional<float> fieldNumber(std::string_view field);

// Turns the database's bytes, as they come, into the values of one field
// and a report of every odd line. A line is judged by the parser db2csv
// uses; a good line whose chosen field is not a number for some meter is
// drawn without that value and reported too.
class TrendReader {
 public:
  using OddSink = std::function<void(const OddLine&)>;
  // Beyond this an unfinished line is only counted, not kept.
  static constexpr std::size_t kKeepLimit = 1 << 16;

  TrendReader(int field, OddSink sink);

  void feed(std::string_view bytes);
  // The unfinished last line as the odd line it is if the file ends there;
  // it is not handed to the sink, as more bytes may still complete it.
  std::optional<OddLine> pendingOdd() const;
  std::size_t dropPending() { return cutter_.dropPending(); }

  const TrendData& data() const { return data_; }
  TrendData& data() { return data_; }

 private:
  void take(const dbline::LineView& line);

  TrendData data_;
  OddSink sink_;
  dbline::LineCutter cutter_;
};

// Why a line is odd, in db2csv's words.
OddLine oddLineOf(const dbline::LineView& line);

}  // namespace meterstation::trends
