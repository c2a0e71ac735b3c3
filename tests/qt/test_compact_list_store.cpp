#include <gtest/gtest.h>

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <string>
#include <vector>

#include "platform/lists/compact_list_store.h"
#include "platform/posix/mapped_text_file.h"
#include "sanitizer_build.h"
#include "support/scratch_dir.h"

namespace meterstation {
namespace {

TEST(CompactListStore, KeepsEveryItemAcrossChunkEdges) {
  // Tiny chunks put most items at an edge: empty items, items that fill a
  // chunk exactly and items larger than any chunk.
  CompactListStore store(16);
  std::vector<std::string> items;
  for (int i = 0; i < 300; ++i) {
    std::string item;
    for (int j = 0; j < (i * 7) % 41; ++j) item.push_back(static_cast<char>('a' + (i + j) % 26));
    items.push_back(item);
  }
  items.push_back(std::string(16, 'x'));
  items.push_back("");
  items.push_back(std::string(1000, 'y'));
  items.push_back("z");
  std::uint64_t total = 0;
  for (const std::string& item : items) {
    store.append(item);
    total += item.size();
  }
  ASSERT_EQ(store.size(), items.size());
  for (std::size_t i = 0; i < items.size(); ++i) ASSERT_EQ(store.at(i), items[i]) << "item " << i;
  EXPECT_EQ(store.textBytes(), total);
}

TEST(CompactListStore, KeepsEveryItemAcrossOffsetBlocks) {
  // Offsets are kept in blocks of their own; several blocks' worth of items,
  // with chunk edges falling anywhere in them.
  CompactListStore store(1000);
  constexpr int kItems = 70000;
  for (int i = 0; i < kItems; ++i) store.append(std::to_string(i));
  ASSERT_EQ(store.size(), static_cast<std::size_t>(kItems));
  for (int i = 0; i < kItems; ++i) {
    ASSERT_EQ(store.at(static_cast<std::size_t>(i)), std::to_string(i)) << "item " << i;
  }
}

TEST(CompactListStore, KeepsEveryByteValue) {
  CompactListStore store;
  std::string all;
  for (int b = 0; b < 256; ++b) all.push_back(static_cast<char>(b));
  store.append(all);
  store.append(all.substr(0x80));
  EXPECT_EQ(store.at(0), all);
  EXPECT_EQ(store.at(1), all.substr(0x80));
}

TEST(CompactListStore, AMillionReadingsCostUnderAHundredBytesEach) {
  constexpr std::size_t kItems = 1'000'000;
  const std::string reading(42, 'r');
#ifdef __GLIBC__
  const struct mallinfo2 before = mallinfo2();
  std::size_t held = 0;
#endif
  {
    CompactListStore store;
    for (std::size_t i = 0; i < kItems; ++i) store.append(reading);
#ifdef __GLIBC__
    const struct mallinfo2 after = mallinfo2();
    held = (after.uordblks + after.hblkhd) - (before.uordblks + before.hblkhd);
#endif
    EXPECT_LT(static_cast<double>(store.memoryBytes()) / kItems, 100.0);
    EXPECT_EQ(store.at(kItems - 1), reading);
  }
#ifdef __GLIBC__
  // Measured at the allocator, apart from what the store reports of itself.
  if (kUnderAddressSanitizer) GTEST_SKIP() << "the sanitizer's allocator keeps no glibc figures";
  EXPECT_LT(static_cast<double>(held) / kItems, 100.0);
  EXPECT_GT(held, kItems * reading.size());
#endif
}

TEST(CompactListStore, TextsFromAFileLeaveTheOffsetsAloneOnTheHeap) {
  testsupport::ScratchDir dir("list-texts");
  ASSERT_TRUE(dir.made());
  MappedTextFile file(dir.path());
  ASSERT_TRUE(file.ok()) << file.error();
  CompactListStore store(CompactListStore::kDefaultChunkBytes,
                         [&](std::size_t bytes) { return file.allocate(bytes); });
  constexpr std::size_t kItems = 1'000'000;
  for (std::size_t i = 0; i < kItems; ++i) {
    store.append(std::to_string(i) + std::string(33, ',') + std::to_string(i % 97));
  }
  EXPECT_LE(static_cast<double>(store.heapBytes()) / kItems, 8.0);
  EXPECT_GE(file.mappedBytes(), store.textBytes());
  // Read back after the kernel let go of the texts.
  file.pageOut();
  for (std::size_t i = 0; i < kItems; i += 997) {
    ASSERT_EQ(store.at(i), std::to_string(i) + std::string(33, ',') + std::to_string(i % 97));
  }
}

TEST(CompactListStore, AChunkTheSourceCannotGiveComesFromTheHeap) {
  // Small chunks, and a source that gives only every third one.
  std::vector<std::unique_ptr<char[]>> given;
  int asked = 0;
  CompactListStore store(64, [&](std::size_t bytes) -> char* {
    if (++asked % 3 != 0) return nullptr;
    given.push_back(std::make_unique<char[]>(bytes));
    return given.back().get();
  });
  std::vector<std::string> items;
  for (int i = 0; i < 500; ++i)
    items.push_back(std::string(static_cast<std::size_t>(i % 50), 'a' + i % 26));
  for (const std::string& item : items) store.append(item);
  for (std::size_t i = 0; i < items.size(); ++i) ASSERT_EQ(store.at(i), items[i]) << "item " << i;
  ASSERT_FALSE(given.empty());
  EXPECT_LT(store.heapBytes(), store.memoryBytes());
  EXPECT_GT(store.heapBytes(), store.memoryBytes() / 2);
}

// Needs over 4 GiB of memory; run with --gtest_also_run_disabled_tests.
TEST(CompactListStore, DISABLED_HoldsMoreThanFourGibibytes) {
  const std::size_t itemBytes = std::size_t{1} << 20;
  const std::size_t items = 4096 + 8;
  CompactListStore store;
  std::string item(itemBytes, 'm');
  for (std::size_t i = 0; i < items; ++i) {
    item.front() = static_cast<char>(i);
    store.append(item);
    store.append("tail");
  }
  ASSERT_GT(store.textBytes(), std::uint64_t{1} << 32);
  for (std::size_t i = items - 8; i < items; ++i) {
    ASSERT_EQ(store.at(2 * i).size(), itemBytes);
    EXPECT_EQ(store.at(2 * i).front(), static_cast<char>(i));
    EXPECT_EQ(store.at(2 * i + 1), "tail");
  }
}

}  // namespace
}  // namespace meterstation
