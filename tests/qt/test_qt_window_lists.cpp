#include <gtest/gtest.h>

#include <QApplication>
#include <QByteArray>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/qt/qt_window.h"
#include "platform/qt/station_list_view.h"
#include "support/scratch_dir.h"

namespace meterstation {
namespace {

using testsupport::ScratchDir;

// The window's lists keep their texts under XDG_CACHE_HOME; each test
// points it at a directory of its own.
class WindowListTexts : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(scratch.made());
    saved = qgetenv("XDG_CACHE_HOME");
    hadOne = qEnvironmentVariableIsSet("XDG_CACHE_HOME");
  }
  void TearDown() override {
    if (hadOne) {
      qputenv("XDG_CACHE_HOME", saved);
    } else {
      qunsetenv("XDG_CACHE_HOME");
    }
  }
  void cacheAt(const std::string& path) {
    qputenv("XDG_CACHE_HOME", QByteArray::fromStdString(path));
  }

  std::size_t filesUnder(const std::string& root) const {
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
      files += !entry.is_directory();
    }
    return files;
  }

  ScratchDir scratch{"window-lists"};
  QByteArray saved;
  bool hadOne = false;
};

TEST_F(WindowListTexts, LeaveNothingInTheCacheDirectoryAndSayNothing) {
  cacheAt(scratch.path());
  {
    QtWindow window;
    for (int i = 0; i < 20000; ++i) {
      window.addItem(ListId::List1, "reading " + std::to_string(i));
      window.addItem(ListId::List2, "echo " + std::to_string(i));
    }
    QApplication::processEvents();
    ASSERT_EQ(window.list(ListId::List2)->count(), 20000U);
    EXPECT_EQ(window.list(ListId::List2)->item(0), "echo 0");
    EXPECT_EQ(window.list(ListId::List1)->item(19999), "reading 19999");
    // On file: the heap holds the offsets only.
    EXPECT_LT(window.list(ListId::List1)->store().heapBytes(), 20000U * 8);
    EXPECT_EQ(filesUnder(scratch.path()), 0U);
  }
  EXPECT_EQ(filesUnder(scratch.path()), 0U);
}

TEST_F(WindowListTexts, ACacheDirectoryThatCannotBeWrittenIsSaidOnceInList2) {
  std::ofstream(scratch / "plain") << "x";
  cacheAt(scratch / "plain");
  QtWindow window;
  QApplication::processEvents();
  StationListView* list2 = window.list(ListId::List2);
  ASSERT_EQ(list2->count(), 1U);
  EXPECT_EQ(list2->item(0).rfind("list items kept in memory: cannot write the cache directory " +
                                     scratch.path() + "/plain/",
                                 0),
            0U)
      << list2->item(0);
  for (int i = 0; i < 5000; ++i) window.addItem(ListId::List1, "reading " + std::to_string(i));
  QApplication::processEvents();
  EXPECT_EQ(window.list(ListId::List1)->item(4999), "reading 4999");
  EXPECT_EQ(list2->count(), 1U);
}

TEST_F(WindowListTexts, ADiskThatFillsUpIsSaidOnceAfterTheAppendAndNothingIsLost) {
  cacheAt(scratch.path());
  MappingCalls calls = MappingCalls::real();
  int reserves = 0;
  const auto realReserve = calls.reserve;
  calls.reserve = [&](int fd, off_t offset, off_t length) {
    return ++reserves > 3 ? ENOSPC : realReserve(fd, offset, length);
  };
  QtWindow window(nullptr, calls);
  for (int i = 0; i < 3000; ++i) window.addItem(ListId::List2, "echo " + std::to_string(i));
  StationListView* list2 = window.list(ListId::List2);
  ASSERT_EQ(list2->count(), 3000U) << "the message must wait for the append that asked";
  QApplication::processEvents();
  for (int i = 0; i < 3000; ++i) window.addItem(ListId::List1, "reading " + std::to_string(i));
  QApplication::processEvents();
  ASSERT_EQ(list2->count(), 3001U);
  const std::string said = list2->item(3000);
  EXPECT_EQ(said.rfind("list items kept in memory: no room for list items in " + scratch.path(), 0),
            0U)
      << said;
  EXPECT_TRUE(said.ends_with(std::string(": ") + std::strerror(ENOSPC))) << said;
  for (int i = 0; i < 3000; i += 7) {
    ASSERT_EQ(list2->item(static_cast<std::size_t>(i)), "echo " + std::to_string(i));
    ASSERT_EQ(window.list(ListId::List1)->item(static_cast<std::size_t>(i)),
              "reading " + std::to_string(i));
  }
}

}  // namespace
}  // namespace meterstation
