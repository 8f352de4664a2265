#include "log/data_packet.h"

#include "core/ansi_text.h"
#include "log/data_packet_syntax.h"
#include "log/worker_thread.h"

#include <QString>
#include <QStringDecoder>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>
#include <memory>
#include <type_traits>
#include <vector>

namespace qm::log {
namespace {

using namespace packet;

// Pieces of rows larger than this are parsed on two threads.
constexpr std::size_t kParallelBytes = 1024 * 1024;
// Rows of room reserved at a time while rows are parsed on one thread.
constexpr std::size_t kRoomStep = 64 * 1024;

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

  // The pending row the next row is read into, emptied. Rows are read in place: a row copied
  // in and out of a temporary costs more than reading it.
  PendingRow& nextPending() {
    if (pendingCount_ == kPendingRows) {
      writePending();
    }
    PendingRow& pending = pending_[pendingCount_];
    pending.fields.No.reset();
    pending.fields.Time.reset();
    for (std::optional<std::string_view>& text : pending.fields.texts) {
      text.reset();
    }
    pending.state.reset();
    return pending;
  }

  // Keeps the row read into nextPending() until its turn to be written. Texts that point into
  // buffers the next row reuses (a value with references, a converted text) are kept with it.
  void keep(std::size_t row, PendingRow& pending) {
    for (std::optional<std::string_view>& text : pending.fields.texts) {
      if (text && (text->data() < syntax_.bytes().data() || text->data() >= syntax_.bytes().data() + syntax_.bytes().size())) {
        const std::string_view cut = cutToFieldWidth(*text);
        // Room for every text of the pending rows was reserved: views into kept_ stay valid.
        Q_ASSERT(kept_.size() + cut.size() <= kept_.capacity());
        text = std::string_view(kept_.data() + kept_.size(), cut.size());
        kept_ += cut;
      }
    }
    if (pending.fields.texts[0]) {
      writer_.expect(TextField::Value, *pending.fields.texts[0]);
    }
    pending.row = row;
    ++pendingCount_;
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
    PendingRow& pending = nextPending();
    RowFields& fields = pending.fields;
    std::optional<std::uint8_t>& state = pending.state;
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
        if (!rawValue(value)) {
          return false;
        }
        if (needsConversion(value)) {
          const std::string* const converted = convertedText(field, value, value);
          if (converted == nullptr) {
            return false;
          }
          value = *converted;
        }
        fields.texts[field] = value;
      }
    }
    if (!literal("/>")) {
      return false;
    }
    syntax_.skip(at - syntax_.at());
    keep(row, pending);
    return true;
  }

  bool readRow(std::size_t row) {
    PendingRow& pending = nextPending();
    RowFields& fields = pending.fields;
    std::optional<std::uint8_t>& state = pending.state;
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
          std::optional<std::string_view> text = syntax_.value(raw, textScratch_[field]);
          if (text && needsConversion(*text)) {
            const std::string* const converted = convertedText(field, *text, raw);
            text = converted != nullptr ? std::optional<std::string_view>(*converted) : std::nullopt;
          }
          fields.texts[field] = text;
          return once(8u << field, attribute, raw) && text.has_value();
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
    keep(row, pending);
    return true;
  }

  // The table holds code page 936 bytes: a UTF-8 packet's texts beyond ASCII are converted.
  bool needsConversion(std::string_view text) const { return syntax_.coding == TextCoding::Utf8 && !isPlainAscii(text); }

  // `utf8` in code page 936 bytes, or null when it has no such form (the failure is set). The
  // same text in the same field as in the row before is converted only once.
  const std::string* convertedText(std::size_t field, std::string_view utf8, std::string_view raw) {
    if (utf8 != lastUtf8_[field]) {
      QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
      const QString unicode = decoder.decode(QByteArrayView(utf8.data(), static_cast<qsizetype>(utf8.size())));
      if (decoder.hasError()) {
        syntax_.failIn(raw, "the " + std::string(kTextFieldNames[field]) + " text is not UTF-8, as the packet declares");
        return nullptr;
      }
      if (!toAnsi(unicode, lastAnsi_[field])) {
        syntax_.failIn(raw, "the " + std::string(kTextFieldNames[field]) + " text \"" + toAnsiLossy(unicode) +
                                "\" has a character without a code page 936 form");
        return nullptr;
      }
      lastUtf8_[field] = utf8;
    }
    return &lastAnsi_[field];
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

// A change log as this program writes it: each entry for the row after the one before, with the
// same detail and kind, one blank after each ("7 0 4 8 0 4 9 0 4 "). Such a stretch is compared
// with the text it must be, the row number counted up in decimal, rather than read number by
// number: a packet of ten million rows holds ten million entries before its first row.
class CountedEntries {
public:
  // The entries that would follow `last`.
  explicit CountedEntries(const ChangeLogEntry& last) : next_{last.row + 1, last.detail, last.kind} {
    char* const end = expected_.data() + expected_.size();
    char* at = std::to_chars(expected_.data(), end, next_.row).ptr;
    rowDigits_ = static_cast<std::size_t>(at - expected_.data());
    *at++ = ' ';
    at = std::to_chars(at, end, next_.detail).ptr;
    *at++ = ' ';
    at = std::to_chars(at, end, next_.kind).ptr;
    *at++ = ' ';
    size_ = static_cast<std::size_t>(at - expected_.data());
    possible_ = last.row != std::numeric_limits<std::uint32_t>::max();
  }

  // How many such entries `bytes` begins with; `consumed` is set to the bytes they take.
  std::uint32_t match(std::string_view bytes, std::size_t& consumed) {
    std::uint32_t count = 0;
    consumed = 0;
    while (possible_ && bytes.size() - consumed >= size_ && isExpected(bytes.data() + consumed)) {
      consumed += size_;
      ++count;
      countUp();
    }
    return count;
  }

private:
  // The expected bytes at `at`, compared a word at a time: a call to memcmp for a dozen bytes
  // would cost more than the rest of the entry.
  bool isExpected(const char* at) const {
    auto word = [](const char* from) {
      std::uint64_t value = 0;
      std::memcpy(&value, from, sizeof value);
      return value;
    };
    if (size_ < 8) {
      return std::equal(expected_.data(), expected_.data() + size_, at);
    }
    for (std::size_t i = 0; i + 8 < size_; i += 8) {
      if (word(at + i) != word(expected_.data() + i)) {
        return false;
      }
    }
    return word(at + size_ - 8) == word(expected_.data() + size_ - 8);
  }

  void countUp() {
    if (next_.row == std::numeric_limits<std::uint32_t>::max()) {
      possible_ = false;
      return;
    }
    ++next_.row;
    for (std::size_t i = rowDigits_; i-- > 0;) {
      if (expected_[i] != '9') {
        ++expected_[i];
        return;
      }
      expected_[i] = '0';
    }
    // All nines: one digit more, and the rest moves up.
    std::memmove(expected_.data() + 1, expected_.data(), size_);
    expected_[0] = '1';
    ++rowDigits_;
    ++size_;
  }

  // Room for a row, a detail and a kind of up to ten digits each, and their blanks.
  std::array<char, 3 * 11> expected_{};
  std::size_t rowDigits_ = 0;
  std::size_t size_ = 0;
  ChangeLogEntry next_;
  bool possible_ = true;
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
    std::optional<ChangeLogEntry> last;  // the entry appended last
    bool counting = false;               // it continued the one before it
    auto endNumber = [&] {
      if (inNumber) {
        entry[taken++] = static_cast<std::uint32_t>(number);
        number = 0;
        inNumber = false;
        if (taken == entry.size()) {
          const ChangeLogEntry appended{entry[0], entry[1], entry[2]};
          table_.appendChangeLogEntry(appended);
          counting = last && std::uint64_t{last->row} + 1 == appended.row && last->detail == appended.detail &&
                     last->kind == appended.kind;
          last = appended;
          taken = 0;
        }
      }
    };
    // After an entry that continued the one before it, ended by a blank: the entries at the start
    // of `bytes` that go on counting are taken at once. Returns the bytes they took.
    auto countedEntries = [&](std::string_view bytes) {
      CountedEntries counted(*last);
      std::size_t consumed = 0;
      if (const std::uint32_t count = counted.match(bytes, consumed); count > 0) {
        table_.appendChangeLogEntries({last->row + 1, last->detail, last->kind}, count);
        last = ChangeLogEntry{last->row + count, last->detail, last->kind};
      }
      return consumed;
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
        } else if (counting && taken == 0 && !inNumber) {
          counting = false;
          at += countedEntries(bytes.substr(at + 1));
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

std::optional<LoadFailure> readDataPacket(ChunkedInput& input, ReadingTable& table, const FileProgress& progress) {
  return PacketReader(input, table, progress).read();
}

bool readDataPacket(std::string_view bytes, ReadingTable& table, const FileProgress& progress) {
  ChunkedInput input(bytes);
  return !readDataPacket(input, table, progress);
}

}  // namespace qm::log
