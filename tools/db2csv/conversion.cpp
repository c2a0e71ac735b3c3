#include "db2csv/conversion.h"

#include <cstring>

#include "db2csv/csv_text.h"
#include "dbline/db_line.h"

namespace meterstation::db2csv {

using dbline::GoodLine;
using dbline::kFieldsPerReading;
using dbline::LineView;
using dbline::ParsedLine;

namespace {

constexpr std::size_t kOutPiece = 1 << 20;

bool keyInRange(std::string_view key, const Options& options) {
  if (options.fromKey && key < *options.fromKey) return false;
  if (options.toKey && key > *options.toKey) return false;
  return true;
}

bool inRange(const ParsedLine& line, const Options& options) {
  if (!options.fromKey && !options.toKey) return true;
  if (!line.isoTime) return false;
  return keyInRange(std::string_view(line.stamp).substr(0, 8), options);
}

std::string reportOf(std::size_t number, const ParsedLine& parsed, bool kept) {
  std::string text = "line " + std::to_string(number) + ": ";
  for (std::size_t i = 0; i < parsed.problems.size(); ++i) {
    if (i > 0) text += "; ";
    text += parsed.problems[i];
  }
  text += kept ? " (kept)" : " (skipped)";
  return text;
}

// csvCell without building a string per cell.
void appendCell(std::string& out, std::string_view text) {
  out += '"';
  if (text.find('"') == std::string_view::npos) {
    out += text;
  } else {
    for (char c : text) {
      if (c == '"') out += '"';
      out += c;
    }
  }
  out += '"';
}

std::string isoTimeText(std::string_view s) {
  std::string when;
  when.reserve(19);
  when.append(s.substr(0, 4)).append("-").append(s.substr(4, 2)).append("-");
  when.append(s.substr(6, 2)).append("T").append(s.substr(8, 2)).append(":");
  when.append(s.substr(10, 2)).append(":").append(s.substr(12, 2));
  return when;
}

// Any line, quotes doubled where a cell has one.
void appendRowsQuoting(std::string& out, const GoodLine& line) {
  const std::string when = isoTimeText(line.stamp);
  for (const auto& fields : line.fields) {
    appendCell(out, line.marker);
    out += ',';
    appendCell(out, when);
    out += ',';
    appendCell(out, fields[0]);
    for (std::string_view field : fields) {
      out += ',';
      appendCell(out, field);
    }
    out += "\r\n";
  }
}

char* put(char* at, std::string_view text) {
  at[0] = '"';
  std::memcpy(at + 1, text.data(), text.size());
  at[text.size() + 1] = '"';
  return at + text.size() + 2;
}

// A line without a quote in it, as the station writes them all: its rows
// are measured first and written in one go, nine million rows a year.
void appendRowsPlain(std::string& out, const GoodLine& line) {
  const std::string when = isoTimeText(line.stamp);
  // Eleven quoted cells, ten commas and CR LF a row, besides the texts.
  std::size_t size = 0;
  for (const auto& fields : line.fields) {
    size += line.marker.size() + when.size() + fields[0].size() + std::size_t{11 * 2 + 10 + 2};
    for (std::string_view field : fields) size += field.size();
  }
  const std::size_t start = out.size();
  out.resize(start + size);
  char* at = out.data() + start;
  for (const auto& fields : line.fields) {
    at = put(at, line.marker);
    *at++ = ',';
    at = put(at, when);
    *at++ = ',';
    at = put(at, fields[0]);
    for (std::string_view field : fields) {
      *at++ = ',';
      at = put(at, field);
    }
    *at++ = '\r';
    *at++ = '\n';
  }
}

}  // namespace

std::string csvHeader() {
  std::vector<std::string> cells = {"marker", "datetime", "meter"};
  for (std::size_t k = 1; k <= kFieldsPerReading; ++k) cells.push_back("field" + std::to_string(k));
  return csvRow(cells);
}

Converter::Converter(const Options& options, Out out, Report report)
    : options_(options), out_(std::move(out)), report_(std::move(report)) {
  buffer_.reserve(kOutPiece + kOutPiece / 4);
  buffer_ = csvHeader();
}

void Converter::feed(std::string_view bytes) {
  cutter_.feed(bytes, [this](const LineView& line) { take(line); });
  flushIfFull();
}

void Converter::finish() {
  if (const auto pending = cutter_.pending()) take(*pending);
  if (!buffer_.empty()) out_(buffer_);
  buffer_.clear();
}

void Converter::take(const LineView& line) {
  GoodLine good;
  if (!dbline::readGoodLine(line.text, line.torn, good)) {
    takeOdd(line);
  } else if (keyInRange(good.stamp.substr(0, 8), options_)) {
    if (line.text.find('"') == std::string_view::npos) {
      appendRowsPlain(buffer_, good);
    } else {
      appendRowsQuoting(buffer_, good);
    }
    rows_ += dbline::kMetersPerLine;
    // Many lines fit one piece; the check per line keeps pieces near 1 MiB.
    flushIfFull();
  }
}

void Converter::takeOdd(const LineView& line) {
  const ParsedLine parsed = dbline::parseLine({line.number, std::string(line.text), line.torn});
  const bool wanted = inRange(parsed, options_) && options_.keepOdd;
  ++oddLines_;
  report_(reportOf(line.number, parsed, wanted));
  if (!wanted) return;
  const std::string when = parsed.isoTime ? *parsed.isoTime : parsed.stamp;
  for (const dbline::MeterRow& row : parsed.rows) {
    std::vector<std::string> cells = {parsed.marker, when, row.meter};
    cells.insert(cells.end(), row.fields.begin(), row.fields.end());
    // A short odd reading still fills every column, so the rows line up.
    cells.resize(3 + kFieldsPerReading);
    buffer_ += csvRow(cells);
    ++rows_;
  }
}

void Converter::flushIfFull() {
  if (buffer_.size() < kOutPiece) return;
  out_(buffer_);
  buffer_.clear();
}

Conversion convert(const std::string& bytes, const Options& options) {
  Conversion result;
  Converter converter(
      options, [&](std::string_view csv) { result.csv += csv; },
      [&](const std::string& report) { result.reports.push_back(report); });
  converter.feed(bytes);
  converter.finish();
  result.rows = converter.rows();
  return result;
}

}  // namespace meterstation::db2csv
