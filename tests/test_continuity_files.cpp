#include <gtest/gtest.h>

#include <set>

#include "output/set_files.h"
#include "output/set_journal.h"
#include "output/waiting_lines.h"

namespace meterstation {
namespace {

TEST(WaitingLines, AnyBytesComeBackAsTheyWentIn) {
  WaitingLines lines;
  lines["/data/qN07/qn.db1"] = {std::string(676, 'x') + "\r\n", std::string("a\0b\n\r", 5)};
  lines["/data/q N8/rejects.txt"] = {"12 34\n"};
  const DecodedWaitingLines decoded = decodeWaitingLines(encodeWaitingLines(lines));
  EXPECT_FALSE(decoded.damaged);
  EXPECT_EQ(decoded.lines, lines);
}

TEST(WaitingLines, DamagedBytesKeepWhatCanBeRead) {
  WaitingLines lines;
  lines["/d/qn.db1"] = {"one\r\n", "two\r\n"};
  const std::string bytes = encodeWaitingLines(lines);
  WaitingLines first;
  first["/d/qn.db1"] = {"one\r\n"};
  // Where whole records end: nothing, the heading, the first line.
  const std::set<std::size_t> ends = {0, encodeWaitingLines({}).size(),
                                      encodeWaitingLines(first).size()};
  for (std::size_t cut = 0; cut < bytes.size(); ++cut) {
    const DecodedWaitingLines decoded = decodeWaitingLines(bytes.substr(0, cut));
    EXPECT_EQ(decoded.damaged, !ends.contains(cut)) << cut;
    const std::size_t got = decoded.lines.empty() ? 0 : decoded.lines.at("/d/qn.db1").size();
    EXPECT_EQ(got, cut >= encodeWaitingLines(first).size() ? 1U : 0U) << cut;
  }
  EXPECT_TRUE(decodeWaitingLines("something else").damaged);
  EXPECT_TRUE(decodeWaitingLines(encodeWaitingLines(lines) + "9 9\nshort").damaged);
}

TEST(SetJournal, ReadingsCompletionAndATornLastRecord) {
  const std::string bytes = journalReading({"01,123", "06:19:16 12-08-2026"}) +
                            journalReading({"02,1 3 x", "06:19:20 12-08-2026"});
  Journal journal = decodeJournal(bytes);
  ASSERT_EQ(journal.entries.size(), 2U);
  EXPECT_EQ(journal.entries[1].readingText, "02,1 3 x");
  EXPECT_EQ(journal.entries[1].timeAndDate, "06:19:20 12-08-2026");
  EXPECT_FALSE(journal.completed);
  EXPECT_FALSE(journal.tornTail);

  journal = decodeJournal(bytes + journalCompletion(std::string("line\r\n")));
  EXPECT_TRUE(journal.completed);
  EXPECT_EQ(journal.databaseLine, "line\r\n");
  journal = decodeJournal(bytes + journalCompletion(std::nullopt));
  EXPECT_TRUE(journal.completed);
  EXPECT_FALSE(journal.databaseLine);

  for (std::size_t cut = 1; cut < bytes.size(); ++cut) {
    journal = decodeJournal(bytes.substr(0, cut));
    EXPECT_LE(journal.entries.size(), 1U) << cut;
  }
  EXPECT_TRUE(decodeJournal(bytes.substr(0, bytes.size() - 1)).tornTail);
}

TEST(IncompleteSets, AHeadingThenOneLinePerReading) {
  const std::string text =
      incompleteSetText({{"01,5", "06:19:16 12-08-2026"}}, true, "07:00:00 12-08-2026");
  EXPECT_EQ(text,
            "unfinished set, 1 reading, run interrupted, kept 07:00:00 12-08-2026\r\n"
            "01,5 06:19:16 12-08-2026\r\n");
}

TEST(TailRepair, OnlyBytesAfterTheLastLineFeedCanBeTorn) {
  EXPECT_EQ(tailRepairOf("").kind, TailRepair::Kind::None);
  EXPECT_EQ(tailRepairOf("a\nb\n").kind, TailRepair::Kind::None);
  EXPECT_EQ(tailRepairOf("a\r\nb\r").kind, TailRepair::Kind::AddLf);
  const TailRepair cut = tailRepairOf("a\r\nb\nto");
  EXPECT_EQ(cut.kind, TailRepair::Kind::CutTail);
  EXPECT_EQ(cut.tailStart, 5U);
  EXPECT_EQ(cut.tail, "to");
  EXPECT_EQ(tailRepairOf("no line end").tailStart, 0U);
}

}  // namespace
}  // namespace meterstation
