#include <gtest/gtest.h>

#include "processor-sim/pacing.h"
#include "processor-sim/visible_text.h"

namespace meterstation::sim {
namespace {

TEST(VisibleText, ShowsEveryControlByteSoALogLineStaysOneLine) {
  EXPECT_EQ(visibleText("01,1\r\n"), "01,1\\r\\n");
  EXPECT_EQ(visibleText(std::string("a\0"
                                    "9\t\\",
                                    5)),
            "a\\x009\\t\\\\");
  EXPECT_EQ(visibleText("\x7f\xff\x1b"), "\\x7f\\xff\\x1b");
  EXPECT_EQ(hexBytes(std::string("AT\0\r\xff", 5)), "41 54 00 0d ff");
}

TEST(Pacing, ThirtyCharactersASecondCountedFromTheBurstStart) {
  using std::chrono::milliseconds;
  using std::chrono::nanoseconds;
  using std::chrono::seconds;
  EXPECT_EQ(characterOffset(0), nanoseconds(0));
  EXPECT_EQ(characterOffset(1), nanoseconds(33'333'333));
  EXPECT_EQ(characterOffset(30), seconds(1));
  // A day's worth of characters lands on the second, not rounded off.
  EXPECT_EQ(characterOffset(std::int64_t{30} * 86400), seconds(86400));

  EXPECT_EQ(charactersDue(nanoseconds(-1)), 0);
  EXPECT_EQ(charactersDue(nanoseconds(0)), 1);
  EXPECT_EQ(charactersDue(characterOffset(1) - nanoseconds(1)), 1);
  EXPECT_EQ(charactersDue(characterOffset(1) + nanoseconds(1)), 2);
  EXPECT_EQ(charactersDue(milliseconds(1400)), 43);
  for (std::int64_t index = 0; index < 3000; ++index)
    ASSERT_EQ(charactersDue(characterOffset(index)), index + 1) << index;
}

}  // namespace
}  // namespace meterstation::sim
