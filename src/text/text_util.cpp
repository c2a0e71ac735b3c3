#include "text/text_util.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace meterstation {

namespace {

bool isDigit(char c) { return c >= '0' && c <= '9'; }

int hexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Summing digit by digit would round at every step once the value passes
// 53 bits; the digits are turned into hexadecimal text instead (octal
// regrouped three bits at a time into four) and rounded once by from_chars.
double radixValue(const std::string& s, std::size_t from, int radix) {
  static constexpr char kHex[] = "0123456789abcdef";
  std::string hex;
  unsigned bits = 0;
  int bitCount = 0;
  std::size_t end = from;
  while (end < s.size() && hexDigitValue(s[end]) >= 0 && hexDigitValue(s[end]) < radix) ++end;
  if (radix == 16) {
    hex = s.substr(from, end - from);
  } else {
    // Pad on the left so the bit groups end exactly with the last digit.
    bitCount = static_cast<int>((4 - (3 * (end - from)) % 4) % 4);
    for (std::size_t i = from; i < end; ++i) {
      bits = (bits << 3) | static_cast<unsigned>(hexDigitValue(s[i]));
      bitCount += 3;
      if (bitCount >= 4) {
        bitCount -= 4;
        hex += kHex[(bits >> bitCount) & 0xF];
      }
    }
  }
  if (hex.empty()) return 0;
  double value = 0;
  const auto [ptr, ec] =
      std::from_chars(hex.data(), hex.data() + hex.size(), value, std::chars_format::hex);
  (void)ptr;
  if (ec == std::errc::result_out_of_range) return std::numeric_limits<double>::infinity();
  return value;
}

// Power of ten of the first significant digit of a non-zero number text
// (digits, optional ".", optional "e" with sign and digits).
std::int64_t decimalOrder(const std::string& number) {
  const std::size_t e = number.find('e');
  const std::string mantissa = number.substr(0, e);
  const std::size_t point = mantissa.find('.');
  const std::size_t intDigits = point == std::string::npos ? mantissa.size() : point;
  std::int64_t order = 0;
  std::int64_t index = 0;
  for (char c : mantissa) {
    if (c == '.') continue;
    if (c != '0') {
      order = static_cast<std::int64_t>(intDigits) - 1 - index;
      break;
    }
    ++index;
  }
  std::int64_t exponent = 0;
  if (e != std::string::npos) {
    std::size_t i = e + 1;
    const bool negative = i < number.size() && number[i] == '-';
    if (i < number.size() && (number[i] == '-' || number[i] == '+')) ++i;
    // Far beyond any digit count a text can have, so the cap decides nothing.
    for (; i < number.size(); ++i) {
      exponent = std::min<std::int64_t>(exponent * 10 + (number[i] - '0'), 1'000'000'000'000);
    }
    if (negative) exponent = -exponent;
  }
  return order + exponent;
}

constexpr std::array<double, 16> kPowersOfTen = {1e0, 1e1, 1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                                 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};

// Writes |value| with at most `digits` significant digits in the plain form
// (or with an exponent outside the plain range). std::to_chars is locale
// independent, which matters once the GUI has set the C locale from the
// environment.
std::string magnitudeText(double magnitude, int digits) {
  if (std::isnan(magnitude)) return "NaN";
  if (std::isinf(magnitude)) return "Infinity";
  if (magnitude == 0) return "0";

  // Whole numbers below 10^digits come out as their own digits whatever the
  // rounding; they are nearly every value a reading produces (counts, meter
  // numbers, limits), and the general path costs twenty times as much.
  if (digits >= 1 && magnitude < kPowersOfTen[static_cast<std::size_t>(std::min(digits, 15))] &&
      magnitude == std::floor(magnitude)) {
    std::array<char, 24> whole{};
    const auto [end, ec] = std::to_chars(whole.data(), whole.data() + whole.size(),
                                         static_cast<std::uint64_t>(magnitude));
    if (ec == std::errc()) return std::string(whole.data(), end);
  }

  std::array<char, 64> buf{};
  auto [end, ec] = std::to_chars(buf.data(), buf.data() + buf.size(), magnitude,
                                 std::chars_format::scientific, digits - 1);
  if (ec != std::errc()) return "0";
  std::string sci(buf.data(), end);
  const std::size_t ePos = sci.find('e');
  std::string mantissa = sci.substr(0, ePos);
  const int exponent = std::stoi(sci.substr(ePos + 1));

  std::string digitsOnly;
  for (char c : mantissa) {
    if (c != '.') digitsOnly += c;
  }
  while (digitsOnly.size() > 1 && digitsOnly.back() == '0') digitsOnly.pop_back();

  if (exponent >= digits || exponent < -5) {
    std::string out(1, digitsOnly[0]);
    if (digitsOnly.size() > 1) out += "." + digitsOnly.substr(1);
    out += exponent < 0 ? "E-" : "E+";
    const int absExp = exponent < 0 ? -exponent : exponent;
    if (absExp < 10) out += '0';
    out += std::to_string(absExp);
    return out;
  }
  if (exponent < 0) {
    return "0." + std::string(static_cast<std::size_t>(-exponent) - 1, '0') + digitsOnly;
  }
  const auto intDigits = static_cast<std::size_t>(exponent) + 1;
  if (digitsOnly.size() <= intDigits) {
    return digitsOnly + std::string(intDigits - digitsOnly.size(), '0');
  }
  return digitsOnly.substr(0, intDigits) + "." + digitsOnly.substr(intDigits);
}

std::string signedText(double value, int digits) {
  if (value < 0) return "-" + magnitudeText(-value, digits);
  return magnitudeText(value, digits);
}

}  // namespace

