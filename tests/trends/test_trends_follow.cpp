#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

#include "support/event_loop_wait.h"
#include "temp_dir_test.h"
#include "trend_lines.h"
#include "trends/app/trends_document.h"
#include "trends/app/trends_view.h"
#include "trends/core/stamp_time.h"

namespace meterstation::trends::testing {
namespace {

// Long enough for any notification on a loaded machine; a wait that runs
// out is a notification that never came, not a slow one.
constexpr int kPatienceMs = 10000;

bool waitFor(const std::function<bool()>& done) {
  return testsupport::waitWithEvents(done, kPatienceMs);
}

std::int64_t at(int minutesAfterSix) {
  return daySeconds(2026, 12, 8) + 6 * std::int64_t{3600} + minutesAfterSix * std::int64_t{60};
}

using TrendsFollow = TempDirTest;

TEST_F(TrendsFollow, SetsAppendedWhileItRunsAppearAndTheViewFollowsThem) {
  appendDb(flatLine(1, minutesAfterSix(0)) + flatLine(2, minutesAfterSix(1)));
  TrendsDocument document;
  TrendsView view(document);
  view.resize(900, 600);
  document.open(QString::fromStdString(dbPath()), 2);
  ASSERT_TRUE(waitFor([&] { return !document.loading(); }));
  ASSERT_EQ(document.data().size(), 2U);
  EXPECT_EQ(view.range().to, at(1));

  appendDb(flatLine(3, minutesAfterSix(2)));
  ASSERT_TRUE(waitFor([&] { return document.data().size() == 3; }));
  EXPECT_EQ(document.data().value(2, 5), 3.0F);
  EXPECT_EQ(view.range().from, at(0));
  EXPECT_EQ(view.range().to, at(2));

  // Half a line counts as torn until the rest of it arrives.
  const std::string fourth = flatLine(4, minutesAfterSix(3));
  appendDb(fourth.substr(0, 333));
  ASSERT_TRUE(waitFor([&] { return document.oddCount() == 1; }));
  EXPECT_EQ(document.oddList().front().number, 4U);
  appendDb(fourth.substr(333));
  ASSERT_TRUE(waitFor([&] { return document.data().size() == 4; }));
  EXPECT_EQ(document.oddCount(), 0U);
  EXPECT_TRUE(view.following());

  // Scrolled back, the view stays where the operator put it.
  view.setRange({at(0), at(1)});
  EXPECT_FALSE(view.following());
  appendDb(flatLine(5, minutesAfterSix(4)));
  ASSERT_TRUE(waitFor([&] { return document.data().size() == 5; }));
  EXPECT_EQ(view.range().to, at(1));
  view.showWholeRange();
  EXPECT_EQ(view.range().to, at(4));
}

TEST_F(TrendsFollow, DatabaseAndMeterTableThatAppearLaterAreTakenUp) {
  TrendsDocument document;
  document.open(QString::fromStdString(dbPath()), 2);
  ASSERT_TRUE(waitFor([&] { return !document.loading(); }));
  EXPECT_TRUE(document.problem().contains("No such file or directory"));
  EXPECT_FALSE(document.limits().found);

  appendDb(flatLine(7, minutesAfterSix(0)));
  ASSERT_TRUE(waitFor([&] { return document.data().size() == 1; }));
  EXPECT_TRUE(document.problem().isEmpty());

  std::string table = meterTableLine(1, "100", "200");
  const std::string tmp = dir_ + "/.ct.dat.tmp";
  std::ofstream(tmp, std::ios::binary) << table;
  std::filesystem::rename(tmp, dir_ + "/ct.dat");  // as Init replaces it
  ASSERT_TRUE(waitFor([&] { return document.limits().found; }));
  EXPECT_TRUE(document.limits().meters[1].highOn);
  EXPECT_EQ(document.limits().lines, 1);

  // Each alarm the station appends shows, also once the log exists.
  TempDirTest::append("alarmlog.txt", "01 high qN0120261208060000\r\n");
  ASSERT_TRUE(waitFor([&] { return document.alarms().marks.size() == 1; }));
  TempDirTest::append("alarmlog.txt", "01 low  qN0120261208060100\r\n");
  ASSERT_TRUE(waitFor([&] { return document.alarms().marks.size() == 2; }));
  EXPECT_FALSE(document.alarms().marks[1].high);
}

TEST_F(TrendsFollow, FileCutShorterIsReadAgainFromTheStart) {
  appendDb(flatLine(1, minutesAfterSix(0)) + flatLine(2, minutesAfterSix(1)));
  TrendsDocument document;
  document.open(QString::fromStdString(dbPath()), 2);
  ASSERT_TRUE(waitFor([&] { return !document.loading() && document.data().size() == 2; }));
  std::ofstream(dbPath(), std::ios::binary | std::ios::trunc) << flatLine(9, minutesAfterSix(5));
  ASSERT_TRUE(waitFor([&] {
    return !document.loading() && document.data().size() == 1 &&
           document.data().value(0, 1) == 9.0F;
  }));
}

}  // namespace
}  // namespace meterstation::trends::testing
