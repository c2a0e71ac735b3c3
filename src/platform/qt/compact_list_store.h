#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

namespace meterstation {

// The items of a list box that only ever grows: the data stream gains an item
// per reading for as long as the station runs, so an item costs its bytes
// plus four. Texts live in chunks that never move once allocated; an item
// never spans two chunks, so it can be handed out as one view. Offsets are
// kept per chunk, which keeps them 32 bits wide however many gigabytes the
// list holds.
class CompactListStore {
 public:
  // Chunks start small so that a short list stays small, and double up to
  // this size.
  static constexpr std::size_t kDefaultChunkBytes = std::size_t{1} << 20;

  explicit CompactListStore(std::size_t chunkBytes = kDefaultChunkBytes);

  void append(std::string_view item);

  std::size_t size() const { return starts_.size(); }
  bool empty() const { return starts_.empty(); }
  // The item's bytes; valid until the store is destroyed. index < size().
  std::string_view at(std::size_t index) const;

  // The bytes of all items together.
  std::uint64_t textBytes() const { return textBytes_; }
  // The heap the store holds, reserved space included.
  std::size_t memoryBytes() const;

 private:
  struct Chunk {
    std::unique_ptr<char[]> bytes;
    std::size_t capacity = 0;
    std::size_t used = 0;
    std::size_t firstItem = 0;
  };

  Chunk& chunkFor(std::size_t length);
  std::size_t chunkIndexOf(std::size_t item) const;

  std::size_t maxChunkBytes_;
  std::vector<Chunk> chunks_;
  // Where each item starts inside its chunk; it ends where the next item of
  // the same chunk starts, or at the chunk's used size.
  std::vector<std::uint32_t> starts_;
  std::uint64_t textBytes_ = 0;
};

}  // namespace meterstation
