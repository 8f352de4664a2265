#include "log/time_of_day_format.h"

#include "core/ansi_text.h"

#include <algorithm>
#include <array>

namespace qm::log {
namespace {

constexpr TimeOfDay kMillisecondsPerHour = 3'600'000;
constexpr TimeOfDay kMillisecondsPerMinute = 60'000;
constexpr TimeOfDay kMillisecondsPerSecond = 1'000;

// A token of the pattern as Qt reads it.
struct Token {
  enum class Kind { Literal, Field, AmPm, Dropped } kind;
  QString text;  // Literal: the text; otherwise the letters ("h", "mm", "AP", "z", ...)
};

bool isFieldLetter(QChar c) { return c == u'h' || c == u'H' || c == u'm' || c == u's'; }

// Qt's rules: '...' quotes a literal and '' is one apostrophe; h, H, m, s take one or two letters;
// z (milliseconds) and t (time zone) take a whole run; A/a, optionally followed by P/p, is AM/PM.
std::vector<Token> tokenize(const QString& pattern) {
  std::vector<Token> tokens;
  auto addLiteral = [&](const QString& text) {
    if (!tokens.empty() && tokens.back().kind == Token::Kind::Literal) {
      tokens.back().text += text;
    } else {
      tokens.push_back({Token::Kind::Literal, text});
    }
  };
  const qsizetype size = pattern.size();
  for (qsizetype i = 0; i < size;) {
    const QChar c = pattern[i];
    if (c == u'\'') {
      if (i + 1 < size && pattern[i + 1] == u'\'') {
        addLiteral(QStringLiteral("'"));
        i += 2;
        continue;
      }
      QString quoted;
      ++i;
      while (i < size) {
        if (pattern[i] == u'\'') {
          if (i + 1 < size && pattern[i + 1] == u'\'') {
            quoted += u'\'';
            i += 2;
            continue;
          }
          ++i;
          break;
        }
        quoted += pattern[i++];
      }
      addLiteral(quoted);
      continue;
    }
    qsizetype run = 1;
    while (i + run < size && pattern[i + run] == c) {
      ++run;
    }
    if (isFieldLetter(c)) {
      const qsizetype length = std::min<qsizetype>(run, 2);
      tokens.push_back({Token::Kind::Field, pattern.mid(i, length)});
      i += length;
    } else if (c == u'z' || c == u't') {
      tokens.push_back({Token::Kind::Dropped, QString(c)});
      i += run;
    } else if (c == u'A' || c == u'a') {
      const qsizetype length = i + 1 < size && (pattern[i + 1] == u'P' || pattern[i + 1] == u'p') ? 2 : 1;
      tokens.push_back({Token::Kind::AmPm, pattern.mid(i, length)});
      i += length;
    } else {
      addLiteral(QString(c));
      ++i;
    }
  }
  return tokens;
}

// Blanks, brackets and commas frame a dropped zone or milliseconds token; a point or colon
// also separates the milliseconds from the seconds (but may end an abbreviation before a zone).
bool isFrameCharacter(QChar c, bool beforeMilliseconds) {
  return c.isSpace() || QStringView(u",()[]").contains(c) || (beforeMilliseconds && (c == u'.' || c == u':'));
}

QString withoutTrailingFrame(QString text, bool beforeMilliseconds) {
  qsizetype end = text.size();
  while (end > 0 && isFrameCharacter(text[end - 1], beforeMilliseconds)) {
    --end;
  }
  text.truncate(end);
  return text;
}

QString withoutLeadingFrame(const QString& text) {
  qsizetype start = 0;
  while (start < text.size() && isFrameCharacter(text[start], false)) {
    ++start;
  }
  return text.mid(start);
}

// Drops the zone and milliseconds tokens. The literal before a dropped token loses its trailing
// frame; the literal after it loses its leading frame too when the dropped token stood at either
// end of the kept fields (so "t HH:mm:ss" and "H:mm:ss (t)" leave no blank or bracket behind).
std::vector<Token> withoutDroppedTokens(const std::vector<Token>& tokens) {
  auto isKeptField = [](const Token& token) { return token.kind == Token::Kind::Field || token.kind == Token::Kind::AmPm; };
  std::vector<Token> kept;
  bool trimNextLiteral = false;
  for (std::size_t i = 0; i < tokens.size(); ++i) {
    const Token& token = tokens[i];
    if (token.kind == Token::Kind::Dropped) {
      if (!kept.empty() && kept.back().kind == Token::Kind::Literal) {
        kept.back().text = withoutTrailingFrame(kept.back().text, token.text == u"z");
      }
      const bool fieldBefore = std::any_of(kept.begin(), kept.end(), isKeptField);
      const bool fieldAfter = std::any_of(tokens.begin() + static_cast<std::ptrdiff_t>(i) + 1, tokens.end(), isKeptField);
      trimNextLiteral = trimNextLiteral || !fieldBefore || !fieldAfter;
      continue;
    }
    if (token.kind == Token::Kind::Literal) {
      const QString text = trimNextLiteral ? withoutLeadingFrame(token.text) : token.text;
      if (!kept.empty() && kept.back().kind == Token::Kind::Literal) {
        kept.back().text += text;
      } else {
        kept.push_back({Token::Kind::Literal, text});
      }
    } else {
      kept.push_back(token);
    }
    trimNextLiteral = false;
  }
  return kept;
}

// Locale texts as file bytes: every kind of blank (no-break and narrow no-break spaces are common
// in locale patterns) becomes an ASCII blank, and characters without a CP936 form become "?".
std::string fileBytes(QString text) {
  for (QChar& c : text) {
    if (c.isSpace()) {
      c = u' ';
    }
  }
  return toAnsiLossy(text);
}

char* putNumber(char* at, int value, bool padded) {
  if (padded || value >= 10) {
    *at++ = static_cast<char>('0' + value / 10);
  }
  *at++ = static_cast<char>('0' + value % 10);
  return at;
}

char* put(char* at, const std::string& text) { return std::copy(text.begin(), text.end(), at); }

char asciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool startsWithIgnoringAsciiCase(std::string_view text, std::string_view prefix) {
  if (prefix.empty() || text.size() < prefix.size()) {
    return false;
  }
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (asciiLower(text[i]) != asciiLower(prefix[i])) {
      return false;
    }
  }
  return true;
}

}  // namespace

