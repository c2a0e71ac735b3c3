#include <gtest/gtest.h>

#include "output/support_files.h"

namespace meterstation {
namespace {

TEST(SupportFiles, DefaultContentsHaveTheirSizesAndLines) {
  const std::string& defaults = defaultsFileText();
  EXPECT_EQ(defaults.size(), 329U);
  const std::vector<std::string> lines = fileLines(defaults);
  ASSERT_EQ(lines.size(), 7U);
  for (const std::string& line : lines) EXPECT_EQ(line.size(), 45U);
  EXPECT_EQ(lines[0], " 12.75" + std::string(39, ' '));
  EXPECT_EQ(lines[4], " 0             1             2             3 ");
  EXPECT_EQ(lines[6], " 7             7             0             0 ");

  const std::string& table = meterTableText();
  EXPECT_EQ(table.size(), 1168U);
  const std::vector<std::string> meters = fileLines(table);
  ASSERT_EQ(meters.size(), 16U);
  EXPECT_EQ(meters[0], "  1 -                    ,0020,1.00,120,000,999                       .");
  EXPECT_EQ(meters[9], " 10 -                    ,0020,1.00,120,000,999                       .");

  const std::string& bill = billTemplateText();
  EXPECT_EQ(bill.size(), 553U);
  const std::vector<std::string> billLines = fileLines(bill);
  ASSERT_EQ(billLines.size(), 7U);
  for (const std::string& line : billLines) EXPECT_EQ(line.size(), 77U);
  EXPECT_EQ(billLines[0].find("Quellnetix Corp."), 31U);
  EXPECT_EQ(billLines[6].substr(0, 47), " Rate: Non-demand, Non-TOU - Customer chg incl.");
  EXPECT_EQ(bill.substr(bill.size() - 2), "\r\n");
}

TEST(SupportFiles, DefaultsValuesInFileOrder) {
  const DefaultsValues parsed = parseDefaultsFile(defaultsFileText());
  ASSERT_TRUE(parsed.complete);
  EXPECT_EQ(parsed.values,
            (std::vector<double>{12.75, 2516.447, 16.95, 1, 0, 1, 2, 3, 4, 5, 6, 7, 7, 7, 0, 0}));
}

TEST(SupportFiles, ShortOrDamagedDefaultsStopWhereTheyFail) {
  const DefaultsValues shortFile = parseDefaultsFile(" 12.75\r\n 2516.447\r\n");
  EXPECT_FALSE(shortFile.complete);
  EXPECT_EQ(shortFile.values, (std::vector<double>{12.75, 2516.447}));
  const DefaultsValues damaged = parseDefaultsFile(" 1\r\n 2\r\n x3\r\n 4\r\n");
  EXPECT_FALSE(damaged.complete);
  EXPECT_EQ(damaged.values.size(), 2U);
  EXPECT_FALSE(parseDefaultsFile("").complete);
  EXPECT_FALSE(parseDefaultsFile(std::string(16, '1').insert(3, " inf ")).complete);
}

TEST(SupportFiles, MeterLineReadAtItsColumns) {
  const MeterEntry entry =
      parseMeterLine("  1 -                    ,0020,1.00,120,000,999                       .");
  EXPECT_EQ(entry.label, "  1 -" + std::string(20, ' '));
  EXPECT_EQ(entry.ctSize, 20);
  EXPECT_EQ(entry.multiplier, 1);
  EXPECT_EQ(entry.volts, 120);
  EXPECT_EQ(entry.lowLimit, 0);
  EXPECT_EQ(entry.highLimit, 999);

  const MeterEntry custom =
      parseMeterLine("  2 pump                 ,0100,2.50,000,050,200                       .");
  EXPECT_EQ(custom.volts, 120);
  EXPECT_EQ(custom.ctSize, 100);
  EXPECT_EQ(custom.multiplier, 2.5);
  EXPECT_EQ(custom.lowLimit, 50);
  EXPECT_EQ(custom.highLimit, 200);
  EXPECT_EQ(parseMeterLine("  3 x                    ,0020,1.00,240,000,999").volts, 240);
  // A line cut short reads as zeros, never past its end.
  const MeterEntry cut = parseMeterLine("  4 -");
  EXPECT_EQ(cut.label, "  4 -");
  EXPECT_EQ(cut.highLimit, 0);
  EXPECT_EQ(cut.volts, 120);
}

TEST(SupportFiles, LinesSplitAtAnyLineEnd) {
  EXPECT_EQ(fileLines("a\r\nb\nc\rd"), (std::vector<std::string>{"a", "b", "c", "d"}));
  EXPECT_EQ(fileLines("a\r\n\r\n"), (std::vector<std::string>{"a", ""}));
  EXPECT_TRUE(fileLines("").empty());
}

}  // namespace
}  // namespace meterstation
