#pragma once

// Feeds the window frames from the built-in simulated meter, two a second, for people without a
// meter at hand (--simulate). Stands where the cable's reports will arrive once the HID link
// exists.

#include "sim/meter_model.h"

#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <functional>
#include <string_view>

namespace qm::app {

class SimulatedFeed : public QObject {
  Q_OBJECT
public:
  // Receives each frame as its 44-character hex text.
  using FrameSink = std::function<void(std::string_view frameText)>;

  // Starts at once; the meter's programme begins with the first frame.
  SimulatedFeed(FrameSink sink, QObject* parent);

private:
  void sendFrame();

  FrameSink sink_;
  sim::MeterModel meter_;
  QElapsedTimer clock_;
  QTimer timer_;
};

}  // namespace qm::app
