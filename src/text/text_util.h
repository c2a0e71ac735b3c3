#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace meterstation {

// Numeric value of a text, as every number the operator types or a file
// holds is read: spaces, tabs and line feeds are dropped wherever they
// stand; then an optional sign, digits with at most one ".", and an
// optional exponent (E or D, optional sign, digits) are read as far as they
// fit. A text starting with &H or &O is a hexadecimal or octal integer. No
// digits give 0. Too large a magnitude gives an infinity of its sign.
double numericValue(std::string_view text);

// Rounds to the nearest integer, halves to the even neighbour (2.5 gives 2,
// 3.5 gives 4). NaN and results outside [lo, hi] give nullopt, so that the
// caller decides what an unrepresentable number means.
std::optional<std::int64_t> roundHalfEven(double value, std::int64_t lo, std::int64_t hi);

// Rounds halves to even and clamps into [lo, hi]: infinities go to the
// nearer bound, NaN gives lo.
std::int64_t roundHalfEvenClamped(double value, std::int64_t lo, std::int64_t hi);

// Plain decimal text of a number: no leading space, no leading zeros, "."
// as the decimal point, at most 15 significant digits (3, 15, 2.5, 0.25,
// -7). Magnitudes of 1E+15 and above, or below 1E-5, are written with an
// exponent (1E+20, 2.5E-07).
std::string decimalText(double value);
// The same for a single-precision number, with at most 7 significant digits.
std::string decimalTextSingle(float value);

// Sign-position text: " " for zero and positive numbers or "-" for
// negative ones, then the decimal text of the magnitude with no "0" before
// the point (42 gives " 42", -5 gives "-5", 0.25 gives " .25").
std::string signPositionText(double value);

// 1-based piece: the characters from column p, n of them, cut short where
// the text ends; the empty text from a column beyond the end. A column
// below 1 counts as 1.
std::string piece(const std::string& text, std::int64_t p, std::int64_t n);
// The same piece, as a view into the text.
std::string_view pieceView(std::string_view text, std::int64_t p, std::int64_t n);
// The rest of the text from column p.
std::string piece(const std::string& text, std::int64_t p);

// Overwrites in place from column p with the first characters of the given
// piece: min(n, piece length, text length - p + 1) of them. The text never
// changes length; a column outside the text changes nothing.
void overwrite(std::string& text, std::int64_t p, const std::string& with, std::int64_t n);
void overwrite(std::string& text, std::int64_t p, const std::string& with);

// Control characters shown visibly (<CR>, <LF>, <NUL>, <x9B> ...), so a
// received text can be shown and logged on one line.
std::string visibleText(const std::string& text);
// The same, cut to at most maxChars characters without splitting a shown
// control character.
std::string visibleText(const std::string& text, std::size_t maxChars);

}  // namespace meterstation
