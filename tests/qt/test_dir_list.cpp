#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include <QDir>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include "platform/qt/dir_list.h"
#include "platform/qt/drive_list.h"

namespace meterstation {
namespace {

class DirListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(temp.isValid());
    tree = QDir::cleanPath(temp.path()) + "/tree";
    for (const char* sub : {"beta", "Alpha", "gamma", ".hidden", "Alpha/inner"}) {
      ASSERT_TRUE(QDir().mkpath(tree + '/' + sub));
    }
    QFile file(tree + "/file.txt");
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    ASSERT_TRUE(list.open(tree).ok);
    list.resize(300, 400);
    list.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&list));
  }

  QStringList captions() const {
    QStringList texts;
    for (int row = 0; row < list.count(); ++row) texts << list.item(row)->text();
    return texts;
  }

  int rowOf(const QString& caption) const { return static_cast<int>(captions().indexOf(caption)); }

  void doubleClick(int row) {
    QTest::mouseDClick(list.viewport(), Qt::LeftButton, {},
                       list.visualItemRect(list.item(row)).center());
  }

  QTemporaryDir temp;
  QString tree;
  DirList list;
};

TEST_F(DirListTest, ListsAncestorsThenTheDirectoryThenItsSubdirectoriesByName) {
  QStringList expected{"/"};
  expected << tree.split('/', Qt::SkipEmptyParts);
  const int depth = static_cast<int>(expected.size());
  expected << "Alpha"
           << "beta"
           << "gamma";
  EXPECT_EQ(captions(), expected);
  EXPECT_EQ(list.openRow(), depth - 1);
  EXPECT_EQ(list.currentRow(), depth - 1);
  for (int row = 0; row < list.count(); ++row) {
    EXPECT_EQ(list.indentOf(row), std::min(row, depth)) << "row " << row;
  }
  EXPECT_EQ(list.entryPath(0), "/");
  EXPECT_EQ(list.entryPath(depth - 1), tree);
  EXPECT_EQ(list.entryPath(depth + 1), tree + "/beta");
  EXPECT_EQ(list.path(), tree);
}

TEST_F(DirListTest, EnterAndDoubleClickEachOpenOnce) {
  QSignalSpy opened(&list, &DirList::opened);
  list.setFocus();
  QTest::keyClick(&list, Qt::Key_Down);
  QTest::keyClick(&list, Qt::Key_Return);
  ASSERT_EQ(opened.count(), 1);
  EXPECT_EQ(opened.at(0).at(0).toString(), tree + "/Alpha");
  EXPECT_EQ(list.path(), tree + "/Alpha");
  EXPECT_EQ(list.item(list.count() - 1)->text(), "inner");

  doubleClick(rowOf("tree"));
  ASSERT_EQ(opened.count(), 2);
  EXPECT_EQ(list.path(), tree);
}

TEST_F(DirListTest, ArrowsHomeAndEndMoveTheSelectionOnly) {
  QSignalSpy opened(&list, &DirList::opened);
  QTest::keyClick(&list, Qt::Key_End);
  EXPECT_EQ(list.currentRow(), list.count() - 1);
  QTest::keyClick(&list, Qt::Key_Up);
  EXPECT_EQ(list.currentRow(), list.count() - 2);
  QTest::keyClick(&list, Qt::Key_Home);
  EXPECT_EQ(list.currentRow(), 0);
  EXPECT_EQ(opened.count(), 0);
  EXPECT_EQ(list.path(), tree);
}

TEST_F(DirListTest, AGoneDirectoryKeepsTheListAndSaysWhy) {
  QSignalSpy opened(&list, &DirList::opened);
  QSignalSpy failed(&list, &DirList::readFailed);
  const QStringList before = captions();
  ASSERT_TRUE(QDir(tree + "/gamma").removeRecursively());
  doubleClick(rowOf("gamma"));
  EXPECT_EQ(opened.count(), 0);
  ASSERT_EQ(failed.count(), 1);
  EXPECT_EQ(failed.at(0).at(0).toString(),
            "cannot read directory " + tree + "/gamma: No such file or directory");
  EXPECT_EQ(captions(), before);
  EXPECT_EQ(list.path(), tree);

  const Result plain = list.open(tree + "/file.txt");
  EXPECT_FALSE(plain.ok);
  EXPECT_EQ(plain.error,
            ("cannot read directory " + tree + "/file.txt: Not a directory").toStdString());
  EXPECT_EQ(captions(), before);
}

TEST(DriveList, ListsSortedRootsAndPicksTheDeepestHolder) {
  DriveList drives;
  QSignalSpy chosen(&drives, &DriveList::driveChosen);
  EXPECT_EQ(drives.drive(), drives.driveOf(QDir::currentPath()));
  const QStringList mounted = drives.drives();
  EXPECT_TRUE(mounted.contains("/"));
  EXPECT_EQ(std::adjacent_find(mounted.begin(), mounted.end(), std::greater_equal<QString>()),
            mounted.end());
  drives.setDrives({"/media/stick", "/", "/media/st", "/media/stick/"});
  EXPECT_EQ(drives.drives(), QStringList({"/", "/media/st", "/media/stick"}));
  EXPECT_EQ(drives.driveOf("/media/stick/data"), "/media/stick");
  EXPECT_EQ(drives.driveOf("/media/sticky"), "/");
  EXPECT_TRUE(drives.isDrive("/media/st/"));
  EXPECT_FALSE(drives.isDrive("/media"));
  drives.selectDriveOf("/media/st/x");
  EXPECT_EQ(drives.drive(), "/media/st");
  EXPECT_EQ(chosen.count(), 0) << "only the operator's choice is a change";
  QTest::keyClick(&drives, Qt::Key_Down);
  EXPECT_EQ(drives.drive(), "/media/stick");
  EXPECT_EQ(chosen.count(), 1);
}

}  // namespace
}  // namespace meterstation
