#include "dbline/db_line.h"

namespace meterstation::dbline {

namespace {

constexpr std::size_t kHeaderWidth = 18;
constexpr std::size_t kSlotWidth = 41;
constexpr std::size_t kReadingWidth = 40;

bool allDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// The digits are checked before: no conversion can fail.
int numberAt(std::string_view digits, std::size_t from, std::size_t count) {
  int value = 0;
  for (char c : digits.substr(from, count)) value = value * 10 + (c - '0');
  return value;
}

bool isLeapYear(int year) { return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0; }

bool plausibleDate(int year, int month, int day) {
  static constexpr int kDays[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (month < 1 || month > 12 || day < 1) return false;
  const int last = kDays[month - 1] + (month == 2 && isLeapYear(year) ? 1 : 0);
  return day <= last;
}

bool meterInRange(std::string_view meter) {
  if (meter.size() != 2 || !allDigits(meter)) return false;
  const int number = numberAt(meter, 0, 2);
  return number >= 1 && number <= static_cast<int>(kMetersPerLine);
}

std::vector<std::string> splitAtCommas(const std::string& text) {
  std::vector<std::string> pieces(1);
  for (char c : text) {
    if (c == ',') {
      pieces.emplace_back();
    } else {
      pieces.back() += c;
    }
  }
  return pieces;
}

// Keeps the last field whole: the station cuts a reading at its first seven
// commas only, so any further comma belongs to the eighth field.
std::vector<std::string> readingFields(const std::string& reading) {
  std::vector<std::string> fields = splitAtCommas(reading);
  while (fields.size() > kFieldsPerReading) {
    fields[kFieldsPerReading - 1] += "," + fields[kFieldsPerReading];
    fields.erase(fields.begin() + kFieldsPerReading);
  }
  return fields;
}

MeterRow rowOf(std::vector<std::string> fields) {
  MeterRow row;
  row.meter = fields.empty() ? std::string() : fields.front();
  row.meterInRange = meterInRange(row.meter);
  row.fields = std::move(fields);
  return row;
}

void readByColumns(const std::string& text, ParsedLine& parsed) {
  for (std::size_t k = 0; k < kMetersPerLine; ++k) {
    const std::size_t comma = kHeaderWidth + kSlotWidth * k;
    if (text[comma] != ',') {
      parsed.problems.push_back("no comma before meter slot " + std::to_string(k + 1) +
                                " (column " + std::to_string(comma + 1) + ")");
    }
    std::vector<std::string> fields = readingFields(text.substr(comma + 1, kReadingWidth));
    if (fields.size() != kFieldsPerReading) {
      parsed.problems.push_back("slot " + std::to_string(k + 1) + " holds " +
                                std::to_string(fields.size()) + " fields instead of 8");
    }
    parsed.rows.push_back(rowOf(std::move(fields)));
  }
  if (text.compare(kLineLength - 2, 2, "  ") != 0) {
    parsed.problems.push_back("columns 675-676 are not two spaces");
  }
}

void readByCommas(const std::string& text, ParsedLine& parsed) {
  std::string body = text.size() > kHeaderWidth ? text.substr(kHeaderWidth) : std::string();
  while (!body.empty() && body.back() == ' ') body.pop_back();
  if (body.empty()) return;
  if (body.front() != ',') {
    parsed.problems.push_back("no comma at column 19");
  } else {
    body.erase(0, 1);
  }
  const std::vector<std::string> pieces = splitAtCommas(body);
  for (std::size_t start = 0; start < pieces.size(); start += kFieldsPerReading) {
    const std::size_t end = std::min(pieces.size(), start + kFieldsPerReading);
    parsed.rows.push_back(rowOf({pieces.begin() + static_cast<std::ptrdiff_t>(start),
                                 pieces.begin() + static_cast<std::ptrdiff_t>(end)}));
  }
  if (pieces.size() % kFieldsPerReading != 0) {
    parsed.problems.push_back(std::to_string(pieces.size()) +
                              " fields are not a whole number of readings");
  }
}

// The eight fields of one 40-character slot as readingFields cuts them:
// false when it has fewer than seven commas. A plain loop: a library search
// per field costs more than the forty characters it looks at.
bool slotFields(std::string_view slot, std::array<std::string_view, kFieldsPerReading>& out) {
  std::size_t start = 0;
  std::size_t k = 0;
  for (std::size_t i = 0; i < slot.size() && k + 1 < kFieldsPerReading; ++i) {
    if (slot[i] != ',') continue;
    out[k++] = slot.substr(start, i - start);
    start = i + 1;
  }
  if (k + 1 < kFieldsPerReading) return false;
  out[kFieldsPerReading - 1] = slot.substr(start);
  return true;
}

}  // namespace

bool readGoodLine(std::string_view text, bool torn, GoodLine& out) {
  if (torn || text.size() != kLineLength) return false;
  out.marker = text.substr(0, 4);
  out.stamp = text.substr(4, 14);
  if (!isPlausibleStamp(out.stamp)) return false;
  for (std::size_t k = 0; k < kMetersPerLine; ++k) {
    const std::size_t comma = kHeaderWidth + kSlotWidth * k;
    if (text[comma] != ',') return false;
    if (!slotFields(text.substr(comma + 1, kReadingWidth), out.fields[k])) return false;
    if (!meterInRange(out.fields[k][0])) return false;
  }
  return text.substr(kLineLength - 2) == "  ";
}

std::vector<RawLine> splitLines(const std::string& bytes) {
  std::vector<RawLine> lines;
  std::size_t start = 0;
  while (start < bytes.size()) {
    const std::size_t end = bytes.find("\r\n", start);
    RawLine line;
    line.number = lines.size() + 1;
    if (end == std::string::npos) {
      line.text = bytes.substr(start);
      line.torn = true;
      lines.push_back(std::move(line));
      break;
    }
    line.text = bytes.substr(start, end - start);
    lines.push_back(std::move(line));
    start = end + 2;
  }
  return lines;
}

bool isPlausibleStamp(std::string_view stamp) {
  if (stamp.size() != 14 || !allDigits(stamp)) return false;
  if (!plausibleDate(numberAt(stamp, 0, 4), numberAt(stamp, 4, 2), numberAt(stamp, 6, 2))) {
    return false;
  }
  return numberAt(stamp, 8, 2) <= 23 && numberAt(stamp, 10, 2) <= 59 &&
         numberAt(stamp, 12, 2) <= 59;
}

std::optional<std::string> isoTimeOf(const std::string& stamp) {
  if (!isPlausibleStamp(stamp)) return std::nullopt;
  return stamp.substr(0, 4) + "-" + stamp.substr(4, 2) + "-" + stamp.substr(6, 2) + "T" +
         stamp.substr(8, 2) + ":" + stamp.substr(10, 2) + ":" + stamp.substr(12, 2);
}

std::optional<std::string> dateKeyOf(const std::string& isoDate) {
  if (isoDate.size() != 10 || isoDate[4] != '-' || isoDate[7] != '-') return std::nullopt;
  const std::string key = isoDate.substr(0, 4) + isoDate.substr(5, 2) + isoDate.substr(8, 2);
  if (!allDigits(key)) return std::nullopt;
  if (!plausibleDate(numberAt(key, 0, 4), numberAt(key, 4, 2), numberAt(key, 6, 2))) {
    return std::nullopt;
  }
  return key;
}

ParsedLine parseLine(const RawLine& line) {
  ParsedLine parsed;
  const std::string& text = line.text;
  parsed.marker = text.substr(0, std::min<std::size_t>(4, text.size()));
  if (text.size() > 4) parsed.stamp = text.substr(4, std::min<std::size_t>(14, text.size() - 4));
  parsed.isoTime = isoTimeOf(parsed.stamp);

  if (line.torn) parsed.problems.push_back("torn: the file ends without CR LF");
  if (text.size() != kLineLength) {
    parsed.problems.push_back(std::to_string(text.size()) + " characters instead of 676");
  }
  if (!parsed.isoTime) {
    parsed.problems.push_back("columns 5-18 \"" + parsed.stamp + "\" are no date and time");
  }

  if (text.size() == kLineLength) {
    readByColumns(text, parsed);
  } else {
    readByCommas(text, parsed);
  }
  for (std::size_t k = 0; k < parsed.rows.size(); ++k) {
    if (!parsed.rows[k].meterInRange) {
      parsed.problems.push_back("meter field \"" + parsed.rows[k].meter + "\" in slot " +
                                std::to_string(k + 1) + " is not 01 to 16");
    }
  }
  return parsed;
}

}  // namespace meterstation::dbline
