#include "log/reading_table.h"

#include "log/reading_table_storage.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <utility>

namespace qm::log {

namespace {

constexpr std::uint32_t kNullText = kNoTextId;
constexpr TimeOfDay kNullTime = detail::kNoTime;
constexpr std::uint8_t kHasNo = detail::kHasNo;
constexpr std::uint8_t kHasState = detail::kHasState;

bool isLeadByte(char byte) {
  const auto value = static_cast<unsigned char>(byte);
  return value >= 0x81 && value <= 0xFE;
}

}  // namespace

std::string_view detail::cutLongText(std::string_view text) {
  std::size_t end = 0;
  while (end < kTextFieldBytes) {
    const std::size_t step = isLeadByte(text[end]) ? 2 : 1;
    if (end + step > kTextFieldBytes) {
      break;
    }
    end += step;
  }
  return text.substr(0, end);
}

ReadingTable::ReadingTable(QObject* parent)
    : QObject(parent), chunks_(std::make_unique<ChunkStore>()), texts_(std::make_unique<TextPool>()) {
  lastTextIds_.fill(kNullText);
}

ReadingTable::~ReadingTable() = default;

StoredRow ReadingTable::storedRow(std::size_t storedIndex) const {
  const Chunk& chunk = (*chunks_)[storedIndex / Chunk::kRows];
  const std::size_t at = storedIndex % Chunk::kRows;
  StoredRow row;
  if ((chunk.flags[at] & kHasNo) != 0) {
    row.fields.No = chunk.no[at];
  }
  if (chunk.time[at] != kNullTime) {
    row.fields.Time = chunk.time[at];
  }
  for (std::size_t field = 0; field < kTextFieldCount; ++field) {
    if (const std::uint32_t id = chunk.text[field][at]; id != kNullText) {
      row.fields.texts[field] = texts_->text(id);
    }
  }
  if ((chunk.flags[at] & kHasState) != 0) {
    row.state = chunk.state[at];
  }
  return row;
}

std::size_t ReadingTable::storedIndexOf(std::size_t visibleIndex) const {
  // deletedStored_[k] - k is the number of shown rows before the k-th deleted row; it never falls.
  std::size_t low = 0;
  std::size_t high = deletedStored_.size();
  while (low < high) {
    const std::size_t middle = low + (high - low) / 2;
    if (deletedStored_[middle] - middle <= visibleIndex) {
      low = middle + 1;
    } else {
      high = middle;
    }
  }
  return visibleIndex + low;
}

void ReadingTable::setCurrentRow(std::size_t visibleIndex) {
  if (visibleIndex < rowCount()) {
    moveCurrentRow(visibleIndex);
  }
}

void ReadingTable::appendAdded(const RowFields& fields) {
  store(fields, kRowAdded);
  recordChange({static_cast<std::uint32_t>(storedCount_), 0, kChangeAdded});
  emit rowsAppended(rowCount() - 1, 1);
  moveCurrentRow(rowCount() - 1);
}

void ReadingTable::appendAddedRows(const ReadingTable& source) {
  const std::size_t count = source.rowCount();
  if (count == 0) {
    return;
  }
  const std::size_t first = rowCount();
  // Each distinct text of the source is looked up here once, not once per row.
  std::vector<std::uint32_t> translated(source.texts_->size(), kNullText);
  std::array<std::uint32_t, kTextFieldCount> ids{};
  for (std::size_t stored = 0; stored < source.storedCount_; ++stored) {
    const Chunk& chunk = (*source.chunks_)[stored / Chunk::kRows];
    const std::size_t at = stored % Chunk::kRows;
    if ((chunk.flags[at] & kHasState) != 0 && (chunk.state[at] & kRowDeleted) != 0) {
      continue;
    }
    for (std::size_t field = 0; field < kTextFieldCount; ++field) {
      const std::uint32_t id = chunk.text[field][at];
      if (id != kNullText && translated[id] == kNullText) {
        translated[id] = texts_->intern(source.texts_->text(id));
      }
      ids[field] = id == kNullText ? kNullText : translated[id];
    }
    storeIds((chunk.flags[at] & kHasNo) != 0 ? std::optional<std::int32_t>(chunk.no[at]) : std::nullopt, chunk.time[at],
             ids, kRowAdded);
    recordChange({static_cast<std::uint32_t>(storedCount_), 0, kChangeAdded});
  }
  emit rowsAppended(first, count);
  moveCurrentRow(rowCount() - 1);
}

void ReadingTable::deleteRow(std::size_t visibleIndex) {
  if (visibleIndex >= rowCount()) {
    return;
  }
  const std::size_t stored = storedIndexOf(visibleIndex);
  emit rowAboutToBeDeleted(visibleIndex);
  Chunk& chunk = (*chunks_)[stored / Chunk::kRows];
  const std::size_t at = stored % Chunk::kRows;
  chunk.state[at] = static_cast<std::uint8_t>(((chunk.flags[at] & kHasState) != 0 ? chunk.state[at] : 0) | kRowDeleted);
  chunk.flags[at] |= kHasState;
  deletedStored_.insert(std::upper_bound(deletedStored_.begin(), deletedStored_.end(), stored),
                        static_cast<std::uint32_t>(stored));
  recordChange({static_cast<std::uint32_t>(stored + 1), 0, kChangeDeleted});
  emit rowDeleted(visibleIndex);
  if (isEmpty()) {
    moveCurrentRow(std::nullopt);
  } else {
    moveCurrentRow(std::min(visibleIndex, rowCount() - 1));
  }
}

void ReadingTable::clear() {
  emit aboutToReset();
  chunks_->resize(0);
  storedCount_ = 0;
  reservedCount_ = 0;
  forgetTexts();
  deletedStored_.clear();
  changeLog_.clear();
  emit reset();
  moveCurrentRow(std::nullopt);
}

void ReadingTable::replaceWith(ReadingTable&& other) {
  emit aboutToReset();
  other.dropRoomAfter(other.storedCount_);
  chunks_->takeFrom(*other.chunks_);
  storedCount_ = std::exchange(other.storedCount_, 0);
  reservedCount_ = 0;
  texts_ = std::exchange(other.texts_, std::make_unique<TextPool>());
  lastTextIds_ = other.lastTextIds_;
  other.lastTextIds_.fill(kNullText);
  deletedStored_ = std::move(other.deletedStored_);
  changeLog_ = std::move(other.changeLog_);
  other.deletedStored_.clear();
  other.changeLog_.clear();
  other.currentRow_.reset();
  emit reset();
  moveCurrentRow(isEmpty() ? std::nullopt : std::optional<std::size_t>(0));
}

void ReadingTable::appendStored(const RowFields& fields, std::optional<std::uint8_t> state) {
  store(fields, state);
  if (state && (*state & kRowDeleted) != 0) {
    deletedStored_.push_back(static_cast<std::uint32_t>(storedCount_ - 1));
  }
}

void ReadingTable::appendChangeLogEntry(const ChangeLogEntry& entry) { recordChange(entry); }

void ReadingTable::appendChangeLogEntries(const ChangeLogEntry& first, std::uint32_t count) { recordChanges(first, count); }

std::vector<ChangeLogEntry> ReadingTable::changeLog() const {
  std::vector<ChangeLogEntry> entries;
  forEachChangeStretch([&](ChangeLogEntry entry, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i, ++entry.row) {
      entries.push_back(entry);
    }
  });
  return entries;
}

