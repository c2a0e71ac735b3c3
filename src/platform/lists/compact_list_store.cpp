#include "platform/lists/compact_list_store.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <utility>

namespace meterstation {

namespace {

constexpr std::size_t kFirstChunkBytes = 4096;
// Starts are 32 bits wide, so no shared chunk may be larger than this.
constexpr std::size_t kLargestSharedChunk = std::numeric_limits<std::uint32_t>::max();

}  // namespace

CompactListStore::CompactListStore(std::size_t chunkBytes, ChunkSource source)
    : maxChunkBytes_(std::clamp<std::size_t>(chunkBytes, 1, kLargestSharedChunk)),
      source_(std::move(source)) {}

CompactListStore::Chunk& CompactListStore::chunkFor(std::size_t length) {
  if (!chunks_.empty()) {
    Chunk& last = chunks_.back();
    if (last.capacity - last.used >= length) return last;
  }
  std::size_t capacity = chunks_.empty() ? std::min(kFirstChunkBytes, maxChunkBytes_)
                                         : std::min(chunks_.back().capacity * 2, maxChunkBytes_);
  // An item longer than a chunk gets a chunk of its own; it starts at 0
  // there, so its start still fits the 32 bits.
  capacity = std::max(capacity, length);
  Chunk chunk;
  if (source_) chunk.bytes = source_(capacity);
  if (chunk.bytes == nullptr) {
    chunk.owned = std::make_unique_for_overwrite<char[]>(std::max<std::size_t>(capacity, 1));
    chunk.bytes = chunk.owned.get();
  }
  chunk.capacity = capacity;
  chunk.firstItem = count_;
  chunks_.push_back(std::move(chunk));
  return chunks_.back();
}

void CompactListStore::append(std::string_view item) {
  Chunk& chunk = chunkFor(item.size());
  if (!item.empty()) std::memcpy(chunk.bytes + chunk.used, item.data(), item.size());
  if (count_ % kStartsPerBlock == 0) {
    startBlocks_.push_back(std::make_unique_for_overwrite<std::uint32_t[]>(kStartsPerBlock));
  }
  startBlocks_.back()[count_ % kStartsPerBlock] = static_cast<std::uint32_t>(chunk.used);
  ++count_;
  chunk.used += item.size();
  textBytes_ += item.size();
}

std::size_t CompactListStore::chunkIndexOf(std::size_t item) const {
  auto after = std::upper_bound(chunks_.begin(), chunks_.end(), item,
                                [](std::size_t i, const Chunk& c) { return i < c.firstItem; });
  return static_cast<std::size_t>(after - chunks_.begin()) - 1;
}

std::string_view CompactListStore::at(std::size_t index) const {
  const std::size_t k = chunkIndexOf(index);
  const Chunk& chunk = chunks_[k];
  const std::size_t nextChunkFirst = k + 1 < chunks_.size() ? chunks_[k + 1].firstItem : size();
  const std::size_t begin = startOf(index);
  const std::size_t end = index + 1 < nextChunkFirst ? startOf(index + 1) : chunk.used;
  return {chunk.bytes + begin, end - begin};
}

std::size_t CompactListStore::bookkeepingBytes() const {
  return sizeof(*this) + chunks_.capacity() * sizeof(Chunk) +
         startBlocks_.capacity() * sizeof(startBlocks_[0]) +
         startBlocks_.size() * kStartsPerBlock * sizeof(std::uint32_t);
}

std::size_t CompactListStore::memoryBytes() const {
  std::size_t bytes = bookkeepingBytes();
  for (const Chunk& chunk : chunks_) bytes += std::max<std::size_t>(chunk.capacity, 1);
  return bytes;
}

std::size_t CompactListStore::heapBytes() const {
  std::size_t bytes = bookkeepingBytes();
  for (const Chunk& chunk : chunks_) {
    if (chunk.owned) bytes += std::max<std::size_t>(chunk.capacity, 1);
  }
  return bytes;
}

}  // namespace meterstation
