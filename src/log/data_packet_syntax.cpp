#include "log/data_packet_syntax.h"

#include "core/ansi_text.h"

#include <QString>

#include <algorithm>
#include <cstring>

namespace qm::log::packet {
namespace {

template <std::size_t N>
bool named(std::string_view name, const char (&literal)[N]) {
  return std::memcmp(name.data(), literal, N - 1) == 0;  // sizes already compared: no call
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

}  // namespace

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

}  // namespace qm::log::packet
