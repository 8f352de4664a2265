#include "log/reading_table.h"

#include "log/reading_table_storage.h"
#include "log/unaligned_word.h"

#include <mutex>
#include <utility>

namespace qm::log {

inline ReadingTable::RowWriter::TextWords ReadingTable::RowWriter::TextWords::of(std::string_view text) {
  Q_ASSERT(text.size() <= kTextFieldBytes);
  const char* const bytes = text.data();
  const std::size_t size = text.size();
  TextWords words;
  words.size = static_cast<std::uint32_t>(size);
  if (size >= 8) {
    // Head and tail cover up to 16 bytes; beyond that the four after the head are missing.
    words.head = unalignedWord<std::uint64_t>(bytes);
    words.tail = unalignedWord<std::uint64_t>(bytes + size - 8);
    words.middle = size > 16 ? unalignedWord<std::uint32_t>(bytes + 8) : 0;
  } else if (size >= 4) {
    words.head = unalignedWord<std::uint32_t>(bytes);
    words.tail = unalignedWord<std::uint32_t>(bytes + size - 4);
  } else if (size > 0) {
    words.head = static_cast<unsigned char>(bytes[0]) | std::uint64_t{static_cast<unsigned char>(bytes[size / 2])} << 8 |
                 std::uint64_t{static_cast<unsigned char>(bytes[size - 1])} << 16;
  }
  return words;
}

inline std::size_t ReadingTable::RowWriter::TextWords::hash() const {
  std::uint64_t value = head * 0x9E3779B97F4A7C15ull;
  value ^= (tail + (std::uint64_t{middle} << 32 | size)) * 0xC2B2AE3D27D4EB4Full;
  value ^= value >> 31;
  value *= 0xBF58476D1CE4E5B9ull;
  return static_cast<std::size_t>(value ^ (value >> 29));
}

inline const ReadingTable::RowWriter::Slot& ReadingTable::RowWriter::slotOf(const TextWords& words) const {
  return slots_[words.hash() & (slots_.size() - 1)];
}

ReadingTable::RowWriter::RowWriter(ReadingTable& table) : table_(table), slots_(256) {}

ReadingTable::RowWriter::~RowWriter() = default;

void ReadingTable::RowWriter::expect(TextField field, std::string_view text) const {
  const TextWords words = TextWords::of(cutToFieldWidth(text));
  if (!(lastTexts_[static_cast<std::size_t>(field)].words == words)) {
    __builtin_prefetch(&slotOf(words));
  }
}

// Inline, and apart from the lookup, because most texts are their field's last one: a call and
// its register saving cost more than the compare.
inline std::uint32_t ReadingTable::RowWriter::textId(std::size_t field, std::string_view text) {
  const TextWords words = TextWords::of(text);
  if (const Slot& last = lastTexts_[field]; last.id != kNoTextId && last.words == words) {
    return last.id;
  }
  return lookUp(field, text, words);
}

std::uint32_t ReadingTable::RowWriter::lookUp(std::size_t field, std::string_view text, const TextWords& words) {
  Slot& last = lastTexts_[field];
  const std::size_t mask = slots_.size() - 1;
  std::size_t slot = words.hash() & mask;
  for (; slots_[slot].id != kNoTextId; slot = (slot + 1) & mask) {
    if (slots_[slot].words == words) {
      last = slots_[slot];
      return slots_[slot].id;
    }
  }
  std::uint32_t id = 0;
  {
    const std::lock_guard<std::mutex> lock(table_.textsMutex_);
    id = table_.texts_->intern(text);
  }
  slots_[slot] = {words, id};
  last = slots_[slot];
  if (++used_ * 2 > slots_.size()) {
    growCache();
  }
  return id;
}

void ReadingTable::RowWriter::write(std::size_t reservedIndex, const RowFields& fields,
                                    std::optional<std::uint8_t> state) {
  Q_ASSERT(reservedIndex < table_.reservedCount_);
  const std::size_t stored = table_.storedCount_ + reservedIndex;
  Chunk& chunk = *table_.chunks_[stored / Chunk::kRows];
  const std::size_t at = stored % Chunk::kRows;
  chunk.no[at] = fields.No.value_or(0);
  chunk.time[at] = fields.Time.value_or(detail::kNoTime);
  for (std::size_t field = 0; field < kTextFieldCount; ++field) {
    const std::optional<std::string_view>& text = fields.texts[field];
    chunk.text[field][at] = text ? textId(field, cutToFieldWidth(*text)) : kNoTextId;
  }
  chunk.flags[at] = static_cast<std::uint8_t>((fields.No ? detail::kHasNo : 0) | (state ? detail::kHasState : 0));
  chunk.state[at] = state.value_or(0);
}

void ReadingTable::RowWriter::growCache() {
  std::vector<Slot> grown(slots_.size() * 2);
  const std::size_t mask = grown.size() - 1;
  for (const Slot& entry : slots_) {
    if (entry.id != kNoTextId) {
      std::size_t slot = entry.words.hash() & mask;
      while (grown[slot].id != kNoTextId) {
        slot = (slot + 1) & mask;
      }
      grown[slot] = entry;
    }
  }
  slots_ = std::move(grown);
}

}  // namespace qm::log
