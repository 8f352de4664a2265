#pragma once

// The pictures printed on the meter's display: the symbols that are not text.

#include <QRect>

#include <cstdint>

class QPainter;

namespace qm::display {

enum class Picture : std::uint8_t {
  Battery,      // outline with its terminal on the right; the charge bars are separate elements
  Probe,        // ringed dot with a lead coming in from the left
  Buzzer,       // dot sending out three widening arcs
  LinkUp,       // two networked computers with lit screens
  LinkDown,     // the same computers, greyed
  HighVoltage,  // lightning bolt
  Timer,        // stopwatch dial
};

// Draws the picture scaled to fill `box`.
void drawPicture(QPainter& painter, const QRect& box, Picture picture);

}  // namespace qm::display
