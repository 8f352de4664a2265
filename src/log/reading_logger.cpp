#include "log/reading_logger.h"

#include "core/integer_text.h"

#include <QTime>

namespace qm::log {

std::optional<std::int32_t> intervalSeconds(std::string_view text) {
  if (text.empty() || text == "-" || text == "+") {
    return 0;
  }
  return toInt32(text);
}

ReadingLogger::ReadingLogger(ReadingTable& table, Clock clock)
    : table_(table), clock_(clock ? std::move(clock) : [] { return QTime::currentTime().msecsSinceStartOfDay(); }) {}

ReadingLogger::Outcome ReadingLogger::offerReading(const CurrentReading& reading) {
  if (holding_) {
    kept_.push_back({std::string(reading.value), std::string(reading.unit), std::string(reading.function),
                    std::string(reading.mode), clock_()});
    return Outcome::Held;
  }
  return offer(reading, clock_());
}

ReadingLogger::Outcome ReadingLogger::offer(const CurrentReading& reading, TimeOfDay time) {
  if (recordLimit_ < nextRecordNo_) {
    return Outcome::OverLimit;
  }
  if (intervalOn_ && sampleCountdown_ != 0) {
    return Outcome::Waiting;
  }
  if (!repeatAllowed_ && reading.value == lastLoggedValue_) {
    return Outcome::Repeated;
  }
  const std::optional<std::int32_t> interval = intervalSeconds(intervalText_);
  if (!interval) {
    return Outcome::BadIntervalText;
  }
  sampleCountdown_ = *interval;

  RowFields row;
  row.No = nextRecordNo_;
  row.Time = time;
  row.text(TextField::Value) = reading.value;
  row.text(TextField::Unit) = reading.unit;
  row.text(TextField::V_Range) = reading.function;
  row.text(TextField::I_Range) = reading.mode;
  table_.appendAdded(row);

  ++nextRecordNo_;
  lastLoggedValue_ = reading.value;
  return Outcome::Logged;
}

bool ReadingLogger::setIntervalText(std::string_view text) {
  intervalText_ = text;
  const std::optional<std::int32_t> interval = intervalSeconds(text);
  if (!interval) {
    return false;
  }
  sampleCountdown_ = *interval;
  return true;
}

bool ReadingLogger::setStartingIntervalText(std::string_view text) {
  const bool isNumber = setIntervalText(text);
  sampleCountdown_ = 0;
  return isNumber;
}

void ReadingLogger::sampleTimerTick() {
  if (intervalOn_ && sampleCountdown_ > 0) {
    --sampleCountdown_;
  }
}

void ReadingLogger::clearAll() {
  if (table_.storedRowCount() != 0) {
    table_.clear();
  }
  nextRecordNo_ = 1;
}

void ReadingLogger::holdReadings() { holding_ = true; }

std::size_t ReadingLogger::releaseReadings() {
  holding_ = false;
  std::size_t logged = 0;
  while (!kept_.empty()) {
    const KeptReading kept = std::move(kept_.front());
    kept_.pop_front();
    if (offer({kept.value, kept.unit, kept.function, kept.mode}, kept.time) == Outcome::Logged) {
      ++logged;
    }
  }
  return logged;
}

}  // namespace qm::log
