#pragma once

// cds1, the reading table: the program's in-memory log of readings. Up to ten million rows live
// here at once ("Limitless"), so the rows are kept column-wise in fixed-size chunks (no doubling
// of a vector at ten million rows), the four texts of a row are ids into a pool of interned
// texts (a log repeats a handful of units, functions and modes, and a few thousand values), times
// are milliseconds of the day, and the change log of plainly added rows is kept as runs instead
// of one entry per row. A row costs 26 bytes.
//
// Rows keep the order in which they entered the table. A row deleted through the grid stays
// stored with its fields and row state (the XML data packet still carries it) but is no longer
// shown: "visible" indices count the rows the table shows, "stored" indices count all of them.
//
// Texts are code page 936 bytes and are cut to 20 bytes when stored.

#include "core/large_page_memory.h"

#include <QObject>

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::log {

// Time of day in milliseconds since midnight: 0 to 86'399'999.
using TimeOfDay = std::int32_t;
inline constexpr TimeOfDay kMillisecondsPerDay = 86'400'000;

inline constexpr std::size_t kTextFieldBytes = 20;

// The four text fields, in field order after No and Time.
enum class TextField { Value, Unit, V_Range, I_Range };
inline constexpr std::size_t kTextFieldCount = 4;

// Row state flags as the XML data packet writes them.
inline constexpr std::uint8_t kRowDeleted = 2;
inline constexpr std::uint8_t kRowAdded = 4;

// Kinds of change-log entries.
inline constexpr std::uint32_t kChangeDeleted = 2;
inline constexpr std::uint32_t kChangeAdded = 4;

// The six fields of a row; an empty optional is a null field. Text views point into the table's
// pool (for rows read from it) or into the caller's buffers (for rows handed to it).
struct RowFields {
  std::optional<std::int32_t> No;
  std::optional<TimeOfDay> Time;
  std::array<std::optional<std::string_view>, kTextFieldCount> texts;

  std::optional<std::string_view>& text(TextField field) { return texts[static_cast<std::size_t>(field)]; }
  const std::optional<std::string_view>& text(TextField field) const {
    return texts[static_cast<std::size_t>(field)];
  }
};

// A stored row: its fields and its row state (none for rows read from a packet without one).
struct StoredRow {
  RowFields fields;
  std::optional<std::uint8_t> state;
  bool isDeleted() const { return state && (*state & kRowDeleted) != 0; }
};

// One change-log entry: the row's number in the order rows entered the table (1-based), a second
// number that this program always writes as 0, and the kind of change.
struct ChangeLogEntry {
  std::uint32_t row = 0;
  std::uint32_t detail = 0;
  std::uint32_t kind = 0;
  friend bool operator==(const ChangeLogEntry&, const ChangeLogEntry&) = default;
};

// The longest prefix of `text` of at most 20 bytes that does not end inside a double-byte
// character of code page 936.
namespace detail {
std::string_view cutLongText(std::string_view text);
}  // namespace detail
inline std::string_view cutToFieldWidth(std::string_view text) {
  return text.size() <= kTextFieldBytes ? text : detail::cutLongText(text);
}

// A text field without a value, as StoredRowSpan gives its text id.
inline constexpr std::uint32_t kNoTextId = 0xFFFF'FFFF;

namespace detail {
// How a stored row marks what it lacks: a time of -1, and flags for the number and the row state.
inline constexpr TimeOfDay kNoTime = -1;
inline constexpr std::uint8_t kHasNo = 1;
inline constexpr std::uint8_t kHasState = 2;
}  // namespace detail

// A run of stored rows as the table keeps them, column by column, for the passes that visit every
// row (saving a file, the chart's points). Nothing is assembled per row, and a text comes as the
// id of its pool entry (ReadingTable::textOfId), so that work on a text is done once per distinct
// text rather than once per row. Valid until the table changes.
class StoredRowSpan {
public:
  std::size_t first() const { return first_; }
  std::size_t size() const { return size_; }

  std::optional<std::int32_t> no(std::size_t i) const {
    return (flags_[i] & detail::kHasNo) != 0 ? std::optional<std::int32_t>(no_[i]) : std::nullopt;
  }
  std::optional<TimeOfDay> time(std::size_t i) const {
    return time_[i] != detail::kNoTime ? std::optional<TimeOfDay>(time_[i]) : std::nullopt;
  }
  std::uint32_t textId(std::size_t field, std::size_t i) const { return text_[field][i]; }
  std::optional<std::uint8_t> state(std::size_t i) const {
    return (flags_[i] & detail::kHasState) != 0 ? std::optional<std::uint8_t>(state_[i]) : std::nullopt;
  }
  bool isDeleted(std::size_t i) const {
    return (flags_[i] & detail::kHasState) != 0 && (state_[i] & kRowDeleted) != 0;
  }

private:
  friend class ReadingTable;

  std::size_t first_ = 0;
  std::size_t size_ = 0;
  const std::int32_t* no_ = nullptr;
  const TimeOfDay* time_ = nullptr;
  std::array<const std::uint32_t*, kTextFieldCount> text_{};
  const std::uint8_t* flags_ = nullptr;
  const std::uint8_t* state_ = nullptr;
};

class ReadingTable : public QObject {
  Q_OBJECT
public:
  explicit ReadingTable(QObject* parent = nullptr);
  ~ReadingTable() override;

  // Rows the table shows (deleted rows left out).
  std::size_t rowCount() const { return storedCount_ - deletedStored_.size(); }
  bool isEmpty() const { return rowCount() == 0; }
  RowFields row(std::size_t visibleIndex) const { return storedRow(storedIndexOf(visibleIndex)).fields; }

  // Every row ever entered, deleted ones included, in order.
  std::size_t storedRowCount() const { return storedCount_; }
  StoredRow storedRow(std::size_t storedIndex) const;
  std::size_t storedIndexOf(std::size_t visibleIndex) const;

  // The row cursor, a visible index; none in an empty table.
  std::optional<std::size_t> currentRow() const { return currentRow_; }
  void setCurrentRow(std::size_t visibleIndex);

  // Appends a row that the program adds (logging or a text load) and posts it: row state "added",
  // a change-log entry of kind 4, and it becomes the current row.
  void appendAdded(const RowFields& fields);
  // Appends every row `source` shows, each as appendAdded would, with one notification.
  void appendAddedRows(const ReadingTable& source);

  // Deletes the row the table shows at `visibleIndex`: it stays stored with the deleted flag, a
  // change-log entry of kind 2 follows, and the cursor stays at the same place.
  void deleteRow(std::size_t visibleIndex);

  // Empties the table as if it had just been created: no rows, no change log.
  void clear();

  // Makes this table exactly `other` (rows, states, change log), leaving `other` empty. Used by
  // the packet load, which builds a table aside and swaps it in only when the whole file was read.
  void replaceWith(ReadingTable&& other);

  // Building a table from a data packet: rows keep the state the packet gave them, and the
  // packet's change log is taken as it stands. Neither posts nor notifies; call replaceWith after.
  void appendStored(const RowFields& fields, std::optional<std::uint8_t> state);
  void appendChangeLogEntry(const ChangeLogEntry& entry);
  // `count` entries: `first`, then the same change for each next row.
  void appendChangeLogEntries(const ChangeLogEntry& first, std::uint32_t count);

  bool hasChangeLog() const { return !changeLog_.empty(); }
  // The change log in stretches of entries that differ only in their row, one more each time:
  // `visit(first, count)`. A log of added rows is one stretch, however many rows it holds.
  template <typename Visit>
  void forEachChangeStretch(Visit&& visit) const {
    for (const ChangeRun& run : changeLog_) {
      visit(run.first, run.count);
    }
  }
  std::vector<ChangeLogEntry> changeLog() const;

  // Heap bytes held by the rows, the text pool and the change log.
  std::size_t memoryBytes() const;

  // The stored rows from `firstStored` on, in order, one span per piece of storage.
  template <typename Visit>
  void forEachStoredSpan(std::size_t firstStored, Visit&& visit) const {
    for (std::size_t at = firstStored; at < storedCount_;) {
      const StoredRowSpan span = spanAt(at);
      visit(span);
      at += span.size();
    }
  }
  // The text of a pool id from a StoredRowSpan; ids run from 0 to textIdCount() - 1.
  std::string_view textOfId(std::uint32_t id) const;
  std::size_t textIdCount() const;

  // Loading many rows at once, straight into the table's storage and from several threads:
  // reserveRows() makes room after the stored rows, RowWriters (one per thread, each writing rows
  // of its own) fill it, and commitReservedRows() makes the first rows of the room the table's.
  // Until then the table is unchanged for its readers, and its own thread may read it as usual
  // while no RowWriter is at work.
  class RowWriter;
  // Adds `count` rows of room after the rows reserved so far; returns the reserved index (0 is
  // the first row of the room) of the first of them.
  std::size_t reserveRows(std::size_t count);
  // Makes the first `count` reserved rows stored rows and lets the rest of the room go. Rows
  // written as deleted are left out of the shown rows; the change log is not touched.
  void commitReservedRows(std::size_t count);
  // As commitReservedRows, for rows the program adds (written with the state "added"): each gets
  // its change-log entry of kind 4, and the rows are announced as appendAddedRows does.
  void commitReservedAddedRows(std::size_t count);

signals:
  // Visible rows [first, first + count) were appended.
  void rowsAppended(std::size_t first, std::size_t count);
  void rowAboutToBeDeleted(std::size_t visibleIndex);
  void rowDeleted(std::size_t visibleIndex);
  // The rows were replaced wholesale (clear, packet load).
  void aboutToReset();
  void reset();
  void currentRowChanged(std::optional<std::size_t> visibleIndex);

private:
  class TextPool;
  struct Chunk;
  class ChunkStore;
  // Consecutive change-log entries with consecutive row numbers and equal detail and kind.
  struct ChangeRun {
    ChangeLogEntry first;
    std::uint32_t count = 1;
  };

  void store(const RowFields& fields, std::optional<std::uint8_t> state);
  // Stores a row whose texts are already ids of this table's pool.
  void storeIds(std::optional<std::int32_t> no, TimeOfDay time, const std::array<std::uint32_t, kTextFieldCount>& textIds,
                std::optional<std::uint8_t> state);
  std::uint32_t textId(std::size_t field, std::string_view text);
  void forgetTexts();
  void recordChange(const ChangeLogEntry& entry);
  void recordChanges(const ChangeLogEntry& first, std::uint32_t count);
  void moveCurrentRow(std::optional<std::size_t> visibleIndex);
  StoredRowSpan spanAt(std::size_t storedIndex) const;
  void dropRoomAfter(std::size_t rows);

  std::unique_ptr<ChunkStore> chunks_;
  std::size_t storedCount_ = 0;
  std::size_t reservedCount_ = 0;  // rows of room after the stored ones
  // Set by a RowWriter that wrote a deleted row into the room: only then does a commit look for
  // them, row by row (a text load writes none).
  std::atomic<bool> roomHasDeleted_ = false;
  std::mutex textsMutex_;          // held by RowWriters while they add to the pool
  std::unique_ptr<TextPool> texts_;
  // The id each text column stored last: a log repeats its unit, function and mode row after row.
  std::array<std::uint32_t, kTextFieldCount> lastTextIds_{};
  std::vector<std::uint32_t> deletedStored_;  // ascending stored indices of deleted rows
  std::vector<ChangeRun> changeLog_;
  std::optional<std::size_t> currentRow_;
};

// Writes rows into the room a ReadingTable reserved, on any thread. Each writer looks its texts
// up in a cache of its own first and goes to the table's pool (under a lock) only for a text it has
// not met before, so writers on several threads hardly ever wait for each other.
class ReadingTable::RowWriter {
public:
  explicit RowWriter(ReadingTable& table);
  ~RowWriter();
  RowWriter(const RowWriter&) = delete;
  RowWriter& operator=(const RowWriter&) = delete;

  using TextIds = std::array<std::uint32_t, kTextFieldCount>;

  // Writes reserved row `reservedIndex`; texts are cut to the field width.
  void write(std::size_t reservedIndex, const RowFields& fields, std::optional<std::uint8_t> state);
  // As write, with the texts given as ids from textIdSettledLater (kNoTextId for none): a reader
  // that sees rows repeat their texts gives the ids again rather than have each text looked up.
  void write(std::size_t reservedIndex, std::optional<std::int32_t> no, std::optional<TimeOfDay> time,
             const TextIds& textIds, std::optional<std::uint8_t> state);
  // The id of `text`, cut to the field width, given as field `field`, for a reader whose texts
  // stay where they are until it calls settleTexts(): a text this writer has not met before gets
  // a stand-in id, and the pool is asked for the real ones all at once, under one lock. Asked one
  // by one, at the start of a load (when both writers meet the same new values), the pool's lock
  // and memory went back and forth between the processors.
  std::uint32_t textIdSettledLater(std::size_t field, std::string_view text);
  // Puts the real ids of the texts that got stand-ins into the rows written since the last call.
  void settleTexts();
  // Says that `text` is coming soon, so that looking it up need not wait for memory then. Worth
  // it for the value, which differs from row to row.
  void expect(std::string_view text) const;

private:
  // A text of up to seven bytes (a value, a unit) as one word of its bytes and its size: equal
  // texts give equal words and different texts different ones, so such a text is compared in one
  // compare and hashed in a multiply.
  struct ShortText {
    static constexpr std::size_t kMostBytes = 7;
    std::uint64_t word = 0;
    static ShortText of(std::string_view text);
    std::size_t hash() const;
    friend bool operator==(const ShortText&, const ShortText&) = default;
  };
  // A longer text, of eight to 20 bytes, as a few words read straight from its bytes, overlapping
  // where the text is shorter than 20: compared in three word compares and hashed without a loop.
  struct LongText {
    std::uint64_t head = 0;
    std::uint64_t tail = 0;
    std::uint32_t middle = 0;
    std::uint32_t size = 0;
    static LongText of(std::string_view text);
    std::size_t hash() const;
    friend bool operator==(const LongText&, const LongText&) = default;
  };
  // Texts met before, by their keys, with their pool ids. The cache is looked at for every row,
  // in no order (a file's values come as they come), so one look at memory finds a text: open
  // addressing, at most half full. Beside it, the text each field was given last: a log repeats
  // its unit, function and mode.
  template <typename Key>
  class Cache {
  public:
    struct Slot {
      Key key;
      std::uint32_t id = kNoTextId;  // kNoTextId: a free slot
    };
    Cache() : slots_(256) {}
    // Where a look for `key` begins.
    const void* home(const Key& key) const { return &slots_[key.hash() & (slots_.size() - 1)]; }
    // The slot holding `key`, or the free one where it belongs.
    Slot& find(const Key& key);
    // A key went into the free slot find() gave; slots may move.
    void added();
    std::array<Slot, kTextFieldCount> last;

  private:
    using Slots = std::vector<Slot, LargePageAllocator<Slot>>;
    Slots slots_;
    std::size_t used_ = 0;
  };

  // Stand-in ids count up from here. The pool never comes near: each of its texts costs it some
  // 24 bytes besides the text, and 2^31 of them would not fit in memory.
  static constexpr std::uint32_t kFirstStandIn = 0x8000'0000;

  // The id of `text`, at most a field wide, for `field`: looked up in the cache when it is not
  // the field's last text. A new text gets a stand-in id when `later`.
  std::uint32_t idOfFieldWide(std::size_t field, std::string_view text, bool later);
  template <typename Key>
  std::uint32_t idIn(Cache<Key>& cache, std::size_t field, std::string_view text, const Key& key, bool later);
  // Puts `text` into the free slot that find() gave for its key.
  template <typename Key>
  std::uint32_t addToCache(Cache<Key>& cache, std::size_t field, std::string_view text, const Key& key,
                           typename Cache<Key>::Slot& freeSlot, bool later);
  // Notes where the row at `stored` holds stand-ins.
  void noteStandIns(std::size_t stored, const TextIds& textIds);
  // Replaces the stand-in ids in the cache by the real ones.
  template <typename Key>
  void settle(Cache<Key>& cache, const std::vector<std::uint32_t>& realIds);
  std::uint32_t intern(std::string_view text);
  std::unique_lock<std::mutex> lockedPool();

  ReadingTable& table_;
  Cache<ShortText> shortTexts_;
  Cache<LongText> longTexts_;
  // The texts given stand-in ids (the first one kFirstStandIn), and where rows hold them.
  std::vector<std::string_view> standIns_;
  struct StandInPlace {
    std::size_t stored;
    std::size_t field;
  };
  std::vector<StandInPlace> standInPlaces_;
  std::vector<std::uint32_t> realIds_;  // of the stand-ins, while they are settled
};

}  // namespace qm::log
