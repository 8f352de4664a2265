#pragma once

// What the data packet's writer and reader share: the names the format gives the table's fields,
// its times of day, and the packet's syntax over bytes in memory (tags, attributes, values).

#include "log/chunked_input.h"
#include "log/reading_table.h"
#include "log/time_of_day_format.h"
#include "log/whole_number.h"

#include <array>
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <system_error>

namespace qm::log::packet {

inline constexpr std::array<std::string_view, kTextFieldCount> kTextFieldNames{"Value", "Unit", "V_Range", "I_Range"};
inline constexpr std::string_view kNoName = "No";
inline constexpr std::string_view kTimeName = "Time";
inline constexpr std::string_view kChangeLogName = "CHANGE_LOG";

inline constexpr TimeOfDay kMillisecondsPerHour = 3'600'000;
inline constexpr TimeOfDay kMillisecondsPerMinute = 60'000;

// Byte classes, looked up rather than compared: a packet has hundreds of millions of bytes.
enum ByteClass : std::uint8_t { kBlank = 1, kEndsName = 2 };
inline constexpr std::array<std::uint8_t, 256> kByteClasses = [] {
  std::array<std::uint8_t, 256> classes{};
  for (const char c : {' ', '\t', '\r', '\n'}) {
    classes[static_cast<unsigned char>(c)] = kBlank | kEndsName;
  }
  for (const char c : {'/', '>', '=', '<', '"', '\'', '&'}) {
    classes[static_cast<unsigned char>(c)] = kEndsName;
  }
  return classes;
}();

inline bool isBlank(char c) { return (kByteClasses[static_cast<unsigned char>(c)] & kBlank) != 0; }

inline bool endsName(char c) { return (kByteClasses[static_cast<unsigned char>(c)] & kEndsName) != 0; }

// A row's attributes: the six fields in field order after RowState, then any other.
enum class RowAttribute { RowState, No, Time, Value, Unit, V_Range, I_Range, Other };
RowAttribute rowAttribute(std::string_view name);

bool isPlainAscii(std::string_view text);

// Bytes of an attribute value that need more than copying: references, the blanks that XML
// turns into spaces, and "<", which a value must not hold.
inline constexpr std::array<bool, 256> kNeedsDecoding = [] {
  std::array<bool, 256> needs{};
  needs['&'] = needs['<'] = needs['\t'] = needs['\r'] = needs['\n'] = true;
  return needs;
}();

template <typename Number>
std::optional<Number> wholeNumber(std::string_view text, int base = 10) {
  if (base == 10) {
    return decimalNumber<Number>(text);
  }
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
std::optional<TextCoding> codingNamed(std::string_view name);

// The text of "&name;" (without "&" and ";") as bytes.
bool appendReference(std::string& out, std::string_view name, TextCoding coding);

// A value as XML reads it: references resolved, and TAB, CR, LF and CR LF each made one blank.
// Points into `raw` when nothing needs resolving, else into `scratch`; none, with the reason in
// `why`, when the value is not well-formed.
std::optional<std::string_view> attributeValue(std::string_view raw, std::string& scratch, TextCoding coding,
                                               std::string& why);

// hh:mm:sssss, the last five digits seconds * 1000 + milliseconds, or hh:mm:ss without them.
inline std::optional<TimeOfDay> packetTime(std::string_view text) {
  // The seconds' two digits begin the five of "sssss": what is left are the milliseconds.
  constexpr std::size_t kWithMilliseconds = 11;
  constexpr std::size_t kWithout = 8;
  if (text.size() != kWithMilliseconds && text.size() != kWithout) {
    return std::nullopt;
  }
  TimeOfDay time = twoDigitTimeOfDay(text, {':', ':'});
  for (std::size_t at = kWithout; time >= 0 && at < text.size(); ++at) {
    const unsigned digit = static_cast<unsigned char>(text[at]) - unsigned{'0'};
    if (digit > 9) {
      return std::nullopt;
    }
    constexpr TimeOfDay kPlaceValue[] = {100, 10, 1};
    time += static_cast<TimeOfDay>(digit) * kPlaceValue[at - kWithout];
  }
  return time >= 0 ? std::optional<TimeOfDay>(time) : std::nullopt;
}

// "<ROW" followed by what ends an element name: where a row element begins.
bool isRowStart(std::string_view bytes, std::size_t at);
// Where the first row element at or after `from` begins, the last one, and how many there are.
std::size_t nextRowStart(std::string_view bytes, std::size_t from);
std::size_t lastRowStart(std::string_view bytes);
std::size_t countRowStarts(std::string_view bytes);

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

}  // namespace qm::log::packet
