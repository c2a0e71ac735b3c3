#include <gtest/gtest.h>
#include <stdlib.h>

#include <QImage>
#include <filesystem>
#include <fstream>

#include "db2csv/program_run.h"
#include "temp_dir_test.h"
#include "trend_lines.h"
#include "trends/app/trends_colours.h"
#include "trends/core/plot_geometry.h"
#include "trends/core/stamp_time.h"

namespace meterstation::trends::testing {
namespace {

using meterstation::testing::fileText;
using meterstation::testing::runProgram;

constexpr int kWidth = 800;
constexpr int kHeight = 500;

// 21 sets a minute apart from 06:00; every meter at 150 but meter 1 at
// 240 in the set of 06:10. Meter 1's limits 100 and 200 make the picture's
// scale 93 to 247 (the values 150 to 240 and the limits, 5% room).
class TrendsExport : public TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    // As in a desktop session; without it Qt warns on standard error, which
    // the tests read.
    setenv("XDG_RUNTIME_DIR", dir_.c_str(), 1);
    std::string db;
    for (int minute = 0; minute <= 20; ++minute) {
      std::vector<int> values(16, 150);
      if (minute == 10) values[0] = 240;
      db += setLine(values, minutesAfterSix(minute));
    }
    write("qn.db1", db);
    write("alarmlog.txt", "01 high qN0120261208060500\r\n");
    plot_ = layoutPanels(kWidth, kHeight, 1).front().plot;
  }
  void writeLimits(const std::string& low, const std::string& high) const {
    std::string table = meterTableLine(1, low, high);
    for (int m = 2; m <= 16; ++m) table += meterTableLine(m, "000", "999");
    write("ct.dat", table);
  }
  int exportTo(const std::string& out, std::vector<std::string> more = {}) {
    std::vector<std::string> args = {
        "--export", out, "--width", std::to_string(kWidth), "--height", std::to_string(kHeight)};
    args.insert(args.end(), more.begin(), more.end());
    return runProgram(TRENDS_PATH, args, dir_);
  }

  // Where the picture must have things, worked out from the scale above.
  int y(double value) const {
    return plot_.top + static_cast<int>(std::lround((247 - value) / 154 * (plot_.height - 1)));
  }
  int x(int secondsAfterSix) const { return plot_.left + secondsAfterSix * plot_.width / 1200; }

  static bool near(const QImage& image, int px, int py, const QColor& colour) {
    for (int dy = -1; dy <= 1; ++dy) {
      for (int dx = -1; dx <= 1; ++dx) {
        if (image.pixelColor(px + dx, py + dy) == colour) return true;
      }
    }
    return false;
  }
  static int count(const QImage& image, const QColor& colour) {
    int n = 0;
    for (int py = 0; py < image.height(); ++py) {
      for (int px = 0; px < image.width(); ++px) n += image.pixelColor(px, py) == colour ? 1 : 0;
    }
    return n;
  }

  Box plot_;
};

TEST_F(TrendsExport, LimitLinesValueLineMarkedValueAndAlarmWhereTheyBelong) {
  writeLimits("100", "200");
  ASSERT_EQ(exportTo("one.png", {"--meter", "1"}), 0) << fileText(dir_ + "/stderr");
  const QImage image(QString::fromStdString(dir_ + "/one.png"));
  ASSERT_EQ(image.size(), QSize(kWidth, kHeight));
  const int between = x(90);  // between 06:01 and 06:02: only the lines
  EXPECT_EQ(image.pixelColor(between, y(200)), limitColour());
  EXPECT_EQ(image.pixelColor(between, y(100)), limitColour());
  EXPECT_EQ(image.pixelColor(between, y(150)), valueColour());
  EXPECT_EQ(image.pixelColor(between, y(175)), QColor(Qt::white));
  // The ring around 240 at 06:10, four pixels out.
  EXPECT_TRUE(near(image, x(600), y(240) - 4, beyondColour()));
  EXPECT_TRUE(near(image, x(600) - 4, y(240), beyondColour()));
  EXPECT_FALSE(near(image, x(300), y(150) - 4, beyondColour()));
  // The alarm of 06:05 on the time axis.
  EXPECT_TRUE(near(image, x(300), plot_.bottom() - 2, highAlarmColour()));
  EXPECT_EQ(fileText(dir_ + "/stderr"), "");
}

TEST_F(TrendsExport, LimitsTheAlarmCheckLeavesOffAreNotDrawnNorAnythingMarked) {
  writeLimits("000", "255");
  ASSERT_EQ(exportTo("off.png"), 0);
  const QImage off(QString::fromStdString(dir_ + "/off.png"));
  EXPECT_EQ(count(off, limitColour()), 0);
  EXPECT_EQ(count(off, beyondColour()), 0);
  EXPECT_GT(count(off, valueColour()), 16 * 100);

  // Limits belong to field 2 only.
  writeLimits("100", "200");
  ASSERT_EQ(exportTo("field3.png", {"--field", "3"}), 0);
  const QImage field3(QString::fromStdString(dir_ + "/field3.png"));
  EXPECT_EQ(count(field3, limitColour()), 0);
  EXPECT_GT(count(field3, valueColour()), 0);

  std::filesystem::remove(dir_ + "/ct.dat");
  ASSERT_EQ(exportTo("none.png", {"--meter", "1"}), 0);
  EXPECT_EQ(count(QImage(QString::fromStdString(dir_ + "/none.png")), limitColour()), 0);
}

TEST_F(TrendsExport, OddLinesGoToStandardErrorAsDb2csvSaysThemAndThePictureIsStillMade) {
  const std::string good = flatLine(150, "07:00:00");
  write("qn.db1", good + "noise\r\n" + good + good.substr(0, 50));
  ASSERT_EQ(exportTo("odd.svg"), 0);
  EXPECT_EQ(fileText(dir_ + "/stderr"),
            "meterstation-trends: qn.db1: line 2: 5 characters instead of 676; columns 5-18 \"e\" "
            "are no date and time (skipped)\n"
            "meterstation-trends: qn.db1: line 4: torn: the file ends without CR LF; 50 characters "
            "instead of 676; 7 fields are not a whole number of readings (skipped)\n");
  const std::string svg = fileText(dir_ + "/odd.svg");
  EXPECT_NE(svg.find("<svg"), std::string::npos);
  EXPECT_NE(svg.find("</svg>"), std::string::npos);
}

TEST_F(TrendsExport, BadUsageAndUnreadableFilesEndWithStatusTwo) {
  EXPECT_EQ(exportTo("x.png", {"--field", "9"}), 2);
  EXPECT_NE(fileText(dir_ + "/stderr").find("--field \"9\" is not a field number 2 to 8"),
            std::string::npos);
  EXPECT_EQ(exportTo("x.bmp"), 2);
  EXPECT_EQ(exportTo("x.png", {"missing.db1"}), 2);
  EXPECT_EQ(fileText(dir_ + "/stderr"),
            "meterstation-trends: cannot read missing.db1: No such file or directory\n");
  EXPECT_EQ(exportTo("no/such/dir/x.png"), 2);
  EXPECT_NE(fileText(dir_ + "/stderr").find("cannot write no/such/dir/x.png"), std::string::npos);
  EXPECT_FALSE(std::filesystem::exists(dir_ + "/x.png"));
}

}  // namespace
}  // namespace meterstation::trends::testing
