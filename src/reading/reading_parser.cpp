#include "reading/reading_parser.h"

#include <charconv>
#include <cmath>

#include "text/text_util.h"

namespace meterstation {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t'; }
bool isLineEnd(char c) { return c == '\r' || c == '\n'; }

ParseOutcome failed(std::string reason) {
  ParseOutcome outcome;
  outcome.failure = std::move(reason);
  return outcome;
}

// A decimal number as the scratch-file reader takes it: optional sign,
// digits, optional point with digits. Anything else has no value to read.
std::optional<double> decimalItem(const std::string& token) {
  std::size_t i = 0;
  bool negative = false;
  if (i < token.size() && (token[i] == '+' || token[i] == '-')) {
    negative = token[i] == '-';
    ++i;
  }
  const std::string body = token.substr(i);
  bool sawDigit = false;
  bool sawPoint = false;
  for (char c : body) {
    if (c >= '0' && c <= '9') {
      sawDigit = true;
    } else if (c == '.' && !sawPoint) {
      sawPoint = true;
    } else {
      return std::nullopt;
    }
  }
  if (!sawDigit) return std::nullopt;
  double value = 0;
  const auto [ptr, ec] = std::from_chars(body.data(), body.data() + body.size(), value);
  if (ec != std::errc() || ptr != body.data() + body.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

}  // namespace

CommaPositions commaPositions(const std::string& text) {
  CommaPositions positions{};
  std::size_t next = 0;
  for (std::size_t i = 0; i < text.size() && i < kMaxSplitLength && next < positions.size(); ++i) {
    if (text[i] == ',') positions[next++] = static_cast<std::int16_t>(i + 1);
  }
  return positions;
}

ParseOutcome splitInMemory(const std::string& text) {
  if (text.size() > kMaxSplitLength) return failed("longer than 32766 characters");
  const CommaPositions c = commaPositions(text);
  for (std::int16_t position : c) {
    if (position == 0) return failed("fewer than seven commas");
  }
  const auto length = static_cast<std::int64_t>(text.size());
  const std::int64_t lastCount = length - c[6] - 2;
  if (lastCount < 0) return failed("too few characters after the seventh comma");

  ParseOutcome outcome;
  outcome.ok = true;
  Fields& f = outcome.reading.f;
  f[0] = piece(text, 1, c[0] - 1);
  for (std::size_t k = 1; k < 7; ++k) {
    f[k] = piece(text, c[k - 1] + 1, c[k] - c[k - 1] - 1);
  }
  f[7] = piece(text, c[6] + 1, lastCount);
  outcome.reading.item[0] = numericValue(f[0]);
  outcome.reading.item[1] = numericValue(f[1]);
  return outcome;
}

std::string scratchFileText(const std::string& received) {
  std::string text;
  text.reserve(2 * (received.size() + 2));
  for (int copy = 0; copy < 2; ++copy) {
    text += received;
    text += "\r\n";
  }
  return text;
}

std::string withoutNuls(const std::string& bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (char c : bytes) {
    if (c != '\0') out += c;
  }
  return out;
}

ParseOutcome readItems(const std::string& fileText) {
  ParseOutcome outcome;
  Items& items = outcome.reading.item;
  const std::size_t n = fileText.size();
  std::size_t i = 0;
  std::size_t count = 0;
  bool afterComma = false;

  while (count < items.size()) {
    while (i < n && isBlank(fileText[i])) ++i;
    if (i >= n) {
      // A comma at the very end still promises an item, an empty one.
      if (afterComma) {
        items[count++] = std::nullopt;
        afterComma = false;
        continue;
      }
      return failed("fewer than eight items");
    }
    const char c = fileText[i];
    if (isLineEnd(c)) {
      if (afterComma) {
        items[count++] = std::nullopt;
        afterComma = false;
      }
      // Blank lines between items are passed over.
      ++i;
      continue;
    }
    if (c == ',') {
      items[count++] = std::nullopt;
      afterComma = true;
      ++i;
      continue;
    }
    std::size_t end = i;
    while (end < n && fileText[end] != ',' && !isLineEnd(fileText[end])) ++end;
    std::size_t tokenEnd = end;
    while (tokenEnd > i && isBlank(fileText[tokenEnd - 1])) --tokenEnd;
    const std::string token = fileText.substr(i, tokenEnd - i);
    const std::optional<double> value = decimalItem(token);
    if (!value) return failed("item " + std::to_string(count + 1) + " is not a decimal number");
    items[count++] = value;
    i = end;
    afterComma = i < n && fileText[i] == ',';
    if (afterComma) ++i;
  }
  outcome.ok = true;
  return outcome;
}

void applyShiftRule(Items& items) {
  if (items[7].value_or(0) >= kShiftThreshold) return;
  for (std::size_t k = 0; k + 1 < items.size(); ++k) items[k] = items[k + 1];
  items[7] = kShiftFiller;
}

Fields fieldsFromItems(const Items& items) {
  Fields fields;
  for (std::size_t k = 0; k < items.size(); ++k) {
    fields[k] = signPositionText(items[k].value_or(0)).substr(1);
  }
  return fields;
}

void zeroFill(Fields& fields) {
  for (std::size_t k = 0; k < fields.size(); ++k) {
    if (fields[k].size() < kFieldWidths[k]) {
      fields[k].insert(0, kFieldWidths[k] - fields[k].size(), '0');
    }
  }
}

void keepOnOneLine(Fields& fields) {
  for (std::string& field : fields) {
    for (char& c : field) {
      if (c == '\r' || c == '\n') c = ' ';
    }
  }
}

}  // namespace meterstation
