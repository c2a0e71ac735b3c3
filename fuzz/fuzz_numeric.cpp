// numericValue against a slow reference written from the rule operators and
// files rely on, and the rounding helpers on any double.
#include <fuzzer/FuzzedDataProvider.h>

#include <bit>
#include <cctype>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>
#include <utility>

#include "fuzz_check.h"
#include "text/text_util.h"

using namespace meterstation;

namespace {

bool digit(char c) { return c >= '0' && c <= '9'; }

// strtod in the C locale (the fuzzer never sets another) rounds correctly,
// so the reference only has to bring the text into a form strtod reads the
// same way: a plain mantissa and a decimal exponent small enough to write.
double referenceValue(const std::string& text) {
  std::string s;
  for (char c : text) {
    if (c != ' ' && c != '\t' && c != '\n') s += c;
  }
  if (s.size() >= 2 && s[0] == '&' && (s[1] == 'H' || s[1] == 'h' || s[1] == 'O' || s[1] == 'o')) {
    const bool hex = s[1] == 'H' || s[1] == 'h';
    std::string digits;
    for (std::size_t i = 2; i < s.size(); ++i) {
      const char c = s[i];
      const bool fits =
          hex ? std::isxdigit(static_cast<unsigned char>(c)) != 0 : (c >= '0' && c <= '7');
      if (!fits) break;
      digits += c;
    }
    if (digits.empty()) return 0;
    if (hex) return std::strtod(("0x" + digits).c_str(), nullptr);
    // Octal digits are three bits each: write them as binary in hex form.
    std::string bits;
    for (char c : digits) {
      const int d = c - '0';
      bits += (d & 4) ? '1' : '0';
      bits += (d & 2) ? '1' : '0';
      bits += (d & 1) ? '1' : '0';
    }
    while (bits.size() % 4 != 0) bits.insert(0, "0");
    std::string hexDigits;
    for (std::size_t i = 0; i < bits.size(); i += 4) {
      const int v = (bits[i] - '0') * 8 + (bits[i + 1] - '0') * 4 + (bits[i + 2] - '0') * 2 +
                    (bits[i + 3] - '0');
      hexDigits += "0123456789abcdef"[v];
    }
    return std::strtod(("0x" + hexDigits).c_str(), nullptr);
  }

  std::size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  std::string intPart;
  std::string fracPart;
  bool point = false;
  for (; i < s.size(); ++i) {
    if (digit(s[i])) {
      (point ? fracPart : intPart) += s[i];
    } else if (s[i] == '.' && !point) {
      point = true;
    } else {
      break;
    }
  }
  if (intPart.empty() && fracPart.empty()) return 0;
  // The exponent, held as a capped count: beyond a million any mantissa of
  // a fuzz input is infinite or zero anyway.
  long long exponent = 0;
  if (i < s.size() && (s[i] == 'E' || s[i] == 'e' || s[i] == 'D' || s[i] == 'd')) {
    std::size_t j = i + 1;
    bool expNegative = false;
    if (j < s.size() && (s[j] == '+' || s[j] == '-')) expNegative = s[j++] == '-';
    if (j < s.size() && digit(s[j])) {
      for (; j < s.size() && digit(s[j]); ++j) {
        exponent = exponent * 10 + (s[j] - '0');
        if (exponent > 100000000) exponent = 100000000;
      }
      if (expNegative) exponent = -exponent;
    }
  }
  // value = 0.<all digits> * 10^(exponent + intPart.size())
  std::string all = intPart + fracPart;
  long long scale = exponent + static_cast<long long>(intPart.size());
  std::size_t lead = 0;
  while (lead < all.size() && all[lead] == '0') ++lead;
  all.erase(0, lead);
  scale -= static_cast<long long>(lead);
  if (all.empty()) return negative ? -0.0 : 0.0;
  double value = 0;
  if (scale > 100000) {
    value = std::numeric_limits<double>::infinity();
  } else if (scale < -100000) {
    value = 0;
  } else {
    value = std::strtod(("0." + all + "e" + std::to_string(scale)).c_str(), nullptr);
  }
  return negative ? -value : value;
}

bool same(double a, double b) {
  if (std::isnan(a) || std::isnan(b)) return std::isnan(a) && std::isnan(b);
  return a == b;
}

void checkRounding(double value, std::int64_t lo, std::int64_t hi) {
  if (lo > hi) std::swap(lo, hi);
  const auto rounded = roundHalfEven(value, lo, hi);
  if (rounded) {
    FUZZ_CHECK(*rounded >= lo && *rounded <= hi, "rounded value outside its range");
    FUZZ_CHECK(std::isfinite(value), "a value without magnitude was rounded");
    const double r = static_cast<double>(*rounded);
    FUZZ_CHECK(std::fabs(value - r) <= 0.5 || std::fabs(value) >= 4503599627370496.0,
               "rounded more than half away");
  }
  const std::int64_t clamped = roundHalfEvenClamped(value, lo, hi);
  FUZZ_CHECK(clamped >= lo && clamped <= hi, "clamped value outside its range");
  if (rounded) FUZZ_CHECK(clamped == *rounded, "clamping changed a value inside the range");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const double actual = numericValue(text);
  const double expected = referenceValue(text);
  if (!same(actual, expected)) {
    std::fprintf(stderr, "numericValue gives %.17g, expected %.17g\n", actual, expected);
    FUZZ_CHECK(false, "numericValue differs from the reference");
  }

  FuzzedDataProvider provider(data, size);
  const double ranged = provider.ConsumeFloatingPoint<double>();
  const double bits = std::bit_cast<double>(provider.ConsumeIntegral<std::uint64_t>());
  const auto lo = provider.ConsumeIntegral<std::int64_t>();
  const auto hi = provider.ConsumeIntegral<std::int64_t>();
  for (double value : {actual, ranged, bits}) {
    checkRounding(value, lo, hi);
    checkRounding(value, std::numeric_limits<std::int64_t>::min(),
                  std::numeric_limits<std::int64_t>::max());
    checkRounding(value, 0, std::numeric_limits<std::int32_t>::max());
    checkRounding(value, 0, 255);
  }
  return 0;
}