TimeOfDayFormat::TimeOfDayFormat(const QString& pattern, const QLocale& locale) {
  const std::vector<Token> tokens = withoutDroppedTokens(tokenize(pattern));
  const bool twelveHour = std::any_of(tokens.begin(), tokens.end(), [](const Token& token) { return token.kind == Token::Kind::AmPm; });
  for (const Token& token : tokens) {
    switch (token.kind) {
      case Token::Kind::Literal:
        if (!token.text.isEmpty()) {
          items_.push_back({Piece::Literal, fileBytes(token.text), {}});
        }
        break;
      case Token::Kind::Field: {
        const bool padded = token.text.size() == 2;
        const QChar letter = token.text[0];
        Piece piece = Piece::Second;
        if (letter == u'H' || (letter == u'h' && !twelveHour)) {
          piece = padded ? Piece::Hour24Padded : Piece::Hour24;
        } else if (letter == u'h') {
          piece = padded ? Piece::Hour12Padded : Piece::Hour12;
        } else if (letter == u'm') {
          piece = padded ? Piece::MinutePadded : Piece::Minute;
        } else {
          piece = padded ? Piece::SecondPadded : Piece::Second;
        }
        items_.push_back({piece, {}, {}});
        break;
      }
      case Token::Kind::AmPm: {
        // "AP"/"A" upper case, "ap"/"a" lower case, "aP"/"Ap" as the locale writes them.
        const bool asLocale = token.text.size() == 2 && token.text[0].isUpper() != token.text[1].isUpper();
        auto inCase = [&](const QString& text) {
          return asLocale ? text : token.text[0].isUpper() ? text.toUpper() : text.toLower();
        };
        std::string am;
        std::string pm;
        // Texts without a CP936 form would come out as "??" for both, and every afternoon time
        // would read back as a morning one: English AM/PM tell them apart.
        if (!toAnsi(inCase(locale.amText()), am) || !toAnsi(inCase(locale.pmText()), pm) || am.empty() || am == pm) {
          am = fileBytes(inCase(QStringLiteral("AM")));
          pm = fileBytes(inCase(QStringLiteral("PM")));
        }
        items_.push_back({Piece::AmPm, am, pm});
        break;
      }
      case Token::Kind::Dropped:
        break;
    }
  }
  auto isOneByte = [this](std::size_t at) { return items_[at].piece == Piece::Literal && items_[at].text.size() == 1; };
  auto isNumber = [this](std::size_t at, Piece single, Piece padded) {
    return items_[at].piece == single || items_[at].piece == padded;
  };
  if (items_.size() == 5 && isNumber(0, Piece::Hour24, Piece::Hour24Padded) && isOneByte(1) &&
      isNumber(2, Piece::Minute, Piece::MinutePadded) && isOneByte(3) && isNumber(4, Piece::Second, Piece::SecondPadded)) {
    hourMinuteSecond_ = {items_[1].text[0], items_[3].text[0]};
  }
  for (const Item& item : items_) {
    maxBytes_ += item.piece == Piece::Literal ? item.text.size()
                 : item.piece == Piece::AmPm  ? std::max(item.text.size(), item.pmText.size())
                                              : 2;
  }
}

TimeOfDayFormat TimeOfDayFormat::systemLongTime() {
  const QLocale locale = QLocale::system();
  return TimeOfDayFormat(locale.timeFormat(QLocale::LongFormat), locale);
}

