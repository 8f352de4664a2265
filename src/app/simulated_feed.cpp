#include "app/simulated_feed.h"

#include "sim/frame_encoder.h"

#include <chrono>

namespace qm::app {

SimulatedFeed::SimulatedFeed(FrameSink sink, QObject* parent) : QObject(parent), sink_(std::move(sink)) {
  // The real decoder takes half a second per frame, so the meter never shows more than two.
  timer_.setInterval(std::chrono::milliseconds(500));
  connect(&timer_, &QTimer::timeout, this, &SimulatedFeed::sendFrame);
  clock_.start();
  timer_.start();
}

void SimulatedFeed::sendFrame() {
  const std::chrono::milliseconds elapsed(clock_.elapsed());
  sink_(sim::frameText(sim::encodeFrame(meter_.displayAt(elapsed))));
}

}  // namespace qm::app
