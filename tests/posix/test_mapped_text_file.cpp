#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "platform/posix/mapped_text_file.h"
#include "support/scratch_dir.h"

namespace meterstation {
namespace {

using testsupport::ScratchDir;

std::vector<std::string> namesIn(const std::string& dir) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    names.push_back(entry.path().filename().string());
  }
  return names;
}

TEST(MappedTextFile, KeepsWhatWasWrittenThroughAPageOutAndLeavesNoName) {
  ScratchDir dir("mapped-text");
  ASSERT_TRUE(dir.made());
  std::vector<std::pair<char*, std::string>> written;
  {
    MappedTextFile file(dir.path());
    ASSERT_TRUE(file.ok()) << file.error();
    // Sizes off the page size too: every region must still start on a page.
    for (const std::size_t size : {std::size_t{1}, std::size_t{4096}, std::size_t{10000}}) {
      char* at = file.allocate(size);
      ASSERT_NE(at, nullptr) << file.error();
      std::string text(size, '\0');
      for (std::size_t i = 0; i < size; ++i) text[i] = static_cast<char>((i * 31 + size) % 256);
      std::copy(text.begin(), text.end(), at);
      written.emplace_back(at, text);
    }
    EXPECT_GE(file.mappedBytes(), 1U + 4096U + 10000U);
    EXPECT_TRUE(namesIn(dir.path()).empty()) << "a named file: " << namesIn(dir.path())[0];
    file.pageOut();
    for (const auto& [at, text] : written) {
      EXPECT_EQ(std::string(at, text.size()), text);
    }
  }
  EXPECT_TRUE(namesIn(dir.path()).empty());
}

TEST(MappedTextFile, ADirectoryThatCannotBeWrittenIsSaidAndGivesNothing) {
  ScratchDir dir("mapped-text");
  ASSERT_TRUE(dir.made());
  // Under a plain file: no directory there, whoever runs the test.
  std::ofstream(dir / "plain") << "x";
  const std::string where = dir / "plain/cache";
  MappedTextFile file(where);
  EXPECT_FALSE(file.ok());
  EXPECT_NE(file.error().find("cannot write the cache directory " + where + ": "),
            std::string::npos)
      << file.error();
  EXPECT_EQ(file.allocate(100), nullptr);

  MappedTextFile nowhere("");
  EXPECT_FALSE(nowhere.ok());
  EXPECT_EQ(nowhere.error(), "there is no cache directory");
}

TEST(MappedTextFile, ARegionTheDiskCannotGiveIsSaidAndTheNextMayStillCome) {
  ScratchDir dir("mapped-text");
  ASSERT_TRUE(dir.made());
  MappingCalls calls = MappingCalls::real();
  int reserves = 0;
  const auto realReserve = calls.reserve;
  calls.reserve = [&](int fd, off_t offset, off_t length) {
    return ++reserves == 2 ? ENOSPC : realReserve(fd, offset, length);
  };
  int maps = 0;
  const auto realMap = calls.map;
  calls.map = [&](std::size_t length, int fd, off_t offset) {
    if (++maps == 3) {
      errno = ENOMEM;
      return MAP_FAILED;
    }
    return realMap(length, fd, offset);
  };
  MappedTextFile file(dir.path(), calls);
  ASSERT_TRUE(file.ok()) << file.error();
  char* first = file.allocate(10);
  ASSERT_NE(first, nullptr);
  first[0] = 'a';
  EXPECT_EQ(file.allocate(10), nullptr);
  EXPECT_EQ(file.error(), "no room for list items in " + dir.path() + ": " + std::strerror(ENOSPC));
  char* second = file.allocate(10);
  ASSERT_NE(second, nullptr);
  second[0] = 'b';
  EXPECT_EQ(file.allocate(10), nullptr);
  EXPECT_EQ(file.error(), "cannot map list items in " + dir.path() + ": " + std::strerror(ENOMEM));
  char* third = file.allocate(10);
  ASSERT_NE(third, nullptr);
  third[0] = 'c';
  EXPECT_EQ(std::string() + first[0] + second[0] + third[0], "abc");
}

}  // namespace
}  // namespace meterstation
