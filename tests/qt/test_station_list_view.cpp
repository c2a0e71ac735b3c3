#include <gtest/gtest.h>

#include <QImage>
#include <QScrollBar>
#include <QTest>

#include <string>

#include "platform/qt/station_list_view.h"
#include "support/latin1_bytes.h"

namespace meterstation {
namespace {

class StationListViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    view.resize(240, 160);
    view.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&view));
  }

  void addItems(int n) {
    for (int i = 0; i < n; ++i) view.addItem("reading " + std::to_string(next++));
  }

  StationListView view;
  int next = 0;
};

TEST_F(StationListViewTest, ScrollBarCountsItems) {
  const int rows = view.visibleRows();
  ASSERT_GT(rows, 2);
  addItems(rows - 1);
  EXPECT_EQ(view.verticalScrollBar()->maximum(), 0);
  addItems(100);
  EXPECT_EQ(view.verticalScrollBar()->maximum(), static_cast<int>(view.count()) - rows);
  EXPECT_EQ(view.verticalScrollBar()->pageStep(), rows);
}

TEST_F(StationListViewTest, FollowsTheNewestUntilScrolledUp) {
  addItems(200);
  const std::size_t rows = static_cast<std::size_t>(view.visibleRows());
  EXPECT_EQ(view.topRow(), view.count() - rows);

  QTest::keyClick(&view, Qt::Key_Up);
  const std::size_t parked = view.topRow();
  EXPECT_EQ(parked, view.count() - rows - 1);
  addItems(50);
  EXPECT_EQ(view.topRow(), parked) << "scrolled up: new items must not move the view";

  QTest::keyClick(&view, Qt::Key_PageUp);
  EXPECT_EQ(view.topRow(), parked - rows);
  QTest::keyClick(&view, Qt::Key_PageDown);
  QTest::keyClick(&view, Qt::Key_Down);
  EXPECT_EQ(view.topRow(), parked + 1);

  QTest::keyClick(&view, Qt::Key_Home);
  EXPECT_EQ(view.topRow(), 0u);
  addItems(5);
  EXPECT_EQ(view.topRow(), 0u);

  QTest::keyClick(&view, Qt::Key_End);
  EXPECT_TRUE(view.atBottom());
  addItems(7);
  EXPECT_EQ(view.topRow(), view.count() - rows) << "back at the bottom: follows again";
  EXPECT_EQ(view.item(view.count() - 1), "reading 261");
}

TEST_F(StationListViewTest, PaintsTheRowsInView) {
  // Rows of solid glyphs: a painted row has dark pixels, an empty one none.
  view.addItem(std::string(20, '#'));
  view.addItem(std::string(20, '#'));
  const QImage shot = view.viewport()->grab().toImage();
  const auto darkIn = [&](int row) {
    for (int y = row * view.rowHeight(); y < (row + 1) * view.rowHeight(); ++y) {
      for (int x = 0; x < shot.width() / 2; ++x) {
        if (shot.pixelColor(x, y).lightness() < 128) return true;
      }
    }
    return false;
  };
  EXPECT_TRUE(darkIn(0));
  EXPECT_TRUE(darkIn(1));
  EXPECT_FALSE(darkIn(3));
}

TEST(StationListView, ItemsAreLatin1Bytes) {
  StationListView view;
  const std::string high = testsupport::latin1Range(0x80, 0xFF);
  view.addItem(high);
  EXPECT_EQ(view.item(0), high);
}

}  // namespace
}  // namespace meterstation
