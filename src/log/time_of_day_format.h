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

#include <QLocale>
#include <QString>

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::log {

class TimeOfDayFormat {
public:
  TimeOfDayFormat(const QString& pattern, const QLocale& locale);

  // The user's long time format: QLocale::system()'s long time pattern without zone or milliseconds.
  static TimeOfDayFormat systemLongTime();

  void appendTo(std::string& out, TimeOfDay time) const;
  std::string format(TimeOfDay time) const;
  std::optional<TimeOfDay> parse(std::string_view text) const;

private:
  enum class Piece { Literal, Hour24, Hour24Padded, Hour12, Hour12Padded, Minute, MinutePadded, Second, SecondPadded, AmPm };
  struct Item {
    Piece piece;
    std::string text;    // Literal: its bytes; AmPm: the AM text
    std::string pmText;  // AmPm: the PM text
  };

  std::optional<TimeOfDay> parseHourMinuteSecond(std::string_view text) const;

  std::vector<Item> items_;
  std::size_t maxBytes_ = 0;  // of a formatted time
  // For a 24-hour pattern of hours, minutes and seconds with a one-byte separator between them
  // ("HH:mm:ss", "H.mm.ss"), the separators: such a time is read without going through the items.
  std::optional<std::pair<char, char>> hourMinuteSecond_;
};

}  // namespace qm::log