double numericValue(std::string_view text) {
  std::string s;
  s.reserve(text.size());
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') s += c;
  }

  if (s.size() >= 2 && s[0] == '&') {
    if (s[1] == 'H' || s[1] == 'h') return radixValue(s, 2, 16);
    if (s[1] == 'O' || s[1] == 'o') return radixValue(s, 2, 8);
  }

  // Collect the part that fits the number's form, normalised for from_chars.
  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  std::string number;
  bool sawPoint = false;
  bool sawDigit = false;
  for (; i < s.size(); ++i) {
    if (isDigit(s[i])) {
      number += s[i];
      sawDigit = true;
    } else if (s[i] == '.' && !sawPoint) {
      number += '.';
      sawPoint = true;
    } else {
      break;
    }
  }
  if (!sawDigit) return 0;
  if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
    std::size_t j = i + 1;
    std::string exponent = "e";
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) exponent += s[j++];
    const std::size_t firstExpDigit = j;
    while (j < s.size() && isDigit(s[j])) exponent += s[j++];
    if (j > firstExpDigit) number += exponent;
  }

  double value = 0;
  const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), value);
  (void)ptr;
  if (ec == std::errc::result_out_of_range) {
    // from_chars leaves the value alone on overflow and underflow; tell the
    // two apart by the decimal order of magnitude, not the exponent's sign
    // alone: many digits can outweigh a negative exponent and leading zeros
    // a positive one.
    value = decimalOrder(number) < 0 ? 0.0 : std::numeric_limits<double>::infinity();
  }
  return negative ? -value : value;
}

namespace {

// 2^63, the first double beyond the 64-bit integers.
constexpr double kTwoTo63 = 9223372036854775808.0;

// The nearest integer as a double, halves to the even neighbour. Exact for
// every finite double: from 2^52 on, every double is already whole.
double roundedHalfEven(double value) {
  const double floorValue = std::floor(value);
  const double diff = value - floorValue;
  if (diff > 0.5) return floorValue + 1;
  if (diff == 0.5) return std::fmod(floorValue, 2.0) == 0 ? floorValue : floorValue + 1;
  return floorValue;
}

}  // namespace

