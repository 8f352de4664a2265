#pragma once

// A time-of-day format compiled once from a Qt time pattern ("h:mm:ss AP", "HH:mm:ss"), for the
// grid's Time column and the text table file. Writing a time goes through a precompiled list of
// pieces straight into code page 936 bytes, so ten million times cost no QString each.
//
// Only hours, minutes, seconds and AM/PM are kept; time-zone and millisecond tokens are dropped
// together with the blanks and brackets that framed them ("HH:mm:ss t" gives "HH:mm:ss",
// "H:mm:ss (t)" gives "H:mm:ss"). Digits are always ASCII, whatever digits the locale has, since
// the text files are read back by programs that expect them.
//
// Reading is strict: the whole text must be a time in this format. Beyond what formatting
// writes, it accepts one or two digits in every number ("9:05:07" and "09:5:7" for "HH:mm:ss") and
// the AM/PM texts in any letter case. Milliseconds, blanks around the text and a missing seconds
// part are refused.

#include "log/reading_table.h"
#include "log/unaligned_word.h"

#include <QLocale>
#include <QString>

#include <bit>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace qm::log {

// The time of the first eight bytes of `text`, "hh:mm:ss" with the separators given, read as one
// word and checked at once: files hold millions of times, nearly always written so. -1 when the
// bytes are not such a time: an optional put together here and read back whole by the caller
// stalls the processor for every row.
inline TimeOfDay twoDigitTimeOfDay(std::string_view text, std::pair<char, char> separators) {
  if (text.size() < 8) {
    return -1;
  }
  // Byte i in bits 8i to 8i + 7, whatever the processor's byte order.
  std::uint64_t word = unalignedWord<std::uint64_t>(text.data());
  if constexpr (std::endian::native == std::endian::big) {
    word = __builtin_bswap64(word);
  }
  // A digit XOR '0' is 0 to 9, and adding 0x76 to that leaves its top bit clear; any other byte
  // sets it. The separators' bytes are left out.
  const std::uint64_t digits = (word ^ 0x3030'0030'3000'3030ull) & 0xFFFF'00FF'FF00'FFFFull;
  if ((((digits + 0x7676'0076'7600'7676ull) | digits) & 0x8080'0080'8000'8080ull) != 0 ||
      static_cast<char>(word >> 16) != separators.first || static_cast<char>(word >> 40) != separators.second) {
    return -1;
  }
  // Byte i becomes ten times digit i plus digit i + 1: the hour, minute and second in bytes 0, 3
  // and 6 (no byte carries, a digit being at most 9).
  const std::uint64_t pairs = digits * 10 + (digits >> 8);
  const auto hour = static_cast<TimeOfDay>(pairs & 0xFF);
  const auto minute = static_cast<TimeOfDay>((pairs >> 24) & 0xFF);
  const auto second = static_cast<TimeOfDay>((pairs >> 48) & 0xFF);
  if (hour > 23 || minute > 59 || second > 59) {
    return -1;
  }
  return ((hour * 60 + minute) * 60 + second) * 1000;
}

class TimeOfDayFormat {
public:
  TimeOfDayFormat(const QString& pattern, const QLocale& locale);

  // The user's long time format: QLocale::system()'s long time pattern without zone or milliseconds.
  static TimeOfDayFormat systemLongTime();

  void appendTo(std::string& out, TimeOfDay time) const;
  std::string format(TimeOfDay time) const;
  std::optional<TimeOfDay> parse(std::string_view text) const {
    if (const TimeOfDay time = parseAsWritten(text); time >= 0) {
      return time;
    }
    return parseItems(text);
  }
  // The time of `text` when it is as this program writes a 24-hour pattern of two digits each
  // ("13:05:09"), as files nearly always hold it; -1 otherwise, and parse() reads the rest.
  TimeOfDay parseAsWritten(std::string_view text) const {
    return hourMinuteSecond_ && text.size() == 8 ? twoDigitTimeOfDay(text, *hourMinuteSecond_) : -1;
  }

private:
  enum class Piece { Literal, Hour24, Hour24Padded, Hour12, Hour12Padded, Minute, MinutePadded, Second, SecondPadded, AmPm };
  struct Item {
    Piece piece;
    std::string text;    // Literal: its bytes; AmPm: the AM text
    std::string pmText;  // AmPm: the PM text
  };

  std::optional<TimeOfDay> parseItems(std::string_view text) const;
  std::optional<TimeOfDay> parseHourMinuteSecond(std::string_view text) const;


  std::vector<Item> items_;
  std::size_t maxBytes_ = 0;  // of a formatted time
  // For a 24-hour pattern of hours, minutes and seconds with a one-byte separator between them
  // ("HH:mm:ss", "H.mm.ss"), the separators: such a time is read without going through the items.
  std::optional<std::pair<char, char>> hourMinuteSecond_;
};

}  // namespace qm::log
