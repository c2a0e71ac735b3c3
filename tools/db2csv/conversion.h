#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "db2csv/options.h"
#include "dbline/line_cutter.h"

namespace meterstation::db2csv {

struct Conversion {
  std::string csv;
  // One message per odd line: "line N: why; why".
  std::vector<std::string> reports;
  std::size_t rows = 0;
};

// The CSV header: marker, datetime, meter and the eight fields.
std::string csvHeader();

// Converts a database that arrives in pieces. The CSV is handed on in
// pieces of about a megabyte, so a year of readings is written in a few
// hundred large writes instead of millions of small ones and never held
// whole; each odd line is reported as soon as it is found. Odd lines are
// reported whether or not the date filter takes them, so the operator
// hears of every damaged line; those whose date cannot be read are kept by
// --keep-odd only when no filter is given, since no range can hold them.
class Converter {
 public:
  using Out = std::function<void(std::string_view csv)>;
  using Report = std::function<void(const std::string& report)>;

  Converter(const Options& options, Out out, Report report);

  void feed(std::string_view bytes);
  // The end of the file: an unfinished last line is a torn one.
  void finish();

  std::size_t rows() const { return rows_; }
  std::size_t oddLines() const { return oddLines_; }

 private:
  void take(const dbline::LineView& line);
  void takeOdd(const dbline::LineView& line);
  void flushIfFull();

  const Options options_;
  Out out_;
  Report report_;
  dbline::LineCutter cutter_;
  std::string buffer_;
  std::size_t rows_ = 0;
  std::size_t oddLines_ = 0;
};

// The whole database converted in memory.
Conversion convert(const std::string& bytes, const Options& options);

}  // namespace meterstation::db2csv
