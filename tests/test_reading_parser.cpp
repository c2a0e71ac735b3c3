#include <gtest/gtest.h>

#include "reading/reading_parser.h"

namespace meterstation {
namespace {

const std::string kWorked = "01,123,04567,12345,089,00012,00345,12345\r\n";
const Fields kWorkedFields = {"01", "123", "04567", "12345", "089", "00012", "00345", "12345"};

Fields splitFields(const std::string& text) {
  ParseOutcome outcome = splitInMemory(text);
  EXPECT_TRUE(outcome.ok) << outcome.failure;
  zeroFill(outcome.reading.f);
  return outcome.reading.f;
}

// The scratch-file way on the text as the file would hold it.
ParseOutcome scratchParse(const std::string& received) {
  ParseOutcome outcome = readItems(withoutNuls(scratchFileText(received)));
  if (!outcome.ok) return outcome;
  applyShiftRule(outcome.reading.item);
  outcome.reading.f = fieldsFromItems(outcome.reading.item);
  zeroFill(outcome.reading.f);
  return outcome;
}

Fields scratchFields(const std::string& text) {
  const ParseOutcome outcome = scratchParse(text);
  EXPECT_TRUE(outcome.ok) << outcome.failure;
  return outcome.reading.f;
}

TEST(ReadingParser, BothWaysAgreeOnTheWorkedReading) {
  EXPECT_EQ(splitFields(kWorked), kWorkedFields);
  EXPECT_EQ(scratchFields(kWorked), kWorkedFields);
}

TEST(ReadingParser, ShiftRuleOnlyOnTheScratchWay) {
  const std::string text = "01,123,04567,12345,089,00012,00345,09999\r\n";
  EXPECT_EQ(splitFields(text),
            (Fields{"01", "123", "04567", "12345", "089", "00012", "00345", "09999"}));
  EXPECT_EQ(scratchFields(text),
            (Fields{"123", "4567", "12345", "00089", "012", "00345", "09999", "11111"}));
  // Exactly 10000 stays in place.
  EXPECT_EQ(scratchFields("01,123,04567,12345,089,00012,00345,10000\r\n")[7], "10000");
}

TEST(ReadingParser, ScratchWayTakesMissingItemsFromTheSecondCopy) {
  EXPECT_EQ(scratchFields("1,2,3,4,5,6,7"),
            (Fields{"02", "003", "00004", "00005", "006", "00007", "00001", "11111"}));
}

TEST(ReadingParser, FieldVariantsOnEachWay) {
  const std::string longThird = "01,123,000123,12345,089,00012,00345,12345\r\n";
  EXPECT_EQ(scratchFields(longThird)[2], "00123");
  EXPECT_EQ(splitFields(longThird)[2], "000123");

  const std::string negative = "01,123,-7,12345,089,00012,00345,12345\r\n";
  EXPECT_EQ(scratchFields(negative)[2], "00007");
  EXPECT_EQ(splitFields(negative)[2], "000-7");

  const std::string emptySecond = "01,,04567,12345,089,00012,00345,12345\r\n";
  EXPECT_EQ(splitFields(emptySecond)[1], "000");
  const ParseOutcome scratch = scratchParse(emptySecond);
  ASSERT_TRUE(scratch.ok);
  EXPECT_EQ(scratch.reading.f[1], "000");
  EXPECT_FALSE(scratch.reading.item[1].has_value());
}

TEST(ReadingParser, SplitDropsTheLastTwoCharactersAndKeepsExtraCommas) {
  EXPECT_EQ(splitFields("01,123,04567,12345,089,00012,00345,12345")[7], "00123");
  EXPECT_EQ(splitFields("1,2,3,4,5,6,7,8,9\r\n")[7], "008,9");
  EXPECT_EQ(splitFields("1,2,3,4,5,6,7,xy")[7], "00000");
}

TEST(ReadingParser, SplitSuppliesMeterAndValueItems) {
  const ParseOutcome outcome = splitInMemory(" 3,0200,x,x,x,x,x,12345\r\n");
  ASSERT_TRUE(outcome.ok);
  EXPECT_EQ(outcome.reading.item[0], 3);
  EXPECT_EQ(outcome.reading.item[1], 200);
  EXPECT_FALSE(outcome.reading.item[2].has_value());
}

TEST(ReadingParser, MergedReadingsStayOnOneLine) {
  Fields f = splitFields(kWorked + "02,124,04567,12345,089,00012,00345,12345\r\n");
  EXPECT_EQ(f[7], "12345\r\n02,124,04567,12345,089,00012,00345,12345");
  keepOnOneLine(f);
  EXPECT_EQ(f[7], "12345  02,124,04567,12345,089,00012,00345,12345");
  Fields early = splitFields("0\r1,2,3,4,5,6,7,12345\r\n");
  keepOnOneLine(early);
  EXPECT_EQ(early[0], "0 1");
}

TEST(ReadingParser, NulsNeverReachTheScratchItemsButStayInTheSplit) {
  const std::string withNul = std::string(
      "01,1\0"
      "23,04567,12345,089,00012,00345,12345\r\n",
      43);
  EXPECT_EQ(scratchFields(withNul), kWorkedFields);
  EXPECT_EQ(splitFields(withNul)[1], std::string("1\0"
                                                 "23",
                                                 4));
}

TEST(ReadingParser, NulPassKeepsTheFileLengthWhenWrittenBack) {
  const std::string file = std::string("a\0b\0c", 5);
  const std::string cleaned = withoutNuls(file);
  EXPECT_EQ(cleaned, "abc");
  std::string rewritten = file;
  rewritten.replace(0, cleaned.size(), cleaned);
  EXPECT_EQ(rewritten, std::string("abc\0c", 5));
}

TEST(ReadingParser, ZeroFillNeverCuts) {
  Fields f = {"", "1", "123456", "12345", "7", "", "1", "22"};
  zeroFill(f);
  EXPECT_EQ(f, (Fields{"00", "001", "123456", "12345", "007", "00000", "00001", "00022"}));
}

TEST(ReadingParser, SplitFailures) {
  EXPECT_FALSE(splitInMemory("01,123,04567,12345,089,00012\r\n").ok);
  EXPECT_FALSE(splitInMemory("").ok);
  EXPECT_FALSE(splitInMemory("1,2,3,4,5,6,7,x").ok);
  EXPECT_FALSE(splitInMemory("1,2,3,4,5,6,7,").ok);
  std::string huge = kWorked;
  huge.insert(5, std::string(kMaxSplitLength, '9'));
  EXPECT_FALSE(splitInMemory(huge).ok);
  std::string largest = "1,2,3,4,5,6,7,12345\r\n";
  largest.insert(15, std::string(kMaxSplitLength - largest.size(), '9'));
  EXPECT_TRUE(splitInMemory(largest).ok);
}

TEST(ReadingParser, ScratchFailures) {
  EXPECT_FALSE(scratchParse("").ok);
  EXPECT_FALSE(scratchParse("01,abc,04567,12345,089,00012,00345,12345\r\n").ok);
  EXPECT_FALSE(scratchParse("01,1e5,04567,12345,089,00012,00345,12345\r\n").ok);
  EXPECT_FALSE(scratchParse("\"01\",1,2,3,4,5,6,7\r\n").ok);
  EXPECT_FALSE(readItems("1,2,3\r\n").ok);
  EXPECT_TRUE(readItems("1,2,3,4,5,6,7,").ok);
}

TEST(ReadingParser, ScratchItemsSkipLeadingBlanksAndReadLeadingZeros) {
  const ParseOutcome outcome = readItems("  0042 , 1.5,-3, +4,.5,6,7,12345\r\n");
  ASSERT_TRUE(outcome.ok) << outcome.failure;
  EXPECT_EQ(outcome.reading.item[0], 42);
  EXPECT_EQ(outcome.reading.item[1], 1.5);
  EXPECT_EQ(outcome.reading.item[2], -3);
  EXPECT_EQ(outcome.reading.item[3], 4);
  EXPECT_EQ(outcome.reading.item[4], 0.5);
  EXPECT_EQ(fieldsFromItems(outcome.reading.item)[4], ".5");
}

TEST(ReadingParser, CommaPositionsRecordTheFirstSeven) {
  EXPECT_EQ(commaPositions("1,2,3,4,5,6,7,8,9"), (CommaPositions{2, 4, 6, 8, 10, 12, 14}));
  EXPECT_EQ(commaPositions("a,b"), (CommaPositions{2, 0, 0, 0, 0, 0, 0}));
}

}  // namespace
}  // namespace meterstation
