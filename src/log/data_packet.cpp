#include "log/data_packet.h"

#include "core/ansi_text.h"
#include "log/worker_thread.h"

#include <QString>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <charconv>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

namespace qm::log {
namespace {

constexpr std::array<std::string_view, kTextFieldCount> kTextFieldNames{"Value", "Unit", "V_Range", "I_Range"};
constexpr std::string_view kNoName = "No";
constexpr std::string_view kTimeName = "Time";
constexpr std::string_view kChangeLogName = "CHANGE_LOG";

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

constexpr TimeOfDay kMillisecondsPerHour = 3'600'000;
constexpr TimeOfDay kMillisecondsPerMinute = 60'000;

// Pieces of rows larger than this are parsed on two threads.
constexpr std::size_t kParallelBytes = 1024 * 1024;
// Rows of room reserved at a time while rows are parsed on one thread.
constexpr std::size_t kRoomStep = 64 * 1024;

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

template <typename Number>
void appendNumber(std::string& out, Number value) {
  char digits[16];
  const auto result = std::to_chars(std::begin(digits), std::end(digits), value);
  out.append(digits, result.ptr);
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

  void appendRow(std::string& out, const StoredRowSpan& span, std::size_t i) {
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

// Byte classes, looked up rather than compared: a packet has hundreds of millions of bytes.
enum ByteClass : std::uint8_t { kBlank = 1, kEndsName = 2 };
constexpr std::array<std::uint8_t, 256> kByteClasses = [] {
  std::array<std::uint8_t, 256> classes{};
  for (const char c : {' ', '\t', '\r', '\n'}) {
    classes[static_cast<unsigned char>(c)] = kBlank | kEndsName;
  }
  for (const char c : {'/', '>', '=', '<', '"', '\'', '&'}) {
    classes[static_cast<unsigned char>(c)] = kEndsName;
  }
  return classes;
}();

bool isBlank(char c) { return (kByteClasses[static_cast<unsigned char>(c)] & kBlank) != 0; }

bool endsName(char c) { return (kByteClasses[static_cast<unsigned char>(c)] & kEndsName) != 0; }

// A row's attributes: the six fields in field order after RowState, then any other.
enum class RowAttribute { RowState, No, Time, Value, Unit, V_Range, I_Range, Other };

template <std::size_t N>
bool named(std::string_view name, const char (&literal)[N]) {
  return std::memcmp(name.data(), literal, N - 1) == 0;  // sizes already compared: no call
}

RowAttribute rowAttribute(std::string_view name) {
  switch (name.size()) {
    case 2: return named(name, "No") ? RowAttribute::No : RowAttribute::Other;
    case 4: return named(name, "Time") ? RowAttribute::Time : named(name, "Unit") ? RowAttribute::Unit : RowAttribute::Other;
    case 5: return named(name, "Value") ? RowAttribute::Value : RowAttribute::Other;
    case 7:
      return named(name, "V_Range")   ? RowAttribute::V_Range
             : named(name, "I_Range") ? RowAttribute::I_Range
                                      : RowAttribute::Other;
    case 8: return named(name, "RowState") ? RowAttribute::RowState : RowAttribute::Other;
    default: return RowAttribute::Other;
  }
}

bool isPlainAscii(std::string_view text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// A text quoted in a message: its first 20 bytes.
std::string quoted(std::string_view text) {
  const std::string_view shown = cutToFieldWidth(text);
  return '"' + std::string(shown) + (shown.size() < text.size() ? "...\"" : "\"");
}

// Bytes of an attribute value that need more than copying: references, the blanks that XML
// turns into spaces, and "<", which a value must not hold.
constexpr std::array<bool, 256> kNeedsDecoding = [] {
  std::array<bool, 256> needs{};
  needs['&'] = needs['<'] = needs['\t'] = needs['\r'] = needs['\n'] = true;
  return needs;
}();

template <typename Number>
std::optional<Number> wholeNumber(std::string_view text, int base = 10) {
  Number value{};
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  if (text.empty() || error != std::errc() || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

// How the packet's texts are written: code page 936 bytes (our own packets, and those that
// declare no encoding or a Chinese one), or UTF-8.
enum class TextCoding { Ansi, Utf8 };

// The packet's encoding as its declaration names it, or none when it names one this program
// cannot read.
std::optional<TextCoding> codingNamed(std::string_view name) {
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  if (lower == "utf-8" || lower == "utf8") {
    return TextCoding::Utf8;
  }
  for (const std::string_view ansi : {"gb2312", "gbk", "gb18030", "cp936", "windows-936", "ms936", "x-gbk", "us-ascii", "ascii"}) {
    if (lower == ansi) {
      return TextCoding::Ansi;
    }
  }
  return std::nullopt;
}

// A character reference's code point as bytes of the packet's coding.
bool appendCharacter(std::string& out, char32_t code, TextCoding coding) {
  if (code < 0x80) {
    out += static_cast<char>(code);
    return true;
  }
  if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return false;
  }
  if (coding == TextCoding::Utf8) {
    out += QString::fromUcs4(&code, 1).toUtf8().toStdString();
    return true;
  }
  std::string bytes;
  if (!toAnsi(QString::fromUcs4(&code, 1), bytes)) {
    return false;
  }
  out += bytes;
  return true;
}

// The text of "&name;" (without "&" and ";") as bytes.
bool appendReference(std::string& out, std::string_view name, TextCoding coding) {
  static constexpr std::array<std::pair<std::string_view, char>, 5> kNamed{
      {{"lt", '<'}, {"gt", '>'}, {"amp", '&'}, {"apos", '\''}, {"quot", '"'}}};
  for (const auto& [entity, byte] : kNamed) {
    if (name == entity) {
      out += byte;
      return true;
    }
  }
  if (name.size() < 2 || name[0] != '#') {
    return false;
  }
  const bool hex = name[1] == 'x';
  const std::optional<std::uint32_t> code = wholeNumber<std::uint32_t>(name.substr(hex ? 2 : 1), hex ? 16 : 10);
  return code && appendCharacter(out, *code, coding);
}

// A value as XML reads it: references resolved, and TAB, CR, LF and CR LF each made one blank.
// Points into `raw` when nothing needs resolving, else into `scratch`; none, with the reason in
// `why`, when the value is not well-formed.
std::optional<std::string_view> attributeValue(std::string_view raw, std::string& scratch, TextCoding coding,
                                               std::string& why) {
  std::size_t plainEnd = 0;
  while (plainEnd < raw.size() && !kNeedsDecoding[static_cast<unsigned char>(raw[plainEnd])]) {
    ++plainEnd;
  }
  if (plainEnd == raw.size()) {
    return raw;
  }
  scratch.assign(raw.substr(0, plainEnd));
  for (std::size_t i = plainEnd; i < raw.size(); ++i) {
    const char c = raw[i];
    if (c == '<') {
      why = "a value holds \"<\"";
      return std::nullopt;
    }
    if (c == '&') {
      const std::size_t end = raw.find(';', i);
      if (end == std::string_view::npos) {
        why = "the reference " + quoted(raw.substr(i)) + " has no \";\"";
        return std::nullopt;
      }
      if (!appendReference(scratch, raw.substr(i + 1, end - i - 1), coding)) {
        why = "the reference " + quoted(raw.substr(i, end - i + 1)) + " is unknown or has no code page 936 form";
        return std::nullopt;
      }
      i = end;
    } else if (isBlank(c)) {
      scratch += ' ';
      if (c == '\r' && i + 1 < raw.size() && raw[i + 1] == '\n') {
        ++i;
      }
    } else {
      scratch += c;
    }
  }
  return std::string_view(scratch);
}

// hh:mm:sssss, the last five digits seconds * 1000 + milliseconds, or hh:mm:ss without them.
std::optional<TimeOfDay> packetTime(std::string_view text) {
  constexpr std::string_view kShape = "00:00:00000";
  if (text.size() != kShape.size() && text.size() != kShape.size() - 3) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < text.size(); ++i) {
    const bool matches = kShape[i] == ':' ? text[i] == ':' : text[i] >= '0' && text[i] <= '9';
    if (!matches) {
      return std::nullopt;
    }
  }
  auto number = [text](std::size_t start, std::size_t length) {
    int value = 0;
    for (const char c : text.substr(start, length)) {
      value = value * 10 + (c - '0');
    }
    return value;
  };
  const int hour = number(0, 2);
  const int minute = number(3, 2);
  const int inMinute = text.size() == kShape.size() ? number(6, 5) : number(6, 2) * 1000;
  if (hour > 23 || minute > 59 || inMinute >= kMillisecondsPerMinute) {
    return std::nullopt;
  }
  return hour * kMillisecondsPerHour + minute * kMillisecondsPerMinute + inMinute;
}

// "<ROW" followed by what ends an element name: where a row element begins.
bool isRowStart(std::string_view bytes, std::size_t at) {
  return bytes.substr(at, 4) == "<ROW" && (at + 4 == bytes.size() || endsName(bytes[at + 4]));
}

std::size_t nextRowStart(std::string_view bytes, std::size_t from) {
  for (std::size_t at = bytes.find("<ROW", from); at != std::string_view::npos; at = bytes.find("<ROW", at + 1)) {
    if (isRowStart(bytes, at)) {
      return at;
    }
  }
  return std::string_view::npos;
}

std::size_t lastRowStart(std::string_view bytes) {
  for (std::size_t at = bytes.rfind("<ROW"); at != std::string_view::npos; at = at == 0 ? std::string_view::npos : bytes.rfind("<ROW", at - 1)) {
    if (isRowStart(bytes, at)) {
      return at;
    }
  }
  return std::string_view::npos;
}

std::size_t countRowStarts(std::string_view bytes) {
  std::size_t count = 0;
  for (std::size_t at = nextRowStart(bytes, 0); at != std::string_view::npos; at = nextRowStart(bytes, at + 4)) {
    ++count;
  }
  return count;
}

// The syntax of the packet over bytes in memory: tags, attributes, values. A step that fails
// tells why and where, and whether it failed only because the bytes ran out (more of the file
// might complete it).
class PacketSyntax {
public:
  void reset(std::string_view bytes) {
    bytes_ = bytes;
    at_ = 0;
    ranOut_ = false;
    error_.clear();
    errorAt_ = 0;
  }

  TextCoding coding = TextCoding::Ansi;

  std::size_t at() const { return at_; }
  bool atEnd() const { return at_ == bytes_.size(); }
  bool ranOut() const { return ranOut_; }
  const std::string& error() const { return error_; }
  std::size_t errorAt() const { return errorAt_; }
  std::string_view bytes() const { return bytes_; }
  void skip(std::size_t count) { at_ += count; }

  bool fail(std::string what) { return failAt(at_, std::move(what)); }
  // Fails at the value `raw`, a view of the bytes.
  bool failIn(std::string_view raw, std::string what) {
    return failAt(static_cast<std::size_t>(raw.data() - bytes_.data()), std::move(what));
  }
  // Fails for want of the bytes after the end.
  bool needMore() {
    ranOut_ = true;
    return false;
  }
  bool failAt(std::size_t at, std::string what) {
    if (error_.empty()) {
      error_ = std::move(what);
      errorAt_ = at;
    }
    return false;
  }

  bool lookingAt(std::string_view text) {
    const std::size_t rest = bytes_.size() - at_;
    if (rest >= text.size()) {
      for (std::size_t i = 0; i < text.size(); ++i) {
        if (bytes_[at_ + i] != text[i]) {
          return false;
        }
      }
      return true;
    }
    ranOut_ = ranOut_ || text.substr(0, rest) == bytes_.substr(at_);
    return false;
  }

  bool skipBlanks() {
    const std::size_t start = at_;
    while (at_ < bytes_.size() && isBlank(bytes_[at_])) {
      ++at_;
    }
    return at_ != start;
  }

  std::string_view name() {
    const std::size_t start = at_;
    while (at_ < bytes_.size() && !endsName(bytes_[at_])) {
      ++at_;
    }
    ranOut_ = ranOut_ || at_ == bytes_.size();
    return bytes_.substr(start, at_ - start);
  }

  // An attribute's name, "=" and the quote that opens its value; the value's first byte follows.
  bool attributeStart(std::string_view& attribute, char& quote) {
    const std::size_t start = at_;
    attribute = name();
    if (attribute.empty()) {
      return failAt(start, "expected an attribute or the end of the tag");
    }
    skipBlanks();
    if (!lookingAt("=")) {
      return fail("expected \"=\" after the attribute " + quoted(attribute));
    }
    ++at_;
    skipBlanks();
    if (at_ >= bytes_.size()) {
      ranOut_ = true;
      return fail("expected the value of the attribute " + quoted(attribute));
    }
    quote = bytes_[at_];
    if (quote != '"' && quote != '\'') {
      return fail("the value of the attribute " + quoted(attribute) + " is not in quotes");
    }
    ++at_;
    return true;
  }

  // A start tag: '<', its name and its attributes, each handed to `visit(name, rawValue)`, which
  // may refuse it. `empty` tells whether the tag ended with "/>". Blanks before it are skipped.
  template <typename Visit>
  bool anyStartTag(std::string_view& tagName, bool& empty, Visit&& visit) {
    skipBlanks();
    if (!lookingAt("<")) {
      return fail("expected a start tag");
    }
    ++at_;
    tagName = name();
    if (tagName.empty()) {
      return fail("expected an element name after \"<\"");
    }
    for (;;) {
      const bool blank = skipBlanks();
      if (lookingAt("/>") || lookingAt(">")) {
        empty = bytes_[at_] == '/';
        at_ += empty ? 2 : 1;
        return true;
      }
      if (!blank) {
        return fail(at_ == bytes_.size() ? "the tag <" + std::string(tagName) + "> does not end"
                                         : "expected a blank before the next attribute of <" + std::string(tagName) + ">");
      }
      std::string_view attribute;
      char quote = 0;
      if (!attributeStart(attribute, quote)) {
        return false;
      }
      const std::size_t valueEnd = bytes_.find(quote, at_);
      if (valueEnd == std::string_view::npos) {
        ranOut_ = true;
        return fail("the value of the attribute " + quoted(attribute) + " does not end");
      }
      const std::size_t valueStart = at_;
      at_ = valueEnd + 1;
      if (!visit(attribute, bytes_.substr(valueStart, valueEnd - valueStart))) {
        return failAt(valueStart, "the attribute " + quoted(attribute) + " is not valid");
      }
    }
  }

  template <typename Visit>
  bool startTag(std::string_view expectedName, bool& empty, Visit&& visit) {
    std::string_view tagName;
    const std::size_t start = at_;
    if (!anyStartTag(tagName, empty, visit)) {
      return false;
    }
    return tagName == expectedName || failAt(start, "expected <" + std::string(expectedName) + "> where <" +
                                                        std::string(tagName) + "> is");
  }

  bool endTag(std::string_view tagName) {
    skipBlanks();
    const std::size_t start = at_;
    if (!lookingAt("</")) {
      return fail("expected the end tag </" + std::string(tagName) + ">");
    }
    at_ += 2;
    const std::string_view found = name();
    skipBlanks();
    if (found != tagName || !lookingAt(">")) {
      return failAt(start, "expected the end tag </" + std::string(tagName) + ">");
    }
    ++at_;
    return true;
  }

  bool atEndTag() {
    skipBlanks();
    return lookingAt("</");
  }

  // Checks an attribute that the table has no use for: its value must still be well-formed.
  auto ignoreAttribute() {
    return [this](std::string_view, std::string_view raw) { return value(raw).has_value(); };
  }

  std::optional<std::string_view> value(std::string_view raw, std::string& scratch) {
    std::string why;
    const std::optional<std::string_view> decoded = attributeValue(raw, scratch, coding, why);
    if (!decoded) {
      failIn(raw, why);
    }
    return decoded;
  }
  std::optional<std::string_view> value(std::string_view raw) { return value(raw, scratch_); }

  // The children of an element whose content the table has no use for, up to its end tag.
  bool skipContent(std::string_view tagName, int depth = 0) {
    while (!atEndTag()) {
      if (depth == kMaxIgnoredDepth) {
        return fail("elements are nested more than " + std::to_string(kMaxIgnoredDepth) + " deep");
      }
      std::string_view childName;
      bool empty = false;
      if (!anyStartTag(childName, empty, ignoreAttribute()) || (!empty && !skipContent(childName, depth + 1))) {
        return false;
      }
    }
    return endTag(tagName);
  }

private:
  static constexpr int kMaxIgnoredDepth = 32;

  std::string_view bytes_;
  std::size_t at_ = 0;
  bool ranOut_ = false;
  std::string error_;
  std::size_t errorAt_ = 0;
  std::string scratch_;
};

// Parses ROW elements into rows of the room the table reserved; one for each thread.
class RowsParser {
public:
  RowsParser(ReadingTable& table, TextCoding coding) : writer_(table) {
    syntax_.coding = coding;
    kept_.reserve(kPendingRows * kTextFieldCount * kTextFieldBytes);
  }

  enum class Stop {
    End,        // every byte was read
    EndTag,     // at an end tag: the rows are over
    OutOfRoom,  // at a row that did not fit in the room given
    RanOut,     // at a row that the bytes end inside of
    Failed,     // at what is not a row
  };
  struct Outcome {
    std::size_t rows = 0;
    Stop stop = Stop::End;
    std::size_t at = 0;
    std::string why;
  };

  // Writes the rows of `bytes` into reserved rows `firstRow` on, up to `roomEnd`.
  Outcome parse(std::string_view bytes, std::size_t firstRow, std::size_t roomEnd) {
    syntax_.reset(bytes);
    Outcome outcome = parseRows(firstRow, roomEnd);
    writePending();
    return outcome;
  }

private:
  // Rows are written a few at a time, after their values were announced to the writer: looking a
  // value up then need not wait for memory.
  static constexpr std::size_t kPendingRows = 16;
  struct PendingRow {
    std::size_t row = 0;
    RowFields fields;
    std::optional<std::uint8_t> state;
  };

  Outcome parseRows(std::size_t firstRow, std::size_t roomEnd) {
    Outcome outcome;
    for (;;) {
      syntax_.skipBlanks();
      outcome.at = syntax_.at();
      if (syntax_.atEnd()) {
        outcome.stop = Stop::End;
        return outcome;
      }
      if (syntax_.lookingAt("</")) {
        outcome.stop = Stop::EndTag;
        return outcome;
      }
      if (firstRow + outcome.rows == roomEnd) {
        outcome.stop = Stop::OutOfRoom;
        return outcome;
      }
      if (!readWrittenRow(firstRow + outcome.rows) && !readRow(firstRow + outcome.rows)) {
        if (syntax_.ranOut()) {
          outcome.stop = Stop::RanOut;
        } else {
          outcome.stop = Stop::Failed;
          outcome.at = syntax_.errorAt();
          outcome.why = syntax_.error();
        }
        return outcome;
      }
      ++outcome.rows;
    }
  }

  void writePending() {
    for (std::size_t i = 0; i < pendingCount_; ++i) {
      writer_.write(pending_[i].row, pending_[i].fields, pending_[i].state);
    }
    pendingCount_ = 0;
    kept_.clear();
  }

  // Keeps a row until its turn to be written. Texts that point into buffers the next row reuses
  // (a value with references, a converted text) are kept with it.
  void keep(std::size_t row, RowFields& fields, std::optional<std::uint8_t> state) {
    if (pendingCount_ == kPendingRows) {
      writePending();
    }
    for (std::optional<std::string_view>& text : fields.texts) {
      if (text && (text->data() < syntax_.bytes().data() || text->data() >= syntax_.bytes().data() + syntax_.bytes().size())) {
        const std::string_view cut = cutToFieldWidth(*text);
        // Room for every text of the pending rows was reserved: views into kept_ stay valid.
        Q_ASSERT(kept_.size() + cut.size() <= kept_.capacity());
        text = std::string_view(kept_.data() + kept_.size(), cut.size());
        kept_ += cut;
      }
    }
    if (fields.texts[0]) {
      writer_.expect(TextField::Value, *fields.texts[0]);
    }
    pending_[pendingCount_++] = {row, fields, state};
  }

  // A row in the form this program writes it (attributes in field order, double quotes, one
  // blank before each, no references in the values), read straight from the bytes. Anything else
  // is left untouched for readRow, which reads every form the format allows and says what is wrong.
  bool readWrittenRow(std::size_t row) {
    const std::string_view bytes = syntax_.bytes();
    std::size_t at = syntax_.at();
    auto literal = [&](std::string_view text) {
      if (bytes.size() - at < text.size() || std::memcmp(bytes.data() + at, text.data(), text.size()) != 0) {
        return false;
      }
      at += text.size();
      return true;
    };
    // The value up to its closing quote, when it holds no byte that reading it would change.
    auto rawValue = [&](std::string_view& value) {
      const std::size_t start = at;
      while (at < bytes.size() && bytes[at] != '"') {
        if (kNeedsDecoding[static_cast<unsigned char>(bytes[at])]) {
          return false;
        }
        ++at;
      }
      if (at == bytes.size()) {
        return false;
      }
      value = bytes.substr(start, at - start);
      ++at;
      return true;
    };
    if (!literal("<ROW")) {
      return false;
    }
    RowFields fields;
    std::optional<std::uint8_t> state;
    std::string_view value;
    if (literal(" RowState=\"")) {
      if (!rawValue(value) || !(state = wholeNumber<std::uint8_t>(value))) {
        return false;
      }
    }
    if (literal(" No=\"")) {
      if (!rawValue(value) || !(fields.No = wholeNumber<std::int32_t>(value))) {
        return false;
      }
    }
    if (literal(" Time=\"")) {
      if (!rawValue(value) || !(fields.Time = packetTime(value))) {
        return false;
      }
    }
    for (std::size_t field = 0; field < kTextFieldCount; ++field) {
      if (bytes.size() - at > kTextFieldNames[field].size() + 3 && bytes[at] == ' ' &&
          bytes.substr(at + 1, kTextFieldNames[field].size()) == kTextFieldNames[field] &&
          bytes.substr(at + 1 + kTextFieldNames[field].size(), 2) == "=\"") {
        at += kTextFieldNames[field].size() + 3;
        if (!rawValue(value) || !(fields.texts[field] = tableText(field, value, value))) {
          return false;
        }
      }
    }
    if (!literal("/>")) {
      return false;
    }
    syntax_.skip(at - syntax_.at());
    keep(row, fields, state);
    return true;
  }

  bool readRow(std::size_t row) {
    RowFields fields;
    std::optional<std::uint8_t> state;
    // Which of RowState, No, Time and the four texts were given: each at most once.
    unsigned given = 0;
    auto once = [&](unsigned bit, std::string_view attribute, std::string_view raw) {
      const bool first = (given & bit) == 0;
      given |= bit;
      return first || syntax_.failIn(raw, "the attribute " + quoted(attribute) + " is given twice");
    };
    auto number = [&](std::string_view raw, auto& into, std::string_view what) {
      using Number = typename std::remove_reference_t<decltype(into)>::value_type;
      const std::optional<std::string_view> value = syntax_.value(raw);
      into = value ? wholeNumber<Number>(*value) : std::nullopt;
      if (value && !into) {
        return syntax_.failIn(raw, quoted(*value) + " is not " + std::string(what) + ", a whole number from " +
                                       std::to_string(std::numeric_limits<Number>::min()) + " to " +
                                       std::to_string(std::numeric_limits<Number>::max()));
      }
      return into.has_value();
    };
    bool empty = false;
    const bool tagRead = syntax_.startTag("ROW", empty, [&](std::string_view attribute, std::string_view raw) {
      const RowAttribute which = rowAttribute(attribute);
      switch (which) {
        case RowAttribute::RowState:
          return once(1, attribute, raw) && number(raw, state, "a row state (RowState)");
        case RowAttribute::No:
          return once(2, attribute, raw) && number(raw, fields.No, "a record number (No)");
        case RowAttribute::Time: {
          const std::optional<std::string_view> value = syntax_.value(raw);
          fields.Time = value ? packetTime(*value) : std::nullopt;
          if (value && !fields.Time) {
            return syntax_.failIn(raw, quoted(*value) + " is not a time of day (Time) as hh:nn:sssss or hh:nn:ss");
          }
          return once(4, attribute, raw) && fields.Time.has_value();
        }
        case RowAttribute::Value:
        case RowAttribute::Unit:
        case RowAttribute::V_Range:
        case RowAttribute::I_Range: {
          const auto field = static_cast<std::size_t>(which) - static_cast<std::size_t>(RowAttribute::Value);
          const std::optional<std::string_view> value = syntax_.value(raw, textScratch_[field]);
          fields.texts[field] = value ? tableText(field, *value, raw) : std::nullopt;
          return once(8u << field, attribute, raw) && fields.texts[field].has_value();
        }
        case RowAttribute::Other:
          break;
      }
      return syntax_.value(raw).has_value();
    });
    if (!tagRead) {
      return false;
    }
    if (!empty && !syntax_.skipContent("ROW")) {
      return false;
    }
    keep(row, fields, state);
    return true;
  }

  // A text as the table stores it: code page 936 bytes. A UTF-8 packet's texts are converted;
  // the same text in the same field as in the row before is converted only once.
  std::optional<std::string_view> tableText(std::size_t field, std::string_view text, std::string_view raw) {
    if (syntax_.coding == TextCoding::Ansi || isPlainAscii(text)) {
      return text;
    }
    if (text != lastUtf8_[field]) {
      QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
      const QString unicode = decoder.decode(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
      if (decoder.hasError()) {
        syntax_.failIn(raw, "the " + std::string(kTextFieldNames[field]) + " text is not UTF-8, as the packet declares");
        return std::nullopt;
      }
      if (!toAnsi(unicode, lastAnsi_[field])) {
        syntax_.failIn(raw, "the " + std::string(kTextFieldNames[field]) + " text \"" + toAnsiLossy(unicode) +
                                "\" has a character without a code page 936 form");
        return std::nullopt;
      }
      lastUtf8_[field] = text;
    }
    return std::string_view(lastAnsi_[field]);
  }

  PacketSyntax syntax_;
  ReadingTable::RowWriter writer_;
  std::array<PendingRow, kPendingRows> pending_;
  std::size_t pendingCount_ = 0;
  std::string kept_;
  std::array<std::string, kTextFieldCount> textScratch_;
  std::array<std::string, kTextFieldCount> lastUtf8_;
  std::array<std::string, kTextFieldCount> lastAnsi_;
};

class PacketReader {
public:
  PacketReader(ChunkedInput& input, ReadingTable& table, const FileProgress& progress)
      : input_(input), table_(table), progress_(progress) {}

  std::optional<LoadFailure> read() {
    if (input_.size() == 0) {
      return LoadFailure{"the file is empty", std::nullopt, 0};
    }
    report();
    bool rowData = false;
    const bool read = step([this] { return readDeclaration(); }) &&
                      step([this] {
                        bool empty = false;
                        return syntax_.startTag("DATAPACKET", empty, syntax_.ignoreAttribute()) &&
                               (!empty || syntax_.fail("the DATAPACKET element is empty"));
                      }) &&
                      step([this] {
                        bool empty = false;
                        return syntax_.startTag("METADATA", empty, syntax_.ignoreAttribute()) &&
                               (!empty || syntax_.fail("the METADATA element is empty"));
                      }) &&
                      step([this] { return readFields(); }) && readParams() &&
                      step([this] { return syntax_.endTag("METADATA"); }) &&
                      step([&] {
                        bool empty = false;
                        const bool tag = syntax_.startTag("ROWDATA", empty, syntax_.ignoreAttribute());
                        rowData = !empty;
                        return tag;
                      }) &&
                      (!rowData || readRows()) && step([&] {
                        if (rowData && !syntax_.endTag("ROWDATA")) {
                          return false;
                        }
                        if (!syntax_.endTag("DATAPACKET")) {
                          return false;
                        }
                        syntax_.skipBlanks();
                        if (!syntax_.atEnd()) {
                          return syntax_.fail("there is more after the end of the packet");
                        }
                        // Blanks up to the bytes held: more may follow them.
                        return input_.atEnd() || syntax_.needMore();
                      });
    table_.commitReservedRows(read ? rows_ : 0);
    if (!read) {
      return failure_ ? failure_ : LoadFailure{"the packet could not be read", std::nullopt, input_.offset()};
    }
    input_.consume(input_.bytes().size());
    report();
    return std::nullopt;
  }

private:
  // Runs one piece of the packet's syntax on the bytes held, reading more of the file and running
  // it again while it fails only for want of bytes. Nothing is consumed until it succeeds.
  template <typename Step>
  bool step(Step&& parse) {
    for (;;) {
      syntax_.reset(input_.bytes());
      if (parse()) {
        input_.consume(syntax_.at());
        return true;
      }
      if (!syntax_.ranOut() || input_.atEnd()) {
        if (!syntax_.ranOut()) {
          return failAt(syntax_.errorAt(), syntax_.error());
        }
        return failAt(syntax_.bytes().size(),
                      "the packet ends early" + (syntax_.error().empty() ? std::string() : ": " + syntax_.error()));
      }
      if (!input_.readMore()) {
        failure_ = input_.failure();
        return false;
      }
    }
  }

  bool failAt(std::size_t at, std::string what) {
    failure_ = LoadFailure{std::move(what), std::nullopt, input_.offset() + at};
    return false;
  }

  void report() const {
    if (progress_) {
      progress_(input_.offset(), input_.size());
    }
  }

  // The declaration, when there is one: its encoding says how the texts are written. A UTF-8
  // byte-order mark says it as well.
  bool readDeclaration() {
    syntax_.coding = TextCoding::Ansi;
    if (syntax_.lookingAt("\xEF\xBB\xBF")) {
      syntax_.skip(3);
      syntax_.coding = TextCoding::Utf8;
    }
    if (!syntax_.lookingAt("<?xml ") && !syntax_.lookingAt("<?xml\t") && !syntax_.lookingAt("<?xml\r") &&
        !syntax_.lookingAt("<?xml\n")) {
      return !syntax_.ranOut() || syntax_.needMore();
    }
    const std::size_t start = syntax_.at();
    const std::string_view rest = syntax_.bytes().substr(start);
    const std::size_t end = rest.find("?>");
    if (end == std::string_view::npos) {
      syntax_.skip(rest.size());
      syntax_.needMore();
      return syntax_.failAt(start, "the XML declaration does not end");
    }
    {
      const std::string_view declaration = rest.substr(0, end);
      if (const std::size_t encoding = declaration.find("encoding"); encoding != std::string_view::npos) {
        std::size_t at = declaration.find_first_of("\"'", encoding);
        const std::size_t close = at == std::string_view::npos ? at : declaration.find(declaration[at], at + 1);
        if (close == std::string_view::npos) {
          return syntax_.failAt(start, "the XML declaration's encoding is not in quotes");
        }
        const std::string_view name = declaration.substr(at + 1, close - at - 1);
        const std::optional<TextCoding> coding = codingNamed(name);
        if (!coding) {
          return syntax_.failAt(start, "the packet's encoding " + quoted(name) +
                                           " cannot be read: UTF-8 and code page 936 can");
        }
        if (syntax_.coding != TextCoding::Utf8) {
          syntax_.coding = *coding;
        }
      }
    }
    syntax_.skip(end + 2);
    return true;
  }

  bool readFields() {
    fieldsFound_.fill(false);
    bool empty = false;
    if (!syntax_.startTag("FIELDS", empty, syntax_.ignoreAttribute())) {
      return false;
    }
    while (!empty && !syntax_.atEndTag()) {
      std::string attrname;
      std::string fieldtype;
      bool emptyField = false;
      const std::size_t start = syntax_.at();
      const bool tagRead = syntax_.startTag("FIELD", emptyField, [&](std::string_view attribute, std::string_view raw) {
        const std::optional<std::string_view> value = syntax_.value(raw);
        if (value && attribute == "attrname") {
          attrname = *value;
        } else if (value && attribute == "fieldtype") {
          fieldtype = *value;
        }
        return value.has_value();
      });
      if (!tagRead || (!emptyField && !syntax_.skipContent("FIELD")) || !takeField(start, attrname, fieldtype)) {
        return false;
      }
    }
    if (!empty && !syntax_.endTag("FIELDS")) {
      return false;
    }
    for (std::size_t field = 0; field < kFields.size(); ++field) {
      if (!fieldsFound_[field]) {
        return syntax_.fail("the packet has no FIELD named " + quoted(kFields[field].first));
      }
    }
    return true;
  }

  // One of the table's six fields, named once with its type; any other field is ignored.
  bool takeField(std::size_t at, std::string_view attrname, std::string_view fieldtype) {
    if (attrname.empty() || fieldtype.empty()) {
      return syntax_.failAt(at, "a FIELD lacks its attrname or fieldtype");
    }
    for (std::size_t field = 0; field < kFields.size(); ++field) {
      if (attrname == kFields[field].first) {
        if (fieldsFound_[field]) {
          return syntax_.failAt(at, "the field " + quoted(attrname) + " is described twice");
        }
        fieldsFound_[field] = true;
        if (fieldtype != kFields[field].second) {
          return syntax_.failAt(at, "the field " + quoted(attrname) + " has the type " + quoted(fieldtype) + ", not " +
                                        quoted(kFields[field].second));
        }
      }
    }
    return true;
  }

  // PARAMS, whose CHANGE_LOG may be far longer than the bytes held: it is read as it streams by.
  bool readParams() {
    bool empty = false;
    if (!step([this] {
          syntax_.skipBlanks();
          if (!syntax_.lookingAt("<")) {
            return syntax_.fail("expected <PARAMS>");
          }
          syntax_.skip(1);
          return syntax_.name() == "PARAMS" || syntax_.fail("expected <PARAMS>");
        })) {
      return false;
    }
    for (bool more = true; more;) {
      std::string attribute;
      char quote = 0;
      if (!step([&] {
            const bool blank = syntax_.skipBlanks();
            if (syntax_.lookingAt("/>") || syntax_.lookingAt(">")) {
              empty = syntax_.lookingAt("/>");
              syntax_.skip(empty ? 2 : 1);
              more = false;
              return true;
            }
            if (!blank) {
              return syntax_.fail("expected a blank before the next attribute of <PARAMS>");
            }
            std::string_view name;
            if (!syntax_.attributeStart(name, quote)) {
              return false;
            }
            attribute = name;
            return true;
          })) {
        return false;
      }
      if (more && !(attribute == kChangeLogName ? readChangeLog(quote) : step([&] {
              const std::size_t end = syntax_.bytes().find(quote);
              if (end == std::string_view::npos) {
                syntax_.skip(syntax_.bytes().size());
                return syntax_.needMore();
              }
              syntax_.skip(end + 1);
              return syntax_.value(syntax_.bytes().substr(0, end)).has_value();
            }))) {
        return false;
      }
    }
    return empty || step([this] { return syntax_.skipContent("PARAMS"); });
  }

  // Unsigned numbers separated by blanks, three to an entry, read a piece of the file at a time.
  bool readChangeLog(char quote) {
    std::array<std::uint32_t, 3> entry{};
    std::size_t taken = 0;
    std::uint64_t number = 0;
    bool inNumber = false;
    auto endNumber = [&] {
      if (inNumber) {
        entry[taken++] = static_cast<std::uint32_t>(number);
        number = 0;
        inNumber = false;
        if (taken == entry.size()) {
          table_.appendChangeLogEntry({entry[0], entry[1], entry[2]});
          taken = 0;
        }
      }
    };
    // A character of the value, from the file or from a reference.
    auto take = [&](char c) {
      if (c >= '0' && c <= '9') {
        number = number * 10 + static_cast<std::uint64_t>(c - '0');
        inNumber = true;
        return number <= std::numeric_limits<std::uint32_t>::max();
      }
      if (isBlank(c)) {
        endNumber();
        return true;
      }
      return false;
    };
    for (;;) {
      const std::string_view bytes = input_.bytes();
      std::size_t at = 0;
      for (; at < bytes.size(); ++at) {
        const char c = bytes[at];
        if (c == quote) {
          endNumber();
          input_.consume(at + 1);
          return taken == 0 || failAt(0, "the CHANGE_LOG does not hold three numbers for each change");
        }
        if (c == '&') {
          // A reference: resolved when it is held whole, else read on the next round.
          const std::size_t end = bytes.find(';', at);
          if (end == std::string_view::npos && at + 16 > bytes.size() && !input_.atEnd()) {
            break;
          }
          std::string resolved;
          if (end == std::string_view::npos || !appendReference(resolved, bytes.substr(at + 1, end - at - 1), syntax_.coding) ||
              resolved.size() != 1 || !take(resolved[0])) {
            return failAt(at, "the CHANGE_LOG is not a list of numbers");
          }
          at = end;
        } else if (!take(c)) {
          return failAt(at, "the CHANGE_LOG is not a list of numbers");
        }
      }
      input_.consume(at);
      if (!input_.readMore()) {
        failure_ = input_.failure();
        return failure_ ? false : failAt(0, "the packet ends early: the CHANGE_LOG does not end");
      }
    }
  }

  // The rows, a few megabytes of the file at a time, each piece ending before the last row that
  // starts in it (that one may not be whole yet); at the end of the file, the rest.
  bool readRows() {
    mainRows_ = std::make_unique<RowsParser>(table_, syntax_.coding);
    for (;;) {
      const std::string_view bytes = input_.bytes();
      const bool atEnd = input_.atEnd();
      const std::size_t lastStart = atEnd ? std::string_view::npos : lastRowStart(bytes);
      if (bytes.empty() || lastStart == 0) {
        if (!atEnd && input_.readMore()) {
          continue;
        }
        failure_ = input_.failure();
        return failure_ ? false : failAt(bytes.size(), "the packet ends early: the ROWDATA element does not end");
      }
      const std::string_view piece = bytes.substr(0, std::min(lastStart, bytes.size()));
      const RowsParser::Outcome outcome = readPiece(piece);
      switch (outcome.stop) {
        case RowsParser::Stop::End:
        case RowsParser::Stop::RanOut:
          input_.consume(outcome.at);
          report();
          if (outcome.stop == RowsParser::Stop::RanOut && atEnd) {
            return failAt(0, "the packet ends early, inside a ROW element");
          }
          if (outcome.at == 0 && !input_.readMore()) {
            failure_ = input_.failure();
            return failure_ ? false : failAt(0, "the packet ends early: the ROWDATA element does not end");
          }
          break;
        case RowsParser::Stop::EndTag:
          input_.consume(outcome.at);
          return true;
        case RowsParser::Stop::Failed:
        case RowsParser::Stop::OutOfRoom:
          return failAt(outcome.at, outcome.why);
      }
    }
  }

  // The rows of a piece: on two threads when it is large, cut at a row start near its middle and
  // each half counted first; on one when that fails in any way, which also tells exactly where a
  // bad row is. Rows go into the room from rows_ on.
  RowsParser::Outcome readPiece(std::string_view piece) {
    const std::size_t split = piece.size() >= kParallelBytes ? nextRowStart(piece, piece.size() / 2) : std::string_view::npos;
    if (split != std::string_view::npos) {
      if (!worker_) {
        worker_ = std::make_unique<WorkerThread>();
        workerRows_ = std::make_unique<RowsParser>(table_, syntax_.coding);
      }
      const std::string_view first = piece.substr(0, split);
      const std::string_view second = piece.substr(split);
      std::size_t secondCount = 0;
      worker_->post([&] { secondCount = countRowStarts(second); });
      const std::size_t firstCount = countRowStarts(first);
      worker_->wait();
      makeRoom(rows_ + firstCount + secondCount);
      RowsParser::Outcome secondOutcome;
      worker_->post([&] {
        secondOutcome = workerRows_->parse(second, rows_ + firstCount, rows_ + firstCount + secondCount);
      });
      const RowsParser::Outcome firstOutcome = mainRows_->parse(first, rows_, rows_ + firstCount);
      worker_->wait();
      if (firstOutcome.stop == RowsParser::Stop::End && firstOutcome.rows == firstCount &&
          (secondOutcome.stop == RowsParser::Stop::End || secondOutcome.stop == RowsParser::Stop::EndTag) &&
          secondOutcome.rows == secondCount) {
        rows_ += firstCount + secondCount;
        secondOutcome.at += split;
        return secondOutcome;
      }
    }
    RowsParser::Outcome outcome;
    for (std::size_t at = 0;;) {
      outcome = mainRows_->parse(piece.substr(at), rows_, roomEnd_);
      rows_ += outcome.rows;
      outcome.at += at;
      if (outcome.stop != RowsParser::Stop::OutOfRoom) {
        return outcome;
      }
      at = outcome.at;
      makeRoom(roomEnd_ + kRoomStep);
    }
  }

  void makeRoom(std::size_t rows) {
    if (rows > roomEnd_) {
      table_.reserveRows(rows - roomEnd_);
      roomEnd_ = rows;
    }
  }

  static constexpr std::array<std::pair<std::string_view, std::string_view>, 2 + kTextFieldCount> kFields{
      {{kNoName, "i4"}, {kTimeName, "time"}, {kTextFieldNames[0], "string"}, {kTextFieldNames[1], "string"},
       {kTextFieldNames[2], "string"}, {kTextFieldNames[3], "string"}}};

  ChunkedInput& input_;
  ReadingTable& table_;
  const FileProgress& progress_;
  PacketSyntax syntax_;
  std::array<bool, 2 + kTextFieldCount> fieldsFound_{};
  std::optional<LoadFailure> failure_;
  std::unique_ptr<RowsParser> mainRows_;
  std::unique_ptr<RowsParser> workerRows_;
  std::unique_ptr<WorkerThread> worker_;
  std::size_t rows_ = 0;     // rows read into the room
  std::size_t roomEnd_ = 0;  // rows of room reserved
};

}  // namespace

void writeDataPacket(const ReadingTable& table, ChunkedOutput& out, const FileProgress& progress) {
  std::string& buffer = out.buffer();
  buffer += kPacketStart;
  if (table.hasChangeLog()) {
    buffer += kChangeLogStart;
    bool first = true;
    table.forEachChangeLogEntry([&](const ChangeLogEntry& entry) {
      if (!first) {
        buffer += ' ';
      }
      first = false;
      appendNumber(buffer, entry.row);
      buffer += ' ';
      appendNumber(buffer, entry.detail);
      buffer += ' ';
      appendNumber(buffer, entry.kind);
      out.flushIfFull();
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

std::optional<LoadFailure> readDataPacket(ChunkedInput& input, ReadingTable& table, const FileProgress& progress) {
  return PacketReader(input, table, progress).read();
}

bool readDataPacket(std::string_view bytes, ReadingTable& table, const FileProgress& progress) {
  ChunkedInput input(bytes);
  return !readDataPacket(input, table, progress);
}

}  // namespace qm::log
