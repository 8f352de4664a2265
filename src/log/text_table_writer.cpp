#include "log/text_table_file.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <iterator>
#include <tuple>
#include <vector>

namespace qm::log {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kNullText = "NULL";
constexpr std::size_t kNumberBytes = 11;

bool isTrimmed(char c) { return static_cast<unsigned char>(c) <= 32; }

std::string_view trimmed(std::string_view text) {
  while (!text.empty() && isTrimmed(text.front())) {
    text.remove_prefix(1);
  }
  while (!text.empty() && isTrimmed(text.back())) {
    text.remove_suffix(1);
  }
  return text;
}

// A column as the file holds it: trimmed, "NULL" when nothing is left. A TAB or line break
// inside would cut the line or the row when the file is read back: each becomes one blank.
void appendColumn(std::string& out, std::string_view text) {
  text = trimmed(text);
  if (text.empty()) {
    text = kNullText;
  }
  const std::size_t start = out.size();
  out += text;
  for (std::size_t i = start; i < out.size(); ++i) {
    if (out[i] == '\t' || out[i] == '\r' || out[i] == '\n') {
      out[i] = ' ';
    }
  }
}

// The texts of a row's columns as the file writes them, worked out once per distinct text of the
// table, and the time column once per second. A line is put together in a buffer of its own and
// appended whole: appending it field by field costs a size check and a copy call for each.
class LineFormatter {
public:
  LineFormatter(const ReadingTable& table, const TimeOfDayFormat& timeFormat)
      : table_(table), timeFormat_(timeFormat), columns_(table.textIdCount()) {
    std::memcpy(nullColumn_.bytes.data(), kNullText.data(), kNullText.size());
    nullColumn_.size = static_cast<std::uint8_t>(kNullText.size());
    makeLineRoom();
  }

  void appendLine(OutputBytes& out, const StoredRowSpan& span, std::size_t i) {
    const std::string_view time = timeColumn(span.time(i));  // first: it may grow the line's room
    char* const line = line_.data();
    char* at = line;
    if (const std::optional<std::int32_t> no = span.no(i)) {
      at = std::to_chars(at, at + kNumberBytes, *no).ptr;
    }
    *at++ = '\t';
    std::memcpy(at, time.data(), time.size());
    at += time.size();
    for (std::size_t field = 0; field < kTextFieldCount; ++field) {
      *at++ = '\t';
      const Column& text = column(span.textId(field, i));
      // The whole slot, whatever the text's size: a copy of a fixed size is a move or two.
      std::memcpy(at, text.bytes.data(), text.bytes.size());
      at += text.size;
    }
    std::memcpy(at, kLineEnd.data(), kLineEnd.size());
    at += kLineEnd.size();
    out.append(line, static_cast<std::size_t>(at - line));
  }

private:
  static constexpr std::uint8_t kUnset = 0xFF;
  // A column's text, trimmed and cut to the field width, in a slot of a fixed size.
  struct Column {
    std::array<char, 23> bytes{};
    std::uint8_t size = kUnset;
  };
  static_assert(kTextFieldBytes <= std::tuple_size_v<decltype(Column::bytes)>);

  // The text of the time column; rows of the same second share it, as it holds no milliseconds.
  std::string_view timeColumn(std::optional<TimeOfDay> time) {
    if (!time) {
      return kNullText;
    }
    if (const TimeOfDay second = *time / 1000; second != secondOfText_) {
      timeText_.clear();
      appendColumn(timeText_, timeFormat_.format(*time));
      secondOfText_ = second;
      makeLineRoom();
    }
    return timeText_;
  }

  const Column& column(std::uint32_t id) {
    if (id == kNoTextId) {
      return nullColumn_;
    }
    Column& column = columns_[id];
    if (column.size == kUnset) {
      std::string text;
      appendColumn(text, table_.textOfId(id).substr(0, kTextFieldBytes));
      std::memcpy(column.bytes.data(), text.data(), text.size());
      column.size = static_cast<std::uint8_t>(text.size());
    }
    return column;
  }

  // Room for the longest line: the number, the time as long as its text can be, and every text
  // column's whole slot.
  void makeLineRoom() {
    const std::size_t longest = kNumberBytes + 1 + std::max(timeText_.size(), kNullText.size()) +
                                kTextFieldCount * (1 + std::tuple_size_v<decltype(Column::bytes)>) + kLineEnd.size();
    if (line_.size() < longest) {
      line_.resize(longest);
    }
  }

  const ReadingTable& table_;
  const TimeOfDayFormat& timeFormat_;
  std::vector<Column> columns_;
  Column nullColumn_;
  TimeOfDay secondOfText_ = -1;
  std::string timeText_;
  std::vector<char> line_;
};

}  // namespace

void appendTextTableLine(std::string& out, const RowFields& row, const TimeOfDayFormat& timeFormat) {
  if (row.No) {
    char digits[kNumberBytes];
    out.append(digits, std::to_chars(std::begin(digits), std::end(digits), *row.No).ptr);
  }
  out += '\t';
  appendColumn(out, row.Time ? timeFormat.format(*row.Time) : std::string());
  for (const std::optional<std::string_view>& text : row.texts) {
    out += '\t';
    appendColumn(out, text.value_or(std::string_view()).substr(0, kTextFieldBytes));
  }
  out += kLineEnd;
}

void writeTextTable(const ReadingTable& table, const TimeOfDayFormat& timeFormat, ChunkedOutput& out,
                    const FileProgress& progress) {
  out.buffer() += kTextTableHeader;
  out.buffer() += kLineEnd;
  LineFormatter formatter(table, timeFormat);
  const std::size_t count = table.storedRowCount();
  table.forEachStoredSpan(0, [&](const StoredRowSpan& span) {
    for (std::size_t i = 0; i < span.size(); ++i) {
      if (progress && (span.first() + i) % kProgressRows == 0) {
        progress(span.first() + i, count);
      }
      if (!span.isDeleted(i)) {
        formatter.appendLine(out.buffer(), span, i);
        out.flushIfFull();
      }
    }
  });
  if (progress) {
    progress(count, count);
  }
}

}  // namespace qm::log
