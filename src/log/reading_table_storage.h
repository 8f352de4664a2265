#pragma once

// How a ReadingTable keeps its rows and texts, shared by the table and its row writers.

#include "core/large_page_memory.h"
#include "log/reading_table.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>
#include <string_view>
#include <utility>
#include <vector>

namespace qm::log {

// Interned texts: each distinct text is stored once, in blocks that never move, and found again
// through an open-addressing hash table of ids.
class ReadingTable::TextPool {
public:
  std::uint32_t intern(std::string_view text) {
    if ((entries_.size() + 1) * 2 > slots_.size()) {
      grow();
    }
    const std::size_t mask = slots_.size() - 1;
    for (std::size_t slot = hash(text) & mask;; slot = (slot + 1) & mask) {
      const std::uint32_t id = slots_[slot];
      if (id == kNoTextId) {
        const auto newId = static_cast<std::uint32_t>(entries_.size());
        entries_.push_back(keep(text));
        slots_[slot] = newId;
        return newId;
      }
      if (entries_[id] == text) {
        return id;
      }
    }
  }

  std::string_view text(std::uint32_t id) const {
    // An id beyond the pool is most likely a writer's stand-in that was never settled.
    Q_ASSERT_X(id < entries_.size(), "TextPool::text", "an id the pool never gave");
    return entries_[id];
  }
  std::size_t size() const { return entries_.size(); }

  std::size_t memoryBytes() const {
    return blocks_.size() * kBlockBytes + entries_.capacity() * sizeof(std::string_view) +
           slots_.capacity() * sizeof(std::uint32_t);
  }

private:
  static constexpr std::size_t kBlockBytes = 64 * 1024;

  static std::size_t hash(std::string_view text) {
    std::uint64_t value = 14695981039346656037ull;
    for (const char byte : text) {
      value = (value ^ static_cast<unsigned char>(byte)) * 1099511628211ull;
    }
    value ^= value >> 33;
    value *= 0xff51afd7ed558ccdull;
    return static_cast<std::size_t>(value ^ (value >> 33));
  }

  std::string_view keep(std::string_view text) {
    if (blocks_.empty() || blockUsed_ + text.size() > kBlockBytes) {
      blocks_.push_back(std::make_unique<char[]>(kBlockBytes));
      blockUsed_ = 0;
    }
    char* place = blocks_.back().get() + blockUsed_;
    std::copy(text.begin(), text.end(), place);
    blockUsed_ += text.size();
    return {place, text.size()};
  }

  void grow() {
    std::vector<std::uint32_t> grown(std::max<std::size_t>(64, slots_.size() * 2), kNoTextId);
    const std::size_t mask = grown.size() - 1;
    for (std::uint32_t id = 0; id < entries_.size(); ++id) {
      std::size_t slot = hash(entries_[id]) & mask;
      while (grown[slot] != kNoTextId) {
        slot = (slot + 1) & mask;
      }
      grown[slot] = id;
    }
    slots_ = std::move(grown);
  }

  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t blockUsed_ = 0;
  std::vector<std::string_view> entries_;
  std::vector<std::uint32_t> slots_;
};

// Rows are stored column-wise, 65536 to a chunk, so that growing the table never copies it.
struct ReadingTable::Chunk {
  static constexpr std::size_t kRows = 1 << 16;
  std::int32_t no[kRows];
  TimeOfDay time[kRows];
  std::uint32_t text[kTextFieldCount][kRows];
  std::uint8_t flags[kRows];
  std::uint8_t state[kRows];
};

// The table's chunks, sixteen to a slab: sixteen chunks are exactly thirteen large pages, and a
// slab starts on a large-page boundary, so the system can back every row with large pages.
// Chunks are added and dropped only at the end, and never move.
class ReadingTable::ChunkStore {
public:
  std::size_t size() const { return count_; }
  Chunk& operator[](std::size_t index) { return slab(index / kChunksPerSlab).chunks[index % kChunksPerSlab]; }
  const Chunk& operator[](std::size_t index) const {
    return slab(index / kChunksPerSlab).chunks[index % kChunksPerSlab];
  }

  // Adds chunks, their rows not yet written, or drops chunks from the end.
  void resize(std::size_t count) {
    const std::size_t slabs = (count + kChunksPerSlab - 1) / kChunksPerSlab;
    slabs_.resize(std::min(slabs, slabs_.size()));
    while (slabs_.size() < slabs) {
      LargePageBuffer memory(sizeof(Slab));
      new (memory.data()) Slab;
      slabs_.push_back(std::move(memory));
    }
    count_ = count;
  }
  // As many chunks as hold `rows` rows.
  void resizeToHold(std::size_t rows) { resize((rows + Chunk::kRows - 1) / Chunk::kRows); }
  // Takes over the chunks of `other`, which is left without any.
  void takeFrom(ChunkStore& other) {
    slabs_ = std::move(other.slabs_);
    other.slabs_.clear();
    count_ = std::exchange(other.count_, 0);
  }

  std::size_t memoryBytes() const { return count_ * sizeof(Chunk) + slabs_.capacity() * sizeof(LargePageBuffer); }

private:
  static constexpr std::size_t kChunksPerSlab = 16;
  struct Slab {
    Chunk chunks[kChunksPerSlab];
  };
  static_assert(sizeof(Slab) % kLargePageBytes == 0, "a slab is whole large pages");

  Slab& slab(std::size_t index) const { return *std::launder(reinterpret_cast<Slab*>(slabs_[index].data())); }

  std::vector<LargePageBuffer> slabs_;
  std::size_t count_ = 0;
};

}  // namespace qm::log
