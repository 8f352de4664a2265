#include "log/data_packet.h"

#include "log/data_packet_syntax.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <vector>

namespace qm::log {
namespace {

using packet::kMillisecondsPerHour;
using packet::kMillisecondsPerMinute;
using packet::kTextFieldNames;

constexpr std::string_view kPacketStart =
    "<?xml version=\"1.0\" standalone=\"yes\"?>  <DATAPACKET Version=\"2.0\"><METADATA><FIELDS>"
    "<FIELD attrname=\"No\" fieldtype=\"i4\"/>"
    "<FIELD attrname=\"Time\" fieldtype=\"time\"/>"
    "<FIELD attrname=\"Value\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "<FIELD attrname=\"Unit\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "<FIELD attrname=\"V_Range\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "<FIELD attrname=\"I_Range\" fieldtype=\"string\" WIDTH=\"20\"/>"
    "</FIELDS>";
constexpr std::string_view kParamsWithoutChangeLog = "<PARAMS/>";
constexpr std::string_view kChangeLogStart = "<PARAMS CHANGE_LOG=\"";
constexpr std::string_view kChangeLogEnd = "\"/>";
constexpr std::string_view kRowDataStart = "</METADATA><ROWDATA>";
constexpr std::string_view kPacketEnd = "</ROWDATA></DATAPACKET>";

// What a byte of a text becomes in an attribute value; empty for the bytes written unchanged
// (all others, bytes 80 to FF included).
constexpr std::array<std::string_view, 256> kEscapes = [] {
  std::array<std::string_view, 256> escapes{};
  escapes['<'] = "&lt;";
  escapes['>'] = "&gt;";
  escapes['&'] = "&amp;";
  escapes['\''] = "&apos;";
  escapes['"'] = "&quot;";
  escapes['\r'] = "&#013;";
  escapes['\n'] = "&#010;";
  escapes['\t'] = "&#009;";
  escapes['\\'] = "&#092;";
  return escapes;
}();

// The entries of a stretch of the change log, "row detail kind" each, a blank between two. The
// entries differ only in their row: the rest is formatted once, and each entry appended whole.
void appendChangeStretch(ChunkedOutput& out, ChangeLogEntry entry, std::uint32_t count, bool& firstEntry) {
  // A blank, a row of up to ten digits, and the rest: a blank and up to ten digits twice.
  std::array<char, 1 + 3 * 11> text{};
  char* const rowStart = text.data() + 1;
  char rest[2 * 11];
  char* restEnd = rest;
  *restEnd++ = ' ';
  restEnd = std::to_chars(restEnd, restEnd + 10, entry.detail).ptr;
  *restEnd++ = ' ';
  restEnd = std::to_chars(restEnd, restEnd + 10, entry.kind).ptr;
  const auto restSize = static_cast<std::size_t>(restEnd - rest);
  text[0] = ' ';
  for (std::uint32_t i = 0; i < count; ++i, ++entry.row) {
    char* const end = std::to_chars(rowStart, rowStart + 10, entry.row).ptr;
    std::memcpy(end, rest, restSize);
    // The first entry of the log has no blank before it.
    const char* const from = firstEntry ? rowStart : text.data();
    firstEntry = false;
    out.buffer().append(from, static_cast<std::size_t>(end + restSize - from));
    out.flushIfFull();
  }
}

// The ROW elements of a table, each built in place and appended whole. A text's attribute (its
// name, escaped value and quotes) is worked out once per field and distinct text of the table, not
// once per row: a log repeats its units, functions and modes row after row.
class RowFormatter {
public:
  explicit RowFormatter(const ReadingTable& table) : table_(table) {
    for (std::vector<Attribute>& attributes : textAttributes_) {
      attributes.resize(table.textIdCount());
    }
  }

