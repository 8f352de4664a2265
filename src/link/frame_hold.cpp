#include "link/frame_hold.h"

namespace qm::link {

FrameHold::FrameHold(Decode decode, QObject* parent) : QObject(parent), decode_(std::move(decode)) {
  timer_.setSingleShot(true);
  timer_.setTimerType(Qt::PreciseTimer);
  connect(&timer_, &QTimer::timeout, this, &FrameHold::holdEnded);
}

void FrameHold::setHoldLength(std::chrono::milliseconds length) { length_ = length; }

void FrameHold::offer(std::string_view frameText) {
  if (holding()) {
    waiting_.emplace(frameText);
    return;
  }
  decodeAndHold(frameText);
}

void FrameHold::decodeAndHold(std::string_view frameText) {
  if (length_.count() > 0) {
    timer_.start(length_);
  }
  decode_(frameText);
}

void FrameHold::holdEnded() {
  if (!waiting_) {
    return;
  }
  const std::string frame = std::move(*waiting_);
  waiting_.reset();
  decodeAndHold(frame);
}

}  // namespace qm::link
