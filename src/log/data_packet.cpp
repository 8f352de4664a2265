#include "log/data_packet.h"

#include "log/data_packet_change_log.h"
#include "log/data_packet_rows.h"
#include "log/data_packet_syntax.h"
#include "log/piece_sharing.h"

#include <algorithm>
#include <array>
#include <limits>
#include <memory>

namespace qm::log {
namespace {

using namespace packet;

// Rows of room reserved at a time while rows are parsed on one thread.
constexpr std::size_t kRoomStep = 64 * 1024;

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

  // The rows, a few megabytes of the file at a time: those before the last row that starts in the
  // bytes held (that one may not be whole yet); at the end of the file, all that are left.
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
      const RowsParser::Outcome outcome = readWholeRows(bytes.substr(0, std::min(lastStart, bytes.size())));
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

  // The rows of `bytes`: on both threads when they are many, cut into pieces at row starts
  // and the rows of each counted first (on this thread, while the helper reads the next block);
  // on this one alone when that fails in any way, which also tells exactly where a bad row is.
  // Rows go into the room from rows_ on.
  RowsParser::Outcome readWholeRows(std::string_view bytes) {
    cutIntoPieces(bytes, nextRowStart, pieces_);
    const std::size_t count = pieces_.size();
    if (count > 1) {
      numberPieces(pieces_, rows_, countRowStarts, firstRows_);
      makeRoom(firstRows_[count]);
      if (!workerRows_) {
        workerRows_ = std::make_unique<RowsParser>(table_, syntax_.coding);
      }
      // A piece is read whole when it stops at its end, or for the last at the end of the rows,
      // with the rows counted.
      const auto readWhole = [&](std::size_t piece) {
        const RowsParser::Outcome& outcome = outcomes_[piece];
        const bool stoppedAtEnd = outcome.stop == RowsParser::Stop::End ||
                                  (piece + 1 == count && outcome.stop == RowsParser::Stop::EndTag);
        return stoppedAtEnd && outcome.rows == firstRows_[piece + 1] - firstRows_[piece];
      };
      outcomes_.assign(count, {});
      shareOutPieces(input_, count, [&](std::size_t piece, int thread) {
        RowsParser& rows = thread == 0 ? *mainRows_ : *workerRows_;
        outcomes_[piece] = rows.parse(pieces_[piece], firstRows_[piece], firstRows_[piece + 1]);
        return readWhole(piece);
      });
      bool allWhole = true;
      for (std::size_t piece = 0; piece < count && allWhole; ++piece) {
        allWhole = readWhole(piece);
      }
      if (allWhole) {
        rows_ = firstRows_[count];
        RowsParser::Outcome last = outcomes_.back();
        last.at += static_cast<std::size_t>(pieces_.back().data() - bytes.data());
        return last;
      }
    }
    RowsParser::Outcome outcome;
    for (std::size_t at = 0;;) {
      outcome = mainRows_->parse(bytes.substr(at), rows_, roomEnd_);
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
  std::unique_ptr<RowsParser> mainRows_;  // of this thread
  std::unique_ptr<RowsParser> workerRows_;
  std::vector<std::string_view> pieces_;
  // The room's index of each piece's first row; last, where the rows of the last piece end.
  std::vector<std::size_t> firstRows_;
  std::vector<RowsParser::Outcome> outcomes_;
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
