#include "log/text_table_file.h"

#include <charconv>
#include <iterator>
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
// table, and the time column once per second.
class LineFormatter {
public:
  LineFormatter(const ReadingTable& table, const TimeOfDayFormat& timeFormat)
      : table_(table), timeFormat_(timeFormat), columns_(table.textIdCount()) {}

  void appendLine(std::string& out, const StoredRowSpan& span, std::size_t i) {
    const std::size_t start = out.size();
    out.resize(start + kNumberBytes);
    char* at = out.data() + start;
    if (const std::optional<std::int32_t> no = span.no(i)) {
      at = std::to_chars(at, at + kNumberBytes, *no).ptr;
    }
    out.resize(static_cast<std::size_t>(at - out.data()));
    out += '\t';
    if (const std::optional<TimeOfDay> time = span.time(i)) {
      // The text holds no milliseconds: rows of the same second share it.
      if (const TimeOfDay second = *time / 1000; second != secondOfText_) {
        timeText_.clear();
        appendColumn(timeText_, timeFormat_.format(*time));
        secondOfText_ = second;
      }
      out += timeText_;
    } else {
      out += kNullText;
    }
    for (std::size_t field = 0; field < kTextFieldCount; ++field) {
      out += '\t';
      out += column(span.textId(field, i));
    }
    out += kLineEnd;
  }

private:
  std::string_view column(std::uint32_t id) {
    if (id == kNoTextId) {
      return kNullText;
    }
    Column& column = columns_[id];
    if (column.start == kUnset) {
      column.start = static_cast<std::uint32_t>(texts_.size());
      appendColumn(texts_, table_.textOfId(id).substr(0, kTextFieldBytes));
      column.size = static_cast<std::uint32_t>(texts_.size() - column.start);
    }
    return std::string_view(texts_).substr(column.start, column.size);
  }

  static constexpr std::uint32_t kUnset = 0xFFFF'FFFF;
  struct Column {
    std::uint32_t start = kUnset;
    std::uint32_t size = 0;
  };

  const ReadingTable& table_;
  const TimeOfDayFormat& timeFormat_;
  std::vector<Column> columns_;
  std::string texts_;
  TimeOfDay secondOfText_ = -1;
  std::string timeText_;
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
