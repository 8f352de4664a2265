#include "log/reading_table.h"

#include "log/reading_table_storage.h"
#include "log/unaligned_word.h"

#include <mutex>
#include <type_traits>
#include <utility>

namespace qm::log {

inline ReadingTable::RowWriter::ShortText ReadingTable::RowWriter::ShortText::of(std::string_view text) {
  Q_ASSERT(text.size() <= kMostBytes);
  const char* const bytes = text.data();
  const std::size_t size = text.size();
  std::uint64_t word = 0;
  if (size >= 4) {
    word = fourToEightBytes(bytes, size);
  } else if (size > 0) {
    word = static_cast<unsigned char>(bytes[0]) | std::uint64_t{static_cast<unsigned char>(bytes[size / 2])} << 8 |
           std::uint64_t{static_cast<unsigned char>(bytes[size - 1])} << 16;
  }
  return {word | std::uint64_t{size} << 56};
}

inline std::size_t ReadingTable::RowWriter::ShortText::hash() const {
  // The high half is folded in first, so that the size and the last bytes reach the low bits
  // that pick the slot.
  return static_cast<std::size_t>(((word ^ (word >> 32)) * 0x9E3779B97F4A7C15ull) >> 32);
}

inline ReadingTable::RowWriter::LongText ReadingTable::RowWriter::LongText::of(std::string_view text) {
  Q_ASSERT(text.size() > ShortText::kMostBytes && text.size() <= kTextFieldBytes);
  const char* const bytes = text.data();
  const std::size_t size = text.size();
  LongText words;
  words.size = static_cast<std::uint32_t>(size);
  // Head and tail cover up to 16 bytes; beyond that the four after the head are missing.
  words.head = unalignedWord<std::uint64_t>(bytes);
  words.tail = unalignedWord<std::uint64_t>(bytes + size - 8);
  words.middle = size > 16 ? unalignedWord<std::uint32_t>(bytes + 8) : 0;
  return words;
}

inline std::size_t ReadingTable::RowWriter::LongText::hash() const {
  std::uint64_t value = head * 0x9E3779B97F4A7C15ull;
  value ^= (tail + (std::uint64_t{middle} << 32 | size)) * 0xC2B2AE3D27D4EB4Full;
  value ^= value >> 31;
  value *= 0xBF58476D1CE4E5B9ull;
  return static_cast<std::size_t>(value ^ (value >> 29));
}

template <typename Key>
inline typename ReadingTable::RowWriter::Cache<Key>::Slot& ReadingTable::RowWriter::Cache<Key>::find(const Key& key) {
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = key.hash() & mask;
  while (slots_[slot].id != kNoTextId && !(slots_[slot].key == key)) {
    slot = (slot + 1) & mask;
  }
  return slots_[slot];
}

template <typename Key>
void ReadingTable::RowWriter::Cache<Key>::added() {
  if (++used_ * 2 <= slots_.size()) {
    return;
  }
  Slots grown(slots_.size() * 2);
  grown.swap(slots_);
  for (const Slot& entry : grown) {
    if (entry.id != kNoTextId) {
      find(entry.key) = entry;
    }
  }
}

ReadingTable::RowWriter::RowWriter(ReadingTable& table) : table_(table) {}

ReadingTable::RowWriter::~RowWriter() {
  Q_ASSERT(standIns_.empty());  // rows left with stand-ins would show no texts, or wrong ones
}

// The prefetch stands here, not in a helper: GCC takes a function that only prefetches for one
// without effects, and drops the calls to it.
void ReadingTable::RowWriter::expect(std::string_view text) const {
  const std::string_view cut = cutToFieldWidth(text);
  __builtin_prefetch(cut.size() <= ShortText::kMostBytes ? shortTexts_.home(ShortText::of(cut))
                                                         : longTexts_.home(LongText::of(cut)));
}

// Inline, with the cache's look, because nearly every text is in the cache (most are their
// field's last one): a call and its register saving cost more than the look.
template <typename Key>
inline std::uint32_t ReadingTable::RowWriter::idIn(Cache<Key>& cache, std::size_t field, std::string_view text,
                                                  const Key& key, bool later) {
  auto& last = cache.last[field];
  if (last.id != kNoTextId && last.key == key) {
    return last.id;
  }
  auto& slot = cache.find(key);
  if (slot.id == kNoTextId) {
    return addToCache(cache, field, text, key, slot, later);
  }
  last = slot;
  return slot.id;
}

inline std::uint32_t ReadingTable::RowWriter::idOfFieldWide(std::size_t field, std::string_view text, bool later) {
  return text.size() <= ShortText::kMostBytes ? idIn(shortTexts_, field, text, ShortText::of(text), later)
                                              : idIn(longTexts_, field, text, LongText::of(text), later);
}

std::uint32_t ReadingTable::RowWriter::textIdSettledLater(std::size_t field, std::string_view text) {
  return idOfFieldWide(field, cutToFieldWidth(text), true);
}

template <typename Key>
[[gnu::noinline]] std::uint32_t ReadingTable::RowWriter::addToCache(Cache<Key>& cache, std::size_t field,
                                                                    std::string_view text, const Key& key,
                                                                    typename Cache<Key>::Slot& freeSlot,
                                                                    bool later) {
  std::uint32_t id = 0;
  if (later) {
    id = kFirstStandIn + static_cast<std::uint32_t>(standIns_.size());
    standIns_.push_back(text);
  } else {
    id = intern(text);
  }
  freeSlot = {key, id};
  cache.last[field] = freeSlot;
  cache.added();
  return id;
}

void ReadingTable::RowWriter::noteStandIns(std::size_t stored, const TextIds& textIds) {
  for (std::size_t field = 0; field < kTextFieldCount; ++field) {
    if (textIds[field] - kFirstStandIn < standIns_.size()) {
      standInPlaces_.push_back({stored, field});
    }
  }
}

void ReadingTable::RowWriter::settleTexts() {
  if (standIns_.empty()) {
    return;
  }
  realIds_.resize(standIns_.size());
  {
    const std::unique_lock<std::mutex> lock = lockedPool();
    for (std::size_t i = 0; i < standIns_.size(); ++i) {
      realIds_[i] = table_.texts_->intern(standIns_[i]);
      Q_ASSERT(realIds_[i] < kFirstStandIn);
    }
  }
  for (const StandInPlace& place : standInPlaces_) {
    std::uint32_t& id = (*table_.chunks_)[place.stored / Chunk::kRows].text[place.field][place.stored % Chunk::kRows];
    id = realIds_[id - kFirstStandIn];
  }
  settle(shortTexts_, realIds_);
  settle(longTexts_, realIds_);
  standIns_.clear();
  standInPlaces_.clear();
}

template <typename Key>
void ReadingTable::RowWriter::settle(Cache<Key>& cache, const std::vector<std::uint32_t>& realIds) {
  auto realId = [&](std::uint32_t id) { return id >= kFirstStandIn && id != kNoTextId ? realIds[id - kFirstStandIn] : id; };
  for (const std::string_view text : standIns_) {
    if ((text.size() <= ShortText::kMostBytes) == std::is_same_v<Key, ShortText>) {
      auto& slot = cache.find(Key::of(text));
      slot.id = realId(slot.id);
    }
  }
  for (auto& last : cache.last) {
    last.id = realId(last.id);
  }
}

// The other writer holds the pool's lock for a few lookups (now and then growing the pool), far
// less time than a sleep and a wake-up take: waiting for it in a loop first keeps both writers out
// of the kernel.
std::unique_lock<std::mutex> ReadingTable::RowWriter::lockedPool() {
  constexpr int kTries = 1000;
  int tries = 0;
  for (; tries < kTries && !table_.textsMutex_.try_lock(); ++tries) {
#if defined(__x86_64__) || defined(__i386__)
    __builtin_ia32_pause();
#elif defined(__aarch64__) || defined(__arm__)
    __asm__ __volatile__("yield");
#endif
  }
  if (tries == kTries) {
    table_.textsMutex_.lock();
  }
  return std::unique_lock<std::mutex>(table_.textsMutex_, std::adopt_lock);
}

std::uint32_t ReadingTable::RowWriter::intern(std::string_view text) {
  const std::unique_lock<std::mutex> lock = lockedPool();
  return table_.texts_->intern(text);
}

void ReadingTable::RowWriter::write(std::size_t reservedIndex, const RowFields& fields,
                                    std::optional<std::uint8_t> state) {
  TextIds ids;
  for (std::size_t field = 0; field < kTextFieldCount; ++field) {
    const std::optional<std::string_view>& text = fields.texts[field];
    ids[field] = text ? idOfFieldWide(field, cutToFieldWidth(*text), false) : kNoTextId;
  }
  write(reservedIndex, fields.No, fields.Time, ids, state);
}

void ReadingTable::RowWriter::write(std::size_t reservedIndex, std::optional<std::int32_t> no,
                                    std::optional<TimeOfDay> time, const TextIds& textIds,
                                    std::optional<std::uint8_t> state) {
  Q_ASSERT(reservedIndex < table_.reservedCount_);
  const std::size_t stored = table_.storedCount_ + reservedIndex;
  Chunk& chunk = (*table_.chunks_)[stored / Chunk::kRows];
  const std::size_t at = stored % Chunk::kRows;
  chunk.no[at] = no.value_or(0);
  chunk.time[at] = time.value_or(detail::kNoTime);
  for (std::size_t field = 0; field < kTextFieldCount; ++field) {
    chunk.text[field][at] = textIds[field];
  }
  if (!standIns_.empty()) {
    noteStandIns(stored, textIds);
  }
  chunk.flags[at] = static_cast<std::uint8_t>((no ? detail::kHasNo : 0) | (state ? detail::kHasState : 0));
  chunk.state[at] = state.value_or(0);
  if (state && (*state & kRowDeleted) != 0) {
    table_.roomHasDeleted_.store(true, std::memory_order_relaxed);
  }
}

}  // namespace qm::log
