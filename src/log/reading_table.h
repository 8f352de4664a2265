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

#include <QObject>

#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
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
std::string_view cutToFieldWidth(std::string_view text);

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

  bool hasChangeLog() const { return !changeLog_.empty(); }
  void forEachChangeLogEntry(const std::function<void(const ChangeLogEntry&)>& visit) const;
  std::vector<ChangeLogEntry> changeLog() const;

  // Heap bytes held by the rows, the text pool and the change log.
  std::size_t memoryBytes() const;

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
  void moveCurrentRow(std::optional<std::size_t> visibleIndex);

  std::vector<std::unique_ptr<Chunk>> chunks_;
  std::size_t storedCount_ = 0;
  std::unique_ptr<TextPool> texts_;
  // The id each text column stored last: a log repeats its unit, function and mode row after row.
  std::array<std::uint32_t, kTextFieldCount> lastTextIds_{};
  std::vector<std::uint32_t> deletedStored_;  // ascending stored indices of deleted rows
  std::vector<ChangeRun> changeLog_;
  std::optional<std::size_t> currentRow_;
};

}  // namespace qm::log
