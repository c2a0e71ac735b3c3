#include <gtest/gtest.h>

#include "dbline/db_line.h"
#include "dbline/line_cutter.h"

namespace meterstation::dbline {
namespace {

struct Cut {
  std::size_t number;
  std::string text;
  bool torn;
  std::size_t length;
};

std::vector<Cut> cutInPieces(const std::string& bytes, std::size_t pieceSize, std::size_t keep,
                             bool withPending = true) {
  LineCutter cutter(keep);
  std::vector<Cut> cuts;
  const auto sink = [&](const LineView& l) {
    cuts.push_back({l.number, std::string(l.text), l.torn, l.length});
  };
  for (std::size_t at = 0; at < bytes.size(); at += pieceSize) {
    cutter.feed(std::string_view(bytes).substr(at, pieceSize), sink);
  }
  if (const auto pending = cutter.pending(); pending && withPending) sink(*pending);
  return cuts;
}

TEST(LineCutter, AnyPieceSizeCutsAsSplitLinesCutsTheWholeFile) {
  const std::string bytes = "one\r\ntw\no\r\n\r\nthr\ree\r\nlast\r";
  const std::vector<RawLine> whole = splitLines(bytes);
  for (std::size_t piece = 1; piece <= bytes.size(); ++piece) {
    const std::vector<Cut> cuts = cutInPieces(bytes, piece, 1 << 20);
    ASSERT_EQ(cuts.size(), whole.size()) << "pieces of " << piece;
    for (std::size_t i = 0; i < whole.size(); ++i) {
      EXPECT_EQ(cuts[i].number, whole[i].number);
      EXPECT_EQ(cuts[i].text, whole[i].text) << "pieces of " << piece << ", line " << i + 1;
      EXPECT_EQ(cuts[i].torn, whole[i].torn);
      EXPECT_EQ(cuts[i].length, whole[i].text.size());
    }
  }
}

TEST(LineCutter, LongLineKeepsOnlyItsStartButCountsItsLength) {
  const std::string bytes =
      std::string(100, 'x') + "\r" + std::string(50, 'y') + "\r\nok\r\n" + std::string(30, 'z');
  const std::vector<Cut> cuts = cutInPieces(bytes, 7, 16);
  ASSERT_EQ(cuts.size(), 3U);
  EXPECT_EQ(cuts[0].text, std::string(16, 'x'));
  EXPECT_EQ(cuts[0].length, 151U);
  EXPECT_EQ(cuts[1].text, "ok");
  EXPECT_TRUE(cuts[2].torn);
  EXPECT_EQ(cuts[2].length, 30U);
  EXPECT_EQ(cuts[2].text.size(), 16U);
}

TEST(LineCutter, DroppedUnfinishedLineIsReadAgainUnderItsOwnNumber) {
  LineCutter cutter;
  std::vector<Cut> cuts;
  const auto sink = [&](const LineView& l) {
    cuts.push_back({l.number, std::string(l.text), l.torn, l.length});
  };
  cutter.feed("a\r\ntorn pie", sink);
  EXPECT_EQ(cutter.dropPending(), 8U);
  EXPECT_FALSE(cutter.pending());
  // The station cut the torn piece off and appended a whole line there.
  cutter.feed("new\r\n", sink);
  ASSERT_EQ(cuts.size(), 2U);
  EXPECT_EQ(cuts[1].number, 2U);
  EXPECT_EQ(cuts[1].text, "new");
}

}  // namespace
}  // namespace meterstation::dbline