void TimeOfDayFormat::appendTo(std::string& out, TimeOfDay time) const {
  const int hour = time / kMillisecondsPerHour;
  const int minute = time / kMillisecondsPerMinute % 60;
  const int second = time / kMillisecondsPerSecond % 60;
  const int hour12 = hour % 12 == 0 ? 12 : hour % 12;
  // Written in place into room for the longest form, then cut to length.
  const std::size_t start = out.size();
  out.resize(start + maxBytes_);
  char* at = out.data() + start;
  for (const Item& item : items_) {
    switch (item.piece) {
      case Piece::Literal: at = put(at, item.text); break;
      case Piece::Hour24: at = putNumber(at, hour, false); break;
      case Piece::Hour24Padded: at = putNumber(at, hour, true); break;
      case Piece::Hour12: at = putNumber(at, hour12, false); break;
      case Piece::Hour12Padded: at = putNumber(at, hour12, true); break;
      case Piece::Minute: at = putNumber(at, minute, false); break;
      case Piece::MinutePadded: at = putNumber(at, minute, true); break;
      case Piece::Second: at = putNumber(at, second, false); break;
      case Piece::SecondPadded: at = putNumber(at, second, true); break;
      case Piece::AmPm: at = put(at, hour < 12 ? item.text : item.pmText); break;
    }
  }
  out.resize(static_cast<std::size_t>(at - out.data()));
}

std::string TimeOfDayFormat::format(TimeOfDay time) const {
  std::string out;
  appendTo(out, time);
  return out;
}

std::optional<TimeOfDay> TimeOfDayFormat::parseItems(std::string_view text) const {
  if (hourMinuteSecond_) {
    return parseHourMinuteSecond(text);
  }
  std::optional<int> hour24;
  std::optional<int> hour12;
  std::optional<int> minute;
  std::optional<int> second;
  bool afternoon = false;
  std::size_t at = 0;
  // One or two digits, whether the pattern pads the number or not.
  auto readNumber = [&](std::optional<int>& into, int lowest, int highest) {
    int value = 0;
    std::size_t digits = 0;
    while (digits < 2 && at < text.size() && text[at] >= '0' && text[at] <= '9') {
      value = value * 10 + (text[at] - '0');
      ++at;
      ++digits;
    }
    into = value;
    return digits > 0 && value >= lowest && value <= highest;
  };
  auto readAmPm = [&](const Item& item) {
    // The longer text first, in case one is the start of the other.
    const std::string_view rest = text.substr(at);
    const bool amMatches = startsWithIgnoringAsciiCase(rest, item.text);
    const bool pmMatches = startsWithIgnoringAsciiCase(rest, item.pmText);
    afternoon = pmMatches && (!amMatches || item.pmText.size() > item.text.size());
    at += afternoon ? item.pmText.size() : item.text.size();
    return amMatches || pmMatches;
  };
  for (const Item& item : items_) {
    bool matched = false;
    switch (item.piece) {
      case Piece::Literal:
        matched = text.substr(at, item.text.size()) == item.text;
        at += item.text.size();
        break;
      case Piece::Hour24:
      case Piece::Hour24Padded: matched = readNumber(hour24, 0, 23); break;
      case Piece::Hour12:
      case Piece::Hour12Padded: matched = readNumber(hour12, 1, 12); break;
      case Piece::Minute:
      case Piece::MinutePadded: matched = readNumber(minute, 0, 59); break;
      case Piece::Second:
      case Piece::SecondPadded: matched = readNumber(second, 0, 59); break;
      case Piece::AmPm: matched = readAmPm(item); break;
    }
    if (!matched) {
      return std::nullopt;
    }
  }
  if (at != text.size()) {
    return std::nullopt;
  }
  const int hour = hour12 ? *hour12 % 12 + (afternoon ? 12 : 0) : hour24.value_or(0);
  return hour * kMillisecondsPerHour + minute.value_or(0) * kMillisecondsPerMinute +
         second.value_or(0) * kMillisecondsPerSecond;
}

// What the items would read for such a pattern, one or two digits for each number, without
// walking them: a text file holds millions of times.
std::optional<TimeOfDay> TimeOfDayFormat::parseHourMinuteSecond(std::string_view text) const {
  const std::array<char, 2> separators{hourMinuteSecond_->first, hourMinuteSecond_->second};
  std::array<int, 3> numbers{};
  std::size_t at = 0;
  for (std::size_t number = 0; number < numbers.size(); ++number) {
    if (number > 0) {
      if (at == text.size() || text[at] != separators[number - 1]) {
        return std::nullopt;
      }
      ++at;
    }
    const std::size_t start = at;
    while (at < text.size() && at - start < 2 && text[at] >= '0' && text[at] <= '9') {
      numbers[number] = numbers[number] * 10 + (text[at] - '0');
      ++at;
    }
    if (at == start) {
      return std::nullopt;
    }
  }
  if (at != text.size() || numbers[0] > 23 || numbers[1] > 59 || numbers[2] > 59) {
    return std::nullopt;
  }
  return numbers[0] * kMillisecondsPerHour + numbers[1] * kMillisecondsPerMinute + numbers[2] * kMillisecondsPerSecond;
}

}  // namespace qm::log