  void appendRow(OutputBytes& out, const StoredRowSpan& span, std::size_t i) {
    // Bounded: a number has at most 11 characters, and a text attribute at most 12 + 6 * 20 bytes.
    char row[kMaxRowBytes];
    char* at = put(row, "<ROW");
    if (const std::optional<std::uint8_t> state = span.state(i)) {
      at = put(at, " RowState=\"");
      at = std::to_chars(at, at + 3, unsigned{*state}).ptr;
      *at++ = '"';
    }
    if (const std::optional<std::int32_t> no = span.no(i)) {
      at = put(at, " No=\"");
      at = std::to_chars(at, at + 11, *no).ptr;
      *at++ = '"';
    }
    if (const std::optional<TimeOfDay> time = span.time(i)) {
      at = put(at, " Time=\"");
      at = putPacketTime(at, *time);
      *at++ = '"';
    }
    for (std::size_t field = 0; field < kTextFieldCount; ++field) {
      if (const std::uint32_t id = span.textId(field, i); id != kNoTextId) {
        const std::string_view attribute = textAttribute(field, id);
        at = std::copy(attribute.begin(), attribute.end(), at);
      }
    }
    at = put(at, "/>");
    out.append(row, static_cast<std::size_t>(at - row));
  }

private:
  static constexpr std::size_t kMaxRowBytes = 128 + kTextFieldCount * (12 + 6 * kTextFieldBytes);
  static constexpr std::uint32_t kUnset = 0xFFFF'FFFF;
  struct Attribute {
    std::uint32_t start = kUnset;
    std::uint32_t size = 0;
  };

  template <std::size_t N>
  static char* put(char* at, const char (&text)[N]) {
    std::memcpy(at, text, N - 1);
    return at + N - 1;
  }

  // hh:mm: and then seconds * 1000 + milliseconds in five digits.
  static char* putPacketTime(char* at, TimeOfDay time) {
    putDigits(at, time / kMillisecondsPerHour, 2);
    at[2] = ':';
    putDigits(at + 3, time / kMillisecondsPerMinute % 60, 2);
    at[5] = ':';
    putDigits(at + 6, time % kMillisecondsPerMinute, 5);
    return at + 11;
  }

  static void putDigits(char* at, int value, int count) {
    for (int place = count - 1; place >= 0; --place) {
      at[place] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
  }

  std::string_view textAttribute(std::size_t field, std::uint32_t id) {
    Attribute& entry = textAttributes_[field][id];
    if (entry.start == kUnset) {
      entry.start = static_cast<std::uint32_t>(texts_.size());
      texts_ += ' ';
      texts_ += kTextFieldNames[field];
      texts_ += "=\"";
      // The table cuts every text to this width already; the cut here only keeps the bound true.
      for (const char c : table_.textOfId(id).substr(0, kTextFieldBytes)) {
        const std::string_view escape = kEscapes[static_cast<unsigned char>(c)];
        if (escape.empty()) {
          texts_ += c;
        } else {
          texts_ += escape;
        }
      }
      texts_ += '"';
      entry.size = static_cast<std::uint32_t>(texts_.size() - entry.start);
    }
    return std::string_view(texts_).substr(entry.start, entry.size);
  }

  const ReadingTable& table_;
  std::array<std::vector<Attribute>, kTextFieldCount> textAttributes_;
  std::string texts_;
};

}  // namespace

void writeDataPacket(const ReadingTable& table, ChunkedOutput& out, const FileProgress& progress) {
  OutputBytes& buffer = out.buffer();
  buffer += kPacketStart;
  if (table.hasChangeLog()) {
    buffer += kChangeLogStart;
    bool firstEntry = true;
    table.forEachChangeStretch([&](const ChangeLogEntry& first, std::uint32_t count) {
      appendChangeStretch(out, first, count, firstEntry);
    });
    buffer += kChangeLogEnd;
  } else {
    buffer += kParamsWithoutChangeLog;
  }
  buffer += kRowDataStart;
  RowFormatter formatter(table);
  const std::size_t count = table.storedRowCount();
  table.forEachStoredSpan(0, [&](const StoredRowSpan& span) {
    for (std::size_t i = 0; i < span.size(); ++i) {
      if (progress && (span.first() + i) % kProgressRows == 0) {
        progress(span.first() + i, count);
      }
      formatter.appendRow(out.buffer(), span, i);
      out.flushIfFull();
    }
  });
  if (progress) {
    progress(count, count);
  }
  out.buffer() += kPacketEnd;
}

}  // namespace qm::log
