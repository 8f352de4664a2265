#include "log/data_packet.h"

#include "core/ansi_text.h"

#include <QString>

#include <array>
#include <algorithm>
#include <charconv>
#include <cstring>
#include <type_traits>

namespace qm::log {
namespace {

constexpr std::array<std::string_view, kTextFieldCount> kTextFieldNames{"Value", "Unit", "V_Range", "I_Range"};
constexpr std::string_view kRowStateName = "RowState";
constexpr std::string_view kNoName = "No";
constexpr std::string_view kTimeName = "Time";

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

// One ROW element, built in place and then appended whole: there are millions of them. Its size
// is bounded, as the table holds no text of more than 20 bytes and a byte escapes to at most six.
class RowElement {
public:
  explicit RowElement(const StoredRow& row) {
    put("<ROW");
    if (row.state) {
      attributeStart(kRowStateName);
      putNumber(unsigned{*row.state});
      put('"');
    }
    if (row.fields.No) {
      attributeStart(kNoName);
      putNumber(*row.fields.No);
      put('"');
    }
    if (row.fields.Time) {
      attributeStart(kTimeName);
      putPacketTime(*row.fields.Time);
      put('"');
    }
    for (std::size_t field = 0; field < kTextFieldCount; ++field) {
      if (const std::optional<std::string_view>& text = row.fields.texts[field]) {
        attributeStart(kTextFieldNames[field]);
        putEscaped(*text);
        put('"');
      }
    }
    put("/>");
  }

  std::string_view bytes() const { return {bytes_.data(), static_cast<std::size_t>(at_ - bytes_.data())}; }

private:
  static constexpr std::size_t kMaxAttributeText = 12;  // ` V_Range="` and `"`
  static constexpr std::size_t kMaxBytes =
      sizeof "<ROW/>" + 3 * (kMaxAttributeText + 11) + kTextFieldCount * (kMaxAttributeText + 6 * kTextFieldBytes);

  void put(char c) { *at_++ = c; }
  void put(std::string_view text) {
    std::memcpy(at_, text.data(), text.size());
    at_ += text.size();
  }
  template <typename Number>
  void putNumber(Number value) {
    at_ = std::to_chars(at_, bytes_.data() + bytes_.size(), value).ptr;
  }
  void attributeStart(std::string_view name) {
    put(' ');
    put(name);
    put("=\"");
  }
  void putEscaped(std::string_view text) {
    // The table cuts every text to this width already; the cut here only keeps the bound true.
    for (const char c : text.substr(0, kTextFieldBytes)) {
      const std::string_view escape = kEscapes[static_cast<unsigned char>(c)];
      if (escape.empty()) {
        put(c);
      } else {
        put(escape);
      }
    }
  }
  // hh:mm: and then seconds * 1000 + milliseconds in five digits.
  void putPacketTime(TimeOfDay time) {
    const int hour = time / kMillisecondsPerHour;
    const int minute = time / kMillisecondsPerMinute % 60;
    const int inMinute = time % kMillisecondsPerMinute;
    putDigits(hour, 2);
    put(':');
    putDigits(minute, 2);
    put(':');
    putDigits(inMinute, 5);
  }
  void putDigits(int value, int count) {
    for (int place = count - 1; place >= 0; --place) {
      at_[place] = static_cast<char>('0' + value % 10);
      value /= 10;
    }
    at_ += count;
  }

