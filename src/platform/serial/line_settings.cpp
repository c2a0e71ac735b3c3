#include "platform/serial/line_settings.h"

#include <cctype>
#include <vector>

namespace meterstation {

namespace {

std::string trimmed(const std::string& text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && std::isspace(static_cast<unsigned char>(text[begin]))) ++begin;
  while (end > begin && std::isspace(static_cast<unsigned char>(text[end - 1]))) --end;
  return text.substr(begin, end - begin);
}

std::vector<std::string> fields(const std::string& text) {
  std::vector<std::string> result;
  std::size_t start = 0;
  for (;;) {
    const std::size_t comma = text.find(',', start);
    result.push_back(trimmed(text.substr(start, comma - start)));
    if (comma == std::string::npos) return result;
    start = comma + 1;
  }
}

// Digits only: a sign or a fraction in the baud rate is a typing error, not
// a rate to round.
bool wholeNumber(const std::string& field, long& value) {
  if (field.empty() || field.size() > 9) return false;
  value = 0;
  for (char c : field) {
    if (!std::isdigit(static_cast<unsigned char>(c))) return false;
    value = value * 10 + (c - '0');
  }
  return true;
}

ParsedLineSettings refused(const std::string& text, const std::string& why) {
  ParsedLineSettings parsed;
  parsed.error = "the line settings \"" + text + "\" are not valid: " + why;
  return parsed;
}

}  // namespace

ParsedLineSettings parseLineSettings(const std::string& text) {
  const std::vector<std::string> parts = fields(text);
  if (parts.size() != 4) {
    return refused(text, "expected baud,parity,data bits,stop bits as in 300,N,8,1");
  }
  ParsedLineSettings parsed;
  long number = 0;
  if (!wholeNumber(parts[0], number) || number <= 0) {
    return refused(text, "the baud rate must be a positive whole number");
  }
  parsed.settings.baud = static_cast<int>(number);

  const std::string& parity = parts[1];
  const char letter = parity.size() == 1
                          ? static_cast<char>(std::toupper(static_cast<unsigned char>(parity[0])))
                          : '\0';
  if (letter != 'N' && letter != 'E' && letter != 'O' && letter != 'M' && letter != 'S') {
    return refused(text, "the parity must be N, E, O, M or S");
  }
  parsed.settings.parity = letter;

  if (!wholeNumber(parts[2], number) || number < 5 || number > 8) {
    return refused(text, "the data bits must be 5, 6, 7 or 8");
  }
  parsed.settings.dataBits = static_cast<int>(number);

  if (parts[3] == "1") {
    parsed.settings.stopBits = StopBits::One;
  } else if (parts[3] == "1.5") {
    parsed.settings.stopBits = StopBits::OneAndHalf;
  } else if (parts[3] == "2") {
    parsed.settings.stopBits = StopBits::Two;
  } else {
    return refused(text, "the stop bits must be 1, 1.5 or 2");
  }
  parsed.ok = true;
  return parsed;
}

int lineTimeMs(const LineSettings& settings, std::size_t characters) {
  const int bitsPerCharacter = 1 + settings.dataBits + (settings.parity == 'N' ? 0 : 1) +
                               (settings.stopBits == StopBits::One ? 1 : 2);
  const double ms = static_cast<double>(characters) * bitsPerCharacter * 1000.0 / settings.baud;
  return ms > 3.6e6 ? 3600000 : static_cast<int>(ms) + 1;
}

}  // namespace meterstation
