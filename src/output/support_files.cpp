#include "output/support_files.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "text/text_util.h"

namespace meterstation {

namespace {

std::string withLineEnds(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines) text += line + "\r\n";
  return text;
}

std::string padded(const std::string& text, std::size_t width) {
  return text + std::string(width > text.size() ? width - text.size() : 0, ' ');
}

// Four one-digit values with their digits in columns 2, 16, 30 and 44.
std::string zoneLine(int a, int b, int c, int d) {
  std::string line(45, ' ');
  line[1] = static_cast<char>('0' + a);
  line[15] = static_cast<char>('0' + b);
  line[29] = static_cast<char>('0' + c);
  line[43] = static_cast<char>('0' + d);
  return line;
}

bool isSeparator(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

std::optional<double> numberToken(const std::string& token) {
  std::size_t start = 0;
  bool negative = false;
  if (!token.empty() && (token[0] == '+' || token[0] == '-')) {
    negative = token[0] == '-';
    start = 1;
  }
  double value = 0;
  const char* first = token.data() + start;
  const char* last = token.data() + token.size();
  if (first == last || *first == '+' || *first == '-') return std::nullopt;
  const auto [ptr, ec] = std::from_chars(first, last, value);
  if (ec != std::errc() || ptr != last || !std::isfinite(value)) return std::nullopt;
  return negative ? -value : value;
}

std::string buildDefaultsFileText() {
  return withLineEnds({
      padded(" 12.75", 45),
      padded(" 2516.447", 45),
      padded(" 16.95", 45),
      padded(" 1", 45),
      zoneLine(0, 1, 2, 3),
      zoneLine(4, 5, 6, 7),
      zoneLine(7, 7, 0, 0),
  });
}

std::string buildMeterTableText() {
  std::vector<std::string> lines;
  for (int meter = 1; meter <= kMeterLines; ++meter) {
    std::string number = std::to_string(meter);
    number.insert(0, 3 - number.size(), ' ');
    lines.push_back(number + " -" + std::string(20, ' ') + ",0020,1.00,120,000,999" +
                    std::string(23, ' ') + ".");
  }
  return withLineEnds(lines);
}

std::string buildBillTemplateText() {
  return withLineEnds({
      std::string(31, ' ') + "Quellnetix Corp." + std::string(30, ' '),
      std::string(77, ' '),
      std::string(9, ' ') + "Energy usage charges due and payable for the period ending." +
          std::string(9, ' '),
      std::string(9, ' ') + "Taxes and customer charges have been added proportionately." +
          std::string(9, ' '),
      std::string(9, ' ') + "Thank you for your prompt payment." + std::string(34, ' '),
      std::string(12, ' ') + "Customer" + std::string(6, ' ') + "Billing Period" +
          std::string(13, ' ') + "Usage" + std::string(6, ' ') + "Amount Due" + std::string(3, ' '),
      " Rate: Non-demand, Non-TOU - Customer chg incl." + std::string(6, ' ') + "@ xxxx" +
          std::string(5, ' ') + "cts/kwh" + std::string(6, ' '),
  });
}

}  // namespace

// The texts never change, and "Init" may be pressed any number of times:
// each is built once, on first use.
const std::string& defaultsFileText() {
  static const std::string text = buildDefaultsFileText();
  return text;
}

const std::string& meterTableText() {
  static const std::string text = buildMeterTableText();
  return text;
}

const std::string& billTemplateText() {
  static const std::string text = buildBillTemplateText();
  return text;
}

// The line ends are counted first, so the lines are gathered in one
// allocation.
std::vector<std::string_view> fileLineViews(std::string_view bytes) {
  const auto isLineEnd = [](char c) { return c == '\r' || c == '\n'; };
  std::vector<std::string_view> lines;
  lines.reserve(static_cast<std::size_t>(std::count_if(bytes.begin(), bytes.end(), isLineEnd)) + 1);
  std::size_t start = 0;
  while (start < bytes.size()) {
    const auto found =
        std::find_if(bytes.begin() + static_cast<std::ptrdiff_t>(start), bytes.end(), isLineEnd);
    const auto end = static_cast<std::size_t>(found - bytes.begin());
    lines.push_back(bytes.substr(start, end - start));
    if (end == bytes.size()) break;
    start = end + (bytes[end] == '\r' && end + 1 < bytes.size() && bytes[end + 1] == '\n' ? 2 : 1);
  }
  return lines;
}

std::vector<std::string> fileLines(const std::string& bytes) {
  const std::vector<std::string_view> views = fileLineViews(bytes);
  return {views.begin(), views.end()};
}

DefaultsValues parseDefaultsFile(const std::string& bytes) {
  DefaultsValues result;
  std::size_t i = 0;
  while (result.values.size() < static_cast<std::size_t>(kDefaultsValueCount)) {
    while (i < bytes.size() && isSeparator(bytes[i])) ++i;
    if (i >= bytes.size()) return result;
    std::size_t end = i;
    while (end < bytes.size() && !isSeparator(bytes[end])) ++end;
    const std::optional<double> value = numberToken(bytes.substr(i, end - i));
    if (!value) return result;
    result.values.push_back(*value);
    i = end;
  }
  result.complete = true;
  return result;
}

MeterEntry parseMeterLine(std::string_view line) {
  MeterEntry entry;
  entry.label = pieceView(line, 1, 25);
  entry.ctSize = numericValue(pieceView(line, 27, 4));
  entry.multiplier = numericValue(pieceView(line, 32, 4));
  entry.volts = static_cast<float>(numericValue(pieceView(line, 37, 3)));
  if (entry.volts == 0) entry.volts = 120;
  // Four columns: the comma in column 44 ends the number.
  entry.lowLimit = numericValue(pieceView(line, 41, 4));
  entry.highLimit = numericValue(pieceView(line, 45, 3));
  return entry;
}

MeterTable parseMeterTable(const std::string& bytes) {
  MeterTable table;
  const std::vector<std::string_view> lines = fileLineViews(bytes);
  const std::size_t count = std::min(lines.size(), static_cast<std::size_t>(kMeterLines));
  table.entries.reserve(count);
  for (std::size_t k = 0; k < count; ++k) table.entries.push_back(parseMeterLine(lines[k]));
  if (count > 0) table.lastLine = lines[count - 1];
  return table;
}

}  // namespace meterstation