std::size_t ReadingTable::memoryBytes() const {
  return chunks_->memoryBytes() + texts_->memoryBytes() +
         deletedStored_.capacity() * sizeof(std::uint32_t) + changeLog_.capacity() * sizeof(ChangeRun);
}

void ReadingTable::store(const RowFields& fields, std::optional<std::uint8_t> state) {
  std::array<std::uint32_t, kTextFieldCount> ids{};
  for (std::size_t field = 0; field < kTextFieldCount; ++field) {
    const std::optional<std::string_view>& text = fields.texts[field];
    ids[field] = text ? textId(field, cutToFieldWidth(*text)) : kNullText;
  }
  storeIds(fields.No, fields.Time.value_or(kNullTime), ids, state);
}

void ReadingTable::storeIds(std::optional<std::int32_t> no, TimeOfDay time,
                            const std::array<std::uint32_t, kTextFieldCount>& textIds,
                            std::optional<std::uint8_t> state) {
  Q_ASSERT(reservedCount_ == 0);
  if (storedCount_ == chunks_->size() * Chunk::kRows) {
    chunks_->resize(chunks_->size() + 1);
  }
  Chunk& chunk = (*chunks_)[chunks_->size() - 1];
  const std::size_t at = storedCount_ % Chunk::kRows;
  chunk.no[at] = no.value_or(0);
  chunk.time[at] = time;
  for (std::size_t field = 0; field < kTextFieldCount; ++field) {
    chunk.text[field][at] = textIds[field];
  }
  chunk.flags[at] = static_cast<std::uint8_t>((no ? kHasNo : 0) | (state ? kHasState : 0));
  chunk.state[at] = state.value_or(0);
  ++storedCount_;
}