std::optional<std::int64_t> roundHalfEven(double value, std::int64_t lo, std::int64_t hi) {
  if (!std::isfinite(value)) return std::nullopt;
  const double rounded = roundedHalfEven(value);
  // Only a double inside the integer range may reach the cast; the bounds
  // are then compared as integers, since one near 2^63 may have no double.
  if (rounded >= kTwoTo63 || rounded < -kTwoTo63) return std::nullopt;
  const auto result = static_cast<std::int64_t>(rounded);
  if (result < lo || result > hi) return std::nullopt;
  return result;
}

std::int64_t roundHalfEvenClamped(double value, std::int64_t lo, std::int64_t hi) {
  if (std::isnan(value)) return lo;
  const double rounded = roundedHalfEven(value);
  if (rounded >= kTwoTo63) return hi;
  if (rounded < -kTwoTo63) return lo;
  const auto result = static_cast<std::int64_t>(rounded);
  if (result < lo) return lo;
  if (result > hi) return hi;
  return result;
}

std::string decimalText(double value) { return signedText(value, 15); }

std::string decimalTextSingle(float value) { return signedText(static_cast<double>(value), 7); }

std::string signPositionText(double value) {
  std::string magnitude = magnitudeText(std::fabs(value), 15);
  if (magnitude.size() > 1 && magnitude[0] == '0' && magnitude[1] == '.') magnitude.erase(0, 1);
  return (value < 0 ? "-" : " ") + magnitude;
}

std::string piece(const std::string& text, std::int64_t p, std::int64_t n) {
  return std::string(pieceView(text, p, n));
}

std::string_view pieceView(std::string_view text, std::int64_t p, std::int64_t n) {
  if (p < 1) p = 1;
  if (n <= 0 || p > static_cast<std::int64_t>(text.size())) return {};
  return text.substr(static_cast<std::size_t>(p - 1), static_cast<std::size_t>(n));
}

std::string piece(const std::string& text, std::int64_t p) {
  return piece(text, p, static_cast<std::int64_t>(text.size()));
}

void overwrite(std::string& text, std::int64_t p, const std::string& with, std::int64_t n) {
  const auto length = static_cast<std::int64_t>(text.size());
  if (p < 1 || p > length || n <= 0) return;
  std::int64_t count = n;
  count = std::min(count, static_cast<std::int64_t>(with.size()));
  count = std::min(count, length - p + 1);
  text.replace(static_cast<std::size_t>(p - 1), static_cast<std::size_t>(count), with, 0,
               static_cast<std::size_t>(count));
}

void overwrite(std::string& text, std::int64_t p, const std::string& with) {
  overwrite(text, p, with, static_cast<std::int64_t>(with.size()));
}

namespace {

std::string shownCharacter(unsigned char c) {
  static constexpr std::array<const char*, 32> kNames = {
      "NUL", "SOH", "STX", "ETX", "EOT", "ENQ", "ACK", "BEL", "BS",  "TAB", "LF",
      "VT",  "FF",  "CR",  "SO",  "SI",  "DLE", "DC1", "DC2", "DC3", "DC4", "NAK",
      "SYN", "ETB", "CAN", "EM",  "SUB", "ESC", "FS",  "GS",  "RS",  "US"};
  if (c < 32) return std::string("<") + kNames[c] + ">";
  if (c == 127) return "<DEL>";
  if (c >= 0x80 && c < 0xA0) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    return std::string("<x") + kHex[c >> 4] + kHex[c & 0xF] + ">";
  }
  return std::string(1, static_cast<char>(c));
}

}  // namespace

std::string visibleText(const std::string& text) {
  return visibleText(text, std::numeric_limits<std::size_t>::max());
}

std::string visibleText(const std::string& text, std::size_t maxChars) {
  std::string out;
  out.reserve(std::min(text.size(), maxChars));  // every rejected reading passes here
  for (char c : text) {
    const std::string shown = shownCharacter(static_cast<unsigned char>(c));
    if (out.size() + shown.size() > maxChars) break;
    out += shown;
  }
  return out;
}

}  // namespace meterstation
