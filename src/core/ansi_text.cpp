#include "core/ansi_text.h"

#include <QStringDecoder>
#include <QStringEncoder>

namespace qm {
namespace {

constexpr char16_t kOhmUnicode = u'\u03A9';

bool isPlainAscii(std::string_view bytes) {
  for (const char c : bytes) {
    if (static_cast<unsigned char>(c) >= 0x80) {
      return false;
    }
  }
  return true;
}

}  // namespace

QString fromAnsi(std::string_view bytes) {
  if (isPlainAscii(bytes)) {
    return QString::fromLatin1(bytes.data(), static_cast<qsizetype>(bytes.size()));
  }
  QString result;
  result.reserve(static_cast<qsizetype>(bytes.size()));
  std::size_t plainStart = 0;
  auto flushOther = [&](std::size_t end) {
    if (end == plainStart) {
      return;
    }
    const std::string_view other = bytes.substr(plainStart, end - plainStart);
    QStringDecoder decoder("GB18030", QStringDecoder::Flag::Stateless);
    if (decoder.isValid()) {
      result += decoder.decode(QByteArrayView(other.data(), static_cast<qsizetype>(other.size())));
    } else {
      for (const char c : other) {
        const auto byte = static_cast<unsigned char>(c);
        result += byte < 0x80 ? QChar(byte) : QChar(QChar::ReplacementCharacter);
      }
    }
  };
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    if (bytes.substr(i, kOhmSign.size()) == kOhmSign) {
      flushOther(i);
      result += QChar(kOhmUnicode);
      plainStart = i + kOhmSign.size();
      i += kOhmSign.size() - 1;
    }
  }
  flushOther(bytes.size());
  return result;
}

bool toAnsi(const QString& text, std::string& out) {
  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(text.size()));
  QString other;
  auto flushOther = [&]() -> bool {
    if (other.isEmpty()) {
      return true;
    }
    QStringEncoder encoder("GB18030", QStringEncoder::Flag::Stateless);
    if (!encoder.isValid()) {
      return false;
    }
    const QByteArray encoded = encoder.encode(other);
    if (encoder.hasError()) {
      return false;
    }
    // GB18030 writes the characters that CP936 cannot hold as four bytes whose second byte is a
    // decimal digit; CP936 itself has only two-byte forms beyond ASCII.
    for (qsizetype i = 0; i + 1 < encoded.size(); i += 2) {
      const auto second = static_cast<unsigned char>(encoded[i + 1]);
      if (second >= 0x30 && second <= 0x39) {
        return false;
      }
    }
    bytes.append(encoded.constData(), static_cast<std::size_t>(encoded.size()));
    other.clear();
    return true;
  };
  for (const QChar ch : text) {
    if (ch.unicode() < 0x80) {
      if (!flushOther()) {
        return false;
      }
      bytes.push_back(static_cast<char>(ch.unicode()));
    } else if (ch.unicode() == kOhmUnicode) {
      if (!flushOther()) {
        return false;
      }
      bytes.append(kOhmSign);
    } else {
      other += ch;
    }
  }
  if (!flushOther()) {
    return false;
  }
  out = std::move(bytes);
  return true;
}

std::string toAnsiLossy(const QString& text) {
  std::string bytes;
  if (toAnsi(text, bytes)) {
    return bytes;
  }
  bytes.clear();
  for (qsizetype i = 0; i < text.size(); ++i) {
    // A surrogate pair is one character.
    const qsizetype length = text.at(i).isHighSurrogate() && i + 1 < text.size() ? 2 : 1;
    std::string one;
    bytes += toAnsi(text.mid(i, length), one) ? one : std::string("?");
    i += length - 1;
  }
  return bytes;
}

}  // namespace qm
