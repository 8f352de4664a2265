#include "log/data_packet_rows.h"

#include "core/ansi_text.h"

#include <QString>
#include <QStringDecoder>

#include <cstring>
#include <limits>
#include <type_traits>

namespace qm::log::packet {

RowsParser::RowsParser(ReadingTable& table, TextCoding coding) : writer_(table) {
  syntax_.coding = coding;
  kept_.reserve(kPendingRows * kTextFieldCount * kTextFieldBytes);
}

RowsParser::Outcome RowsParser::parse(std::string_view bytes, std::size_t firstRow, std::size_t roomEnd) {
  syntax_.reset(bytes);
  Outcome outcome = parseRows(firstRow, roomEnd);
  writePending();
  return outcome;
}

RowsParser::Outcome RowsParser::parseRows(std::size_t firstRow, std::size_t roomEnd) {
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

void RowsParser::writePending() {
  for (std::size_t i = 0; i < pendingCount_; ++i) {
    writer_.write(pending_[i].row, pending_[i].fields, pending_[i].state);
  }
  pendingCount_ = 0;
  kept_.clear();
}

RowsParser::PendingRow& RowsParser::nextPending() {
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

void RowsParser::keep(std::size_t row, PendingRow& pending) {
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
    writer_.expect(*pending.fields.texts[0]);
  }
  pending.row = row;
  ++pendingCount_;
}

bool RowsParser::readWrittenRow(std::size_t row) {
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

bool RowsParser::readRow(std::size_t row) {
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

const std::string* RowsParser::convertedText(std::size_t field, std::string_view utf8, std::string_view raw) {
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

}  // namespace qm::log::packet
