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

ReadingLogger::Outcome ReadingLogger::INDataToTable(int /*mode*/, const display::CurrentReading& reading) {
  if (holding_) {
    kept_.push_back({std::string(reading.value), std::string(reading.unit), std::string(reading.function),
                     std::string(reading.mode), clock_()});
    return Outcome::Held;
  }
  return offer(reading, clock_());
}

ReadingLogger::Outcome ReadingLogger::offer(const display::CurrentReading& reading, TimeOfDay time) {
  if (RecordLimit_ < NextRecordNo_) {
    return Outcome::OverLimit;
  }
  if (intervalOn_ && SampleCountdown_ != 0) {
    return Outcome::Waiting;
  }
  if (!repeatAllowed_ && reading.value == LastLoggedValue_) {
    return Outcome::Repeated;
  }
  const std::optional<std::int32_t> interval = intervalSeconds(intervalText_);
  if (!interval) {
    return Outcome::BadIntervalText;
  }
  SampleCountdown_ = *interval;

  RowFields row;
  row.No = NextRecordNo_;
  row.Time = time;
  row.text(TextField::Value) = reading.value;
  row.text(TextField::Unit) = reading.unit;
  row.text(TextField::V_Range) = reading.function;
  row.text(TextField::I_Range) = reading.mode;
  table_.appendAdded(row);

  ++NextRecordNo_;
  LastLoggedValue_ = reading.value;
  return Outcome::Logged;
}

bool ReadingLogger::RecordSITimeChange(std::string_view text) {
  intervalText_ = text;
  const std::optional<std::int32_t> interval = intervalSeconds(text);
  if (!interval) {
    return false;
  }
  SampleCountdown_ = *interval;
  return true;
}

void ReadingLogger::SampInterTimeTimer() {
  if (intervalOn_ && SampleCountdown_ > 0) {
    --SampleCountdown_;
  }
}

void ReadingLogger::ClearAll() {
  if (table_.storedRowCount() != 0) {
    table_.clear();
  }
  NextRecordNo_ = 1;
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