  std::array<char, kMaxBytes> bytes_;
  char* at_ = bytes_.data();
};

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

bool endsName(char c) {
  return isBlank(c) || c == '/' || c == '>' || c == '=' || c == '<' || c == '"' || c == '\'' || c == '&';
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

// A character reference's code point as CP936 bytes.
bool appendCharacter(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
    return true;
  }
  if (code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
    return false;
  }
  std::string bytes;
  if (!toAnsi(QString::fromUcs4(&code, 1), bytes)) {
    return false;
  }
  out += bytes;
  return true;
}

// The text of "&name;" (without "&" and ";") as bytes.
bool appendReference(std::string& out, std::string_view name) {
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
  return code && appendCharacter(out, *code);
}

// A value as XML reads it: references resolved, and TAB, CR, LF and CR LF each made one blank.
// Points into `raw` when nothing needs resolving, else into `scratch`.
std::optional<std::string_view> attributeValue(std::string_view raw, std::string& scratch) {
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
      return std::nullopt;
    }
    if (c == '&') {
      const std::size_t end = raw.find(';', i);
      if (end == std::string_view::npos || !appendReference(scratch, raw.substr(i + 1, end - i - 1))) {
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

// hh:mm:sssss, the last five digits seconds * 1000 + milliseconds.
std::optional<TimeOfDay> packetTime(std::string_view text) {
  constexpr std::string_view kShape = "00:00:00000";
  if (text.size() != kShape.size()) {
    return std::nullopt;
  }
  for (std::size_t i = 0; i < kShape.size(); ++i) {
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
  const int inMinute = number(6, 5);
  if (hour > 23 || minute > 59 || inMinute >= kMillisecondsPerMinute) {
    return std::nullopt;
  }
  return hour * kMillisecondsPerHour + minute * kMillisecondsPerMinute + inMinute;
}

// Checks an attribute that the table has no use for: its value must still be well-formed.
struct IgnoredAttribute {
  std::string& scratch;
  bool operator()(std::string_view, std::string_view raw) const { return attributeValue(raw, scratch).has_value(); }
};

class PacketReader {
public:
  PacketReader(std::string_view bytes, ReadingTable& table, const FileProgress& progress)
      : bytes_(bytes), table_(table), progress_(progress) {}

  bool read() {
    skipDeclaration();
    bool empty = false;
    if (!startTag("DATAPACKET", empty, ignoreAttribute()) || empty || !readMetadata() || !readRowData() ||
        !endTag("DATAPACKET")) {
      return false;
    }
    skipBlanks();
    return at_ == bytes_.size();
  }

private:
  static constexpr int kMaxIgnoredDepth = 32;

  bool lookingAt(std::string_view text) const { return bytes_.substr(at_, text.size()) == text; }

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
    return bytes_.substr(start, at_ - start);
  }

  void skipDeclaration() {
    if (lookingAt("<?xml") && at_ + 5 < bytes_.size() && isBlank(bytes_[at_ + 5])) {
      const std::size_t end = bytes_.find("?>", at_);
      at_ = end == std::string_view::npos ? bytes_.size() : end + 2;
    }
  }

  // A start tag: '<', its name and its attributes, each handed to `visit(name, rawValue)`, which
  // may refuse it. `empty` tells whether the tag ended with "/>". Blanks before it are skipped.
  template <typename Visit>
  bool anyStartTag(std::string_view& tagName, bool& empty, Visit&& visit) {
    skipBlanks();
    if (!lookingAt("<")) {
      return false;
    }
    ++at_;
    tagName = name();
    for (;;) {
      const bool blank = skipBlanks();
      if (lookingAt("/>") || lookingAt(">")) {
        empty = bytes_[at_] == '/';
        at_ += empty ? 2 : 1;
        return !tagName.empty();
      }
      const std::string_view attribute = name();
      if (!blank || attribute.empty()) {
        return false;
      }
      skipBlanks();
      if (!lookingAt("=")) {
        return false;
      }
      ++at_;
      skipBlanks();
      if (at_ >= bytes_.size() || (bytes_[at_] != '"' && bytes_[at_] != '\'')) {
        return false;
      }
      const std::size_t valueEnd = bytes_.find(bytes_[at_], at_ + 1);
      if (valueEnd == std::string_view::npos) {
        return false;
      }
      const std::string_view raw = bytes_.substr(at_ + 1, valueEnd - at_ - 1);
      at_ = valueEnd + 1;
      if (!visit(attribute, raw)) {
        return false;
      }
    }
  }

  template <typename Visit>
  bool startTag(std::string_view expectedName, bool& empty, Visit&& visit) {
    std::string_view tagName;
    return anyStartTag(tagName, empty, visit) && tagName == expectedName;
  }

  bool endTag(std::string_view tagName) {
    skipBlanks();
    if (!lookingAt("</")) {
      return false;
    }
    at_ += 2;
    if (name() != tagName) {
      return false;
    }
    skipBlanks();
    if (!lookingAt(">")) {
      return false;
    }
    ++at_;
    return true;
  }

  bool atEndTag() {
    skipBlanks();
    return lookingAt("</");
  }

  IgnoredAttribute ignoreAttribute() { return IgnoredAttribute{scratch_}; }

  // The children of an element whose content the table has no use for, up to its end tag.
  bool skipContent(std::string_view tagName, int depth = 0) {
    while (!atEndTag()) {
      std::string_view childName;
      bool empty = false;
      if (depth == kMaxIgnoredDepth || !anyStartTag(childName, empty, ignoreAttribute()) ||
          (!empty && !skipContent(childName, depth + 1))) {
        return false;
      }
    }
    return endTag(tagName);
  }

  bool readMetadata() {
    bool empty = false;
    if (!startTag("METADATA", empty, ignoreAttribute()) || empty) {
      return false;
    }
    if (!startTag("FIELDS", empty, ignoreAttribute()) || (!empty && !readFields()) || !hasAllFields()) {
      return false;
    }
    const bool params = startTag("PARAMS", empty, [this](std::string_view attribute, std::string_view raw) {
      return attribute == "CHANGE_LOG" ? readChangeLog(raw) : attributeValue(raw, scratch_).has_value();
    });
    return params && (empty || skipContent("PARAMS")) && endTag("METADATA");
  }

  bool readFields() {
    while (!atEndTag()) {
      std::string attrname;
      std::string fieldtype;
      bool empty = false;
      const bool tagRead = startTag("FIELD", empty, [&](std::string_view attribute, std::string_view raw) {
        const std::optional<std::string_view> value = attributeValue(raw, scratch_);
        if (value && attribute == "attrname") {
          attrname = *value;
        } else if (value && attribute == "fieldtype") {
          fieldtype = *value;
        }
        return value.has_value();
      });
      if (!tagRead || (!empty && !skipContent("FIELD")) || !takeField(attrname, fieldtype)) {
        return false;
      }
    }
    return endTag("FIELDS");
  }

  // One of the table's six fields, named once with its type; any other field is ignored.
  bool takeField(std::string_view attrname, std::string_view fieldtype) {
    static constexpr std::array<std::pair<std::string_view, std::string_view>, 2 + kTextFieldCount> kFields{
        {{kNoName, "i4"}, {kTimeName, "time"}, {kTextFieldNames[0], "string"}, {kTextFieldNames[1], "string"},
         {kTextFieldNames[2], "string"}, {kTextFieldNames[3], "string"}}};
    if (attrname.empty() || fieldtype.empty()) {
      return false;
    }
    for (std::size_t field = 0; field < kFields.size(); ++field) {
      if (attrname == kFields[field].first) {
        const bool first = !fieldsFound_[field];
        fieldsFound_[field] = true;
        return first && fieldtype == kFields[field].second;
      }
    }
    return true;
  }

  bool hasAllFields() const {
    return std::all_of(fieldsFound_.begin(), fieldsFound_.end(), [](bool found) { return found; });
  }

  // Unsigned numbers separated by blanks, three to an entry.
  bool readChangeLog(std::string_view raw) {
    const std::optional<std::string_view> value = attributeValue(raw, scratch_);
    if (!value) {
      return false;
    }
    std::array<std::uint32_t, 3> entry{};
    std::size_t taken = 0;
    std::size_t at = 0;
    while (at < value->size()) {
      if ((*value)[at] == ' ') {
        ++at;
        continue;
      }
      const std::size_t end = std::min(value->find(' ', at), value->size());
      const std::optional<std::uint32_t> number = wholeNumber<std::uint32_t>(value->substr(at, end - at));
      if (!number) {
        return false;
      }
      entry[taken++] = *number;
      if (taken == entry.size()) {
        table_.appendChangeLogEntry({entry[0], entry[1], entry[2]});
        taken = 0;
      }
      at = end;
    }
    return taken == 0;
  }

  bool readRowData() {
    bool empty = false;
    if (!startTag("ROWDATA", empty, ignoreAttribute())) {
      return false;
    }
    if (empty) {
      return true;
    }
    std::size_t rows = 0;
    while (!atEndTag()) {
      if (progress_ && rows % kProgressRows == 0) {
        progress_(at_, bytes_.size());
      }
      if (!readRow()) {
        return false;
      }
      ++rows;
    }
    if (progress_) {
      progress_(bytes_.size(), bytes_.size());
    }
    return endTag("ROWDATA");
  }

  bool readRow() {
    RowFields fields;
    std::optional<std::uint8_t> state;
    // Which of RowState, No, Time and the four texts were given: each at most once.
    unsigned given = 0;
    auto once = [&given](unsigned bit) {
      const bool first = (given & bit) == 0;
      given |= bit;
      return first;
    };
    auto number = [this](std::string_view raw, auto& into) {
      const std::optional<std::string_view> value = attributeValue(raw, scratch_);
      into = value ? wholeNumber<typename std::remove_reference_t<decltype(into)>::value_type>(*value) : std::nullopt;
      return into.has_value();
    };
    bool empty = false;
    const bool tagRead = startTag("ROW", empty, [&](std::string_view attribute, std::string_view raw) {
      if (attribute == kRowStateName) {
        return once(1) && number(raw, state);
      }
      if (attribute == kNoName) {
        return once(2) && number(raw, fields.No);
      }
      if (attribute == kTimeName) {
        const std::optional<std::string_view> value = attributeValue(raw, scratch_);
        fields.Time = value ? packetTime(*value) : std::nullopt;
        return once(4) && fields.Time.has_value();
      }
      for (std::size_t field = 0; field < kTextFieldCount; ++field) {
        if (attribute == kTextFieldNames[field]) {
          fields.texts[field] = attributeValue(raw, textScratch_[field]);
          return once(8u << field) && fields.texts[field].has_value();
        }
      }
      return attributeValue(raw, scratch_).has_value();
    });
    if (!tagRead || (!empty && !skipContent("ROW"))) {
      return false;
    }
    table_.appendStored(fields, state);
    return true;
  }

  std::string_view bytes_;
  std::size_t at_ = 0;
  ReadingTable& table_;
  const FileProgress& progress_;
  std::array<bool, 2 + kTextFieldCount> fieldsFound_{};
  std::string scratch_;
  std::array<std::string, kTextFieldCount> textScratch_;
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
  out.writeRows(table, progress, [](std::string& rows, const StoredRow& row) { rows += RowElement(row).bytes(); });
  out.buffer() += kPacketEnd;
}

bool readDataPacket(std::string_view bytes, ReadingTable& table, const FileProgress& progress) {
  return PacketReader(bytes, table, progress).read();
}

}  // namespace qm::log
