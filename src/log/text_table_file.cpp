#include "log/text_table_file.h"

#include <algorithm>
#include <charconv>
#include <cstring>

namespace qm::log {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kNullText = "NULL";
constexpr std::size_t kFieldCount = 2 + kTextFieldCount;

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
char* putColumn(char* at, std::string_view text) {
  text = trimmed(text);
  if (text.empty()) {
    text = kNullText;
  }
  char* const end = std::copy(text.begin(), text.end(), at);
  for (; at != end; ++at) {
    if (static_cast<unsigned char>(*at) <= '\r' && (*at == '\t' || *at == '\r' || *at == '\n')) {
      *at = ' ';
    }
  }
  return end;
}

// The whole piece as a 32-bit signed decimal number: an optional minus and digits, nothing else.
std::optional<std::int32_t> wholeNumber(std::string_view piece) {
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(piece.data(), piece.data() + piece.size(), value);
  if (error != std::errc() || end != piece.data() + piece.size()) {
    return std::nullopt;
  }
  return value;
}

// Finds line ends (CR LF, CR or LF) with memchr. The next LF found is kept until the lines have
// passed it, so a file of CR-only lines is not searched to its end once per line.
class LineCutter {
public:
  explicit LineCutter(std::string_view bytes)
      : begin_(bytes.data()), at_(begin_), end_(bytes.data() + bytes.size()) {}

  bool done() const { return at_ == end_; }
  std::size_t offset() const { return static_cast<std::size_t>(at_ - begin_); }

  std::string_view next() {
    if (nextLf_ == nullptr || nextLf_ < at_) {
      const void* lf = std::memchr(at_, '\n', static_cast<std::size_t>(end_ - at_));
      nextLf_ = lf != nullptr ? static_cast<const char*>(lf) : end_;
    }
    const void* cr = std::memchr(at_, '\r', static_cast<std::size_t>(nextLf_ - at_));
    const char* lineEnd = cr != nullptr ? static_cast<const char*>(cr) : nextLf_;
    const std::string_view line(at_, static_cast<std::size_t>(lineEnd - at_));
    at_ = lineEnd;
    if (at_ != end_) {
      at_ += *at_ == '\r' && at_ + 1 != end_ && at_[1] == '\n' ? 2 : 1;
    }
    return line;
  }

private:
  const char* begin_;
  const char* at_;
  const char* end_;
  const char* nextLf_ = nullptr;
};

}  // namespace

void appendTextTableLine(std::string& out, const RowFields& row, const TimeOfDayFormat& timeFormat) {
  // A time fits in the string's inline buffer: no allocation per row.
  std::string time;
  if (row.Time) {
    timeFormat.appendTo(time, *row.Time);
  }
  // The line is written in place into room for its longest form, then cut to its length: the
  // table holds no text of more than 20 bytes (the cut below only keeps that bound true).
  constexpr std::size_t kNumberBytes = 11;
  const std::size_t start = out.size();
  out.resize(start + kNumberBytes + std::max(time.size(), kNullText.size()) + kTextFieldCount * kTextFieldBytes +
             kFieldCount - 1 + kLineEnd.size());
  char* at = out.data() + start;
  if (row.No) {
    at = std::to_chars(at, at + kNumberBytes, *row.No).ptr;
  }
  *at++ = '\t';
  at = putColumn(at, time);
  for (const std::optional<std::string_view>& text : row.texts) {
    *at++ = '\t';
    at = putColumn(at, text.value_or(std::string_view()).substr(0, kTextFieldBytes));
  }
  at = std::copy(kLineEnd.begin(), kLineEnd.end(), at);
  out.resize(static_cast<std::size_t>(at - out.data()));
}

void writeTextTable(const ReadingTable& table, const TimeOfDayFormat& timeFormat, ChunkedOutput& out,
                    const FileProgress& progress) {
  out.buffer() += kTextTableHeader;
  out.buffer() += kLineEnd;
  out.writeRows(table, progress, [&timeFormat](std::string& lines, const StoredRow& row) {
    if (!row.isDeleted()) {
      appendTextTableLine(lines, row.fields, timeFormat);
    }
  });
}

bool readTextTable(std::string_view bytes, const TimeOfDayFormat& timeFormat, ReadingTable& rows,
                   const FileProgress& progress) {
  if (bytes.empty()) {
    return false;
  }
  LineCutter lines(bytes);
  lines.next();
  std::size_t rowsRead = 0;
  while (!lines.done()) {
    if (progress && rowsRead % kProgressRows == 0) {
      progress(lines.offset(), bytes.size());
    }
    RowFields fields;
    std::size_t pieces = 0;
    const bool converted = forEachPiece(lines.next(), '\t', [&](std::string_view piece) {
      const std::size_t position = pieces++;
      if (position == 0) {
        fields.No = wholeNumber(piece);
        return fields.No.has_value();
      }
      if (position == 1) {
        fields.Time = timeFormat.parse(piece);
        return fields.Time.has_value();
      }
      if (position < kFieldCount) {
        fields.texts[position - 2] = piece;
        return true;
      }
      return false;
    });
    if (!converted) {
      return false;
    }
    rows.appendStored(fields, std::nullopt);
    ++rowsRead;
  }
  if (progress) {
    progress(bytes.size(), bytes.size());
  }
  return true;
}

}  // namespace qm::log