std::uint32_t ReadingTable::textId(std::size_t field, std::string_view text) {
  std::uint32_t& last = lastTextIds_[field];
  if (last == kNullText || texts_->text(last) != text) {
    last = texts_->intern(text);
  }
  return last;
}

void ReadingTable::forgetTexts() {
  texts_ = std::make_unique<TextPool>();
  lastTextIds_.fill(kNullText);
}

void ReadingTable::recordChange(const ChangeLogEntry& entry) {
  if (!changeLog_.empty()) {
    ChangeRun& last = changeLog_.back();
    const std::uint64_t nextRow = std::uint64_t{last.first.row} + last.count;
    if (nextRow == entry.row && last.first.detail == entry.detail && last.first.kind == entry.kind &&
        last.count < std::numeric_limits<std::uint32_t>::max()) {
      ++last.count;
      return;
    }
  }
  changeLog_.push_back({entry, 1});
}

// As recordChange for `first` and the same change of each next row, `count` entries in all.
void ReadingTable::recordChanges(const ChangeLogEntry& first, std::uint32_t count) {
  if (count == 0) {
    return;
  }
  recordChange(first);
  // The rest continue that run, as far as its count goes; a run of 2^32 - 1 entries is full.
  ChangeRun& run = changeLog_.back();
  const std::uint32_t joined = std::min(count - 1, std::numeric_limits<std::uint32_t>::max() - run.count);
  run.count += joined;
  for (std::uint32_t i = joined + 1; i < count; ++i) {
    recordChange({first.row + i, first.detail, first.kind});
  }
}

StoredRowSpan ReadingTable::spanAt(std::size_t storedIndex) const {
  const Chunk& chunk = (*chunks_)[storedIndex / Chunk::kRows];
  const std::size_t at = storedIndex % Chunk::kRows;
  StoredRowSpan span;
  span.first_ = storedIndex;
  span.size_ = std::min(Chunk::kRows - at, storedCount_ - storedIndex);
  span.no_ = chunk.no + at;
  span.time_ = chunk.time + at;
  for (std::size_t field = 0; field < kTextFieldCount; ++field) {
    span.text_[field] = chunk.text[field] + at;
  }
  span.flags_ = chunk.flags + at;
  span.state_ = chunk.state + at;
  return span;
}

std::string_view ReadingTable::textOfId(std::uint32_t id) const { return texts_->text(id); }

std::size_t ReadingTable::textIdCount() const { return texts_->size(); }

std::size_t ReadingTable::reserveRows(std::size_t count) {
  const std::size_t first = reservedCount_;
  reservedCount_ += count;
  const std::size_t rows = storedCount_ + reservedCount_;
  if (chunks_->size() * Chunk::kRows < rows) {
    chunks_->resizeToHold(rows);
  }
  return first;
}

void ReadingTable::commitReservedRows(std::size_t count) {
  Q_ASSERT(count <= reservedCount_);
  const std::size_t end = storedCount_ + count;
  // The writers' flag was set before the threads that ran them were waited for.
  if (roomHasDeleted_.load(std::memory_order_relaxed)) {
    for (std::size_t stored = storedCount_; stored < end; ++stored) {
      const Chunk& chunk = (*chunks_)[stored / Chunk::kRows];
      const std::size_t at = stored % Chunk::kRows;
      if ((chunk.flags[at] & kHasState) != 0 && (chunk.state[at] & kRowDeleted) != 0) {
        deletedStored_.push_back(static_cast<std::uint32_t>(stored));
      }
    }
  }
  storedCount_ = end;
  dropRoomAfter(storedCount_);
}

void ReadingTable::commitReservedAddedRows(std::size_t count) {
  const std::size_t firstShown = rowCount();
  const auto firstNumber = static_cast<std::uint32_t>(storedCount_ + 1);
  commitReservedRows(count);
  if (count == 0) {
    return;
  }
  recordChanges({firstNumber, 0, kChangeAdded}, static_cast<std::uint32_t>(count));
  emit rowsAppended(firstShown, count);
  moveCurrentRow(rowCount() - 1);
}

void ReadingTable::dropRoomAfter(std::size_t rows) {
  reservedCount_ = 0;
  roomHasDeleted_.store(false, std::memory_order_relaxed);
  chunks_->resizeToHold(rows);
}

void ReadingTable::moveCurrentRow(std::optional<std::size_t> visibleIndex) {
  if (currentRow_ == visibleIndex) {
    return;
  }
  currentRow_ = visibleIndex;
  emit currentRowChanged(visibleIndex);
}

}  // namespace qm::log
