#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string_view>
#include <vector>

namespace meterstation {

// The items of a list box that only ever grows: the data stream gains an item
// per reading for as long as the station runs, so an item costs its bytes
// plus four. Texts live in chunks that never move once allocated; an item
// never spans two chunks, so it can be handed out as one view. Offsets are
// kept per chunk, which keeps them 32 bits wide however many gigabytes the
// list holds. The offsets too live in blocks that never move: one growing
// array would, once a year, copy tens of megabytes inside a single append
// and hold up the event thread for longer than a reading's silence.
// Chunks come from the heap, or from a source such as a file the kernel can
// page out; a chunk the source cannot give comes from the heap.
class CompactListStore {
 public:
  // Chunks start small so that a short list stays small, and double up to
  // this size.
  static constexpr std::size_t kDefaultChunkBytes = std::size_t{1} << 20;

  // A chunk of at least the given size that stays where it is for the
  // store's life, or nullptr.
  using ChunkSource = std::function<char*(std::size_t bytes)>;

  explicit CompactListStore(std::size_t chunkBytes = kDefaultChunkBytes,
                            ChunkSource source = nullptr);

  void append(std::string_view item);

  std::size_t size() const { return count_; }
  bool empty() const { return count_ == 0; }
  // The item's bytes; valid until the store is destroyed. index < size().
  std::string_view at(std::size_t index) const;

  // The bytes of all items together.
  std::uint64_t textBytes() const { return textBytes_; }
  // The memory the store holds, reserved space included, and the part of
  // it on the heap: offsets, and the chunks the source did not give.
  std::size_t memoryBytes() const;
  std::size_t heapBytes() const;

 private:
  struct Chunk {
    char* bytes = nullptr;
    // Set when the chunk is on the heap.
    std::unique_ptr<char[]> owned;
    std::size_t capacity = 0;
    std::size_t used = 0;
    std::size_t firstItem = 0;
  };

  // 64 KiB of offsets a block.
  static constexpr std::size_t kStartsPerBlock = 16384;

  Chunk& chunkFor(std::size_t length);
  std::size_t chunkIndexOf(std::size_t item) const;
  std::size_t bookkeepingBytes() const;
  std::uint32_t startOf(std::size_t item) const {
    return startBlocks_[item / kStartsPerBlock][item % kStartsPerBlock];
  }

  std::size_t maxChunkBytes_;
  ChunkSource source_;
  std::vector<Chunk> chunks_;
  // Where each item starts inside its chunk; it ends where the next item of
  // the same chunk starts, or at the chunk's used size.
  std::vector<std::unique_ptr<std::uint32_t[]>> startBlocks_;
  std::size_t count_ = 0;
  std::uint64_t textBytes_ = 0;
};

}  // namespace meterstation
