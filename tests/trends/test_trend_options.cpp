#include <gtest/gtest.h>

#include "trends/core/stamp_time.h"
#include "trends/core/trend_options.h"

namespace meterstation::trends {
namespace {

TEST(TrendOptions, EveryOptionInBothSpellingsAndDaysWhole) {
  const ParsedTrendOptions parsed =
      parseTrendOptions({"--export=out.SVG", "--field", "5", "--meter=12", "--from", "2026-12-01",
                         "--to=2026-12-31", "--width", "800", "--height=600", "db/qn.db1"});
  ASSERT_TRUE(parsed.ok) << parsed.error;
  const TrendOptions& o = parsed.options;
  EXPECT_EQ(o.exportPath, "out.SVG");
  EXPECT_EQ(o.field, 5);
  EXPECT_EQ(o.meter, 12);
  EXPECT_EQ(o.from, daySeconds(2026, 12, 1));
  EXPECT_EQ(o.to, daySeconds(2026, 12, 31) + 86399);
  EXPECT_EQ(o.width, 800);
  EXPECT_EQ(o.height, 600);
  EXPECT_EQ(o.inputPath, "db/qn.db1");
  EXPECT_EQ(parseTrendOptions({}).options.inputPath, "qn.db1");
}

TEST(TrendOptions, MistakesAreNamed) {
  const auto error = [](const std::vector<std::string>& args) {
    return parseTrendOptions(args).error;
  };
  EXPECT_EQ(error({"--field", "1"}), "--field \"1\" is not a field number 2 to 8");
  EXPECT_EQ(error({"--field", "2x"}), "--field \"2x\" is not a field number 2 to 8");
  EXPECT_EQ(error({"--meter", "17"}), "--meter \"17\" is not a meter number 1 to 16");
  EXPECT_EQ(error({"--from", "2026-02-30"}),
            "--from \"2026-02-30\" is not a date of the form yyyy-mm-dd");
  EXPECT_EQ(error({"--from", "2026-12-02", "--to", "2026-12-01"}), "--from is after --to");
  EXPECT_EQ(error({"--export", "out.bmp"}), "--export \"out.bmp\" must end in .png or .svg");
  EXPECT_EQ(error({"--export", ".png"}), "--export \".png\" must end in .png or .svg");
  EXPECT_EQ(error({"--width", "50"}), "--width \"50\" is not a number of pixels 200 to 10000");
  EXPECT_EQ(error({"--meter"}), "--meter needs a value");
  EXPECT_EQ(error({"-x"}), "unknown option -x");
  EXPECT_EQ(error({"a.db1", "b.db1"}), "only one database can be given (also got b.db1)");
}

}  // namespace
}  // namespace meterstation::trends
