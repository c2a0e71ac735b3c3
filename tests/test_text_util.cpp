#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "text/text_util.h"

namespace meterstation {
namespace {

TEST(NumericValue, ReadsTheLeadingNumberWithBlanksRemovedAnywhere) {
  EXPECT_EQ(numericValue("2000"), 2000);
  EXPECT_EQ(numericValue("  1 2 3  "), 123);
  EXPECT_EQ(numericValue("1\t2\n3"), 123);
  EXPECT_EQ(numericValue(" - 4"), -4);
  EXPECT_EQ(numericValue("+7"), 7);
  EXPECT_EQ(numericValue("2.5"), 2.5);
  EXPECT_EQ(numericValue("1.2.3"), 1.2);
  EXPECT_EQ(numericValue(".5"), 0.5);
  EXPECT_EQ(numericValue("5."), 5);
  EXPECT_EQ(numericValue("12abc"), 12);
  EXPECT_EQ(numericValue("0020"), 20);
  EXPECT_EQ(numericValue("000,"), 0);
  // A carriage return is no blank: it ends the number.
  EXPECT_EQ(numericValue("1\r2"), 1);
}

TEST(NumericValue, NoDigitsGiveZero) {
  EXPECT_EQ(numericValue(""), 0);
  EXPECT_EQ(numericValue("abc"), 0);
  EXPECT_EQ(numericValue("-"), 0);
  EXPECT_EQ(numericValue("."), 0);
  EXPECT_EQ(numericValue("e5"), 0);
  EXPECT_EQ(numericValue("&"), 0);
  EXPECT_EQ(numericValue("-&H10"), 0);
}

TEST(NumericValue, ExponentsWithEOrD) {
  EXPECT_EQ(numericValue("1.5E3"), 1500);
  EXPECT_EQ(numericValue("2d2"), 200);
  EXPECT_EQ(numericValue("25e-1"), 2.5);
  EXPECT_EQ(numericValue("1 E + 2"), 100);
  // An exponent without digits is not part of the number.
  EXPECT_EQ(numericValue("1E"), 1);
  EXPECT_EQ(numericValue("1E+"), 1);
  EXPECT_EQ(numericValue("3Ex"), 3);
}

TEST(NumericValue, OutOfRangeMagnitudesAreDefined) {
  EXPECT_EQ(numericValue("1e400"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(numericValue("-1e400"), -std::numeric_limits<double>::infinity());
  EXPECT_EQ(numericValue("1e-400"), 0);
  EXPECT_EQ(numericValue(std::string(400, '9')), std::numeric_limits<double>::infinity());
}

TEST(NumericValue, HexAndOctalIntegers) {
  EXPECT_EQ(numericValue("&H1F"), 31);
  EXPECT_EQ(numericValue("&hff"), 255);
  EXPECT_EQ(numericValue("&O17"), 15);
  EXPECT_EQ(numericValue("&o78"), 7);
  EXPECT_EQ(numericValue("&H"), 0);
  EXPECT_EQ(numericValue("&HZ1"), 0);
  EXPECT_EQ(numericValue(" & H 1 0"), 16);
  // Beyond 53 bits the value is rounded once, as a decimal text is, not at
  // every digit: 2^57 + 17 is nearer to 2^57 + 32 than to 2^57.
  EXPECT_EQ(numericValue("&H200000000000011"), 0x1p57 + 32);
  EXPECT_EQ(numericValue("&O10000000000000000021"), 0x1p57 + 32);
}

TEST(NumericValue, OutOfRangeFollowsTheMagnitudeNotTheExponentSign) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(numericValue("1" + std::string(500, '0') + "e-100"), inf);
  EXPECT_EQ(numericValue("-1" + std::string(500, '0') + "e-100"), -inf);
  EXPECT_EQ(numericValue("0." + std::string(400, '0') + "1e5"), 0);
  EXPECT_EQ(numericValue("1e400"), inf);
  EXPECT_EQ(numericValue("1e-400"), 0);
}

TEST(RoundHalfEven, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(roundHalfEven(2.5, 0, 10), 2);
  EXPECT_EQ(roundHalfEven(3.5, 0, 10), 4);
  EXPECT_EQ(roundHalfEven(0.5, 0, 10), 0);
  EXPECT_EQ(roundHalfEven(-2.5, -10, 10), -2);
  EXPECT_EQ(roundHalfEven(-3.5, -10, 10), -4);
  EXPECT_EQ(roundHalfEven(2.4999999, 0, 10), 2);
  EXPECT_EQ(roundHalfEven(2.5000001, 0, 10), 3);
  EXPECT_EQ(roundHalfEven(0.49999999999999994, 0, 10), 0);
  EXPECT_EQ(roundHalfEven(-0.4, 0, 10), 0);
}

TEST(RoundHalfEven, UnrepresentableValuesGiveNoInteger) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(roundHalfEven(std::nan(""), 0, 10), std::nullopt);
  EXPECT_EQ(roundHalfEven(inf, 0, 10), std::nullopt);
  EXPECT_EQ(roundHalfEven(-inf, 0, 10), std::nullopt);
  EXPECT_EQ(roundHalfEven(1e300, 0, std::numeric_limits<std::int64_t>::max()), std::nullopt);
  EXPECT_EQ(roundHalfEven(9.3e18, 0, std::numeric_limits<std::int64_t>::max()), std::nullopt);
  EXPECT_EQ(roundHalfEven(10.6, 0, 10), std::nullopt);
  EXPECT_EQ(roundHalfEven(-0.6, 0, 10), std::nullopt);
  EXPECT_EQ(roundHalfEven(2147483647.4, 0, 2147483647), 2147483647);
  EXPECT_EQ(roundHalfEven(2147483647.6, 0, 2147483647), std::nullopt);
  // 2^63 equals the largest int64 once that is made a double, yet cannot be
  // converted back.
  EXPECT_EQ(roundHalfEven(9223372036854775808.0, 0, std::numeric_limits<std::int64_t>::max()),
            std::nullopt);
  EXPECT_EQ(roundHalfEven(-9223372036854775808.0, std::numeric_limits<std::int64_t>::min(), 0),
            std::numeric_limits<std::int64_t>::min());
}

TEST(RoundHalfEven, ClampedIntoTheBounds) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(roundHalfEvenClamped(-4, 0, 255), 0);
  EXPECT_EQ(roundHalfEvenClamped(300, 0, 255), 255);
  EXPECT_EQ(roundHalfEvenClamped(254.5, 0, 255), 254);
  EXPECT_EQ(roundHalfEvenClamped(inf, 0, 255), 255);
  EXPECT_EQ(roundHalfEvenClamped(-inf, 0, 255), 0);
  EXPECT_EQ(roundHalfEvenClamped(std::nan(""), 0, 255), 0);
}

// A bound near 2^63 may have no double: 9223372036854774808 becomes
// 9223372036854774784 as a double, which lies inside the range and must
// come back as itself, not as the bound.
TEST(RoundHalfEven, BoundsWithoutADoubleClampAsTheRoundingDoes) {
  const std::int64_t hi = 9223372036854774808;
  const std::int64_t lo = -hi;
  const double inside = 9223372036854774784.0;
  EXPECT_EQ(roundHalfEven(inside, 0, hi), 9223372036854774784);
  EXPECT_EQ(roundHalfEvenClamped(inside, 0, hi), 9223372036854774784);
  EXPECT_EQ(roundHalfEvenClamped(-inside, lo, 0), -9223372036854774784);
  EXPECT_EQ(roundHalfEvenClamped(9223372036854775808.0, 0, hi), hi);
  EXPECT_EQ(roundHalfEvenClamped(-9223372036854775808.0, lo, 0), lo);
  EXPECT_EQ(roundHalfEvenClamped(inside, 0, std::numeric_limits<std::int64_t>::max()),
            9223372036854774784);
}

TEST(DecimalText, PlainDecimalForms) {
  EXPECT_EQ(decimalText(3), "3");
  EXPECT_EQ(decimalText(15), "15");
  EXPECT_EQ(decimalText(2.5), "2.5");
  EXPECT_EQ(decimalText(0.25), "0.25");
  EXPECT_EQ(decimalText(-7), "-7");
  EXPECT_EQ(decimalText(0), "0");
  EXPECT_EQ(decimalText(-0.0), "0");
  EXPECT_EQ(decimalText(0.1 + 0.2), "0.3");
  EXPECT_EQ(decimalText(1000000), "1000000");
  EXPECT_EQ(decimalText(123456789012345), "123456789012345");
  EXPECT_EQ(decimalText(1e15), "1E+15");
  EXPECT_EQ(decimalText(1e20), "1E+20");
  EXPECT_EQ(decimalText(-2.5e300), "-2.5E+300");
  EXPECT_EQ(decimalText(1.5e-7), "1.5E-07");
  EXPECT_EQ(decimalText(0.0001), "0.0001");
  EXPECT_EQ(decimalTextSingle(999.0F), "999");
  EXPECT_EQ(decimalTextSingle(1.1F), "1.1");
  EXPECT_EQ(decimalTextSingle(0), "0");
  // Whole numbers take a shorter way up to the digits' limit; at the limit
  // the exponent form takes over, as for any other value.
  EXPECT_EQ(decimalText(999999999999999), "999999999999999");
  EXPECT_EQ(decimalText(-4096), "-4096");
  EXPECT_EQ(decimalTextSingle(9999999.0F), "9999999");
  EXPECT_EQ(decimalTextSingle(10000000.0F), "1E+07");
  EXPECT_EQ(decimalTextSingle(16777217.0F), "1.677722E+07");
}

TEST(SignPositionText, SignOrSpaceThenDigitsWithoutLeadingZero) {
  EXPECT_EQ(signPositionText(42), " 42");
  EXPECT_EQ(signPositionText(0), " 0");
  EXPECT_EQ(signPositionText(-5), "-5");
  EXPECT_EQ(signPositionText(1.5), " 1.5");
  EXPECT_EQ(signPositionText(0.25), " .25");
  EXPECT_EQ(signPositionText(-0.5), "-.5");
  EXPECT_EQ(signPositionText(11111), " 11111");
}

TEST(Piece, OneBasedAndCutShort) {
  EXPECT_EQ(piece("abcdef", 2, 3), "bcd");
  EXPECT_EQ(piece("abcdef", 5, 10), "ef");
  EXPECT_EQ(piece("abcdef", 7, 1), "");
  EXPECT_EQ(piece("abcdef", 1, 0), "");
  EXPECT_EQ(piece("abcdef", 0, 2), "ab");
  EXPECT_EQ(piece("abcdef", 3), "cdef");
}

TEST(Overwrite, NeverChangesTheLength) {
  std::string s = "abcdef";
  overwrite(s, 3, "XYZ");
  EXPECT_EQ(s, "abXYZf");
  overwrite(s, 5, "123");
  EXPECT_EQ(s, "abXY12");
  overwrite(s, 1, "--", 1);
  EXPECT_EQ(s, "-bXY12");
  overwrite(s, 7, "zz");
  EXPECT_EQ(s, "-bXY12");
  overwrite(s, 0, "zz");
  EXPECT_EQ(s, "-bXY12");
  std::string empty;
  overwrite(empty, 1, "abc");
  EXPECT_EQ(empty, "");
}

TEST(VisibleText, ControlCharactersShownAndCutWhole) {
  EXPECT_EQ(visibleText(std::string("a\r\n\0b", 5)), "a<CR><LF><NUL>b");
  EXPECT_EQ(visibleText("\t\x7f\x9b\xe9"), "<TAB><DEL><x9B>\xe9");
  EXPECT_EQ(visibleText(std::string(100, 'x'), 80).size(), 80U);
  // The cut never splits a shown character.
  EXPECT_EQ(visibleText(std::string(78, 'x') + "\r\n", 80), std::string(78, 'x'));
}

}  // namespace
}  // namespace meterstation
