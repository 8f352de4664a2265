#pragma once

// The rules that decide which of the decoder's readings become rows of the reading table: the
// record limit, the sampling interval with its countdown, and the suppression of repeated values,
// checked in that order. The window's check boxes and interval field feed their state in; this
// class holds nextRecordNo, recordLimit, lastLoggedValue and sampleCountdown.

#include "core/current_reading.h"
#include "log/reading_table.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qm::log {

// The interval text's number of seconds: "", "-" and "+" give 0; any other text must be a whole
// decimal number in the 32-bit signed range, sign included, and nothing else.
std::optional<std::int32_t> intervalSeconds(std::string_view text);

// The six record limits of the Record menu, in menu order ("Limitless" is ten million).
inline constexpr std::int32_t kRecordLimits[] = {1000, 5000, 10000, 50000, 100000, 10'000'000};
inline constexpr std::int32_t kStartupRecordLimit = 10000;

class ReadingLogger {
public:
  using Clock = std::function<TimeOfDay()>;

  enum class Outcome {
    Logged,
    OverLimit,        // recordLimit < nextRecordNo
    Waiting,          // the sampling interval has not run out
    Repeated,         // the value equals the last logged one while repeats are off
    BadIntervalText,  // the interval text is no number: nothing logged
    Held,             // kept until the long file operation ends
  };

  // `clock` gives the local time of day; by default the computer's.
  explicit ReadingLogger(ReadingTable& table, Clock clock = {});
  // Stamps the readings logged from now on by `clock` (a simulated meter's time, sped up).
  void setClock(Clock clock) { clock_ = std::move(clock); }

  // Offers `reading` for logging. The reading is copied, so a caller may hand
  // over views of texts that change afterwards.
  Outcome offerReading(const CurrentReading& reading);

  // The window's controls.
  void setRepeatAllowed(bool checked) { repeatAllowed_ = checked; }            // RepeatSet
  void setIntervalOn(bool checked) { intervalOn_ = checked; }                  // RecordSI
  bool intervalOn() const { return intervalOn_; }
  // setIntervalText: the countdown restarts with the new number. Returns false, keeping the
  // countdown, when the text is no number.
  bool setIntervalText(std::string_view text);
  const std::string& intervalText() const { return intervalText_; }
  // Sets the interval text as the window starts with its own: the countdown has run out, so the
  // first reading is logged at once. False when the text is no number.
  bool setStartingIntervalText(std::string_view text);
  // sampleTimerTick: one tick of the one-second timer.
  void sampleTimerTick();
  void setRecordLimit(std::int32_t limit) { recordLimit_ = limit; }

  // Clear All, after its message was shown: the table is emptied and numbering starts again at 1.
  void clearAll();

  // While a long file operation runs, readings are kept in arrival order with their time and
  // offered to the rules once it has ended: none is lost, and none enters a table being read.
  void holdReadings();
  // Offers the kept readings; returns how many were logged.
  std::size_t releaseReadings();

  std::int32_t nextRecordNo() const { return nextRecordNo_; }
  std::int32_t recordLimit() const { return recordLimit_; }
  const std::string& lastLoggedValue() const { return lastLoggedValue_; }
  std::int32_t sampleCountdown() const { return sampleCountdown_; }

private:
  struct KeptReading {
    std::string value, unit, function, mode;
    TimeOfDay time;
  };

  Outcome offer(const CurrentReading& reading, TimeOfDay time);

  ReadingTable& table_;
  Clock clock_;
  bool repeatAllowed_ = true;
  bool intervalOn_ = false;
  std::string intervalText_ = "10";
  bool holding_ = false;
  std::deque<KeptReading> kept_;

  std::int32_t nextRecordNo_ = 1;
  std::int32_t recordLimit_ = kStartupRecordLimit;
  std::string lastLoggedValue_;
  std::int32_t sampleCountdown_ = 0;
};

}  // namespace qm::log
