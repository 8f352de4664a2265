#pragma once

// What the simulated meter's display shows at one moment, in the terms the meter itself knows:
// which bit-driven elements are on, and what each seven-segment digit draws.

#include "display/panel_element.h"

#include <array>
#include <bitset>

namespace qm::sim {

using display::Digit;
using display::PanelElement;

struct DigitImage {
  char shown = ' ';   // ' ' for a blank digit, '0'..'9', or '@' for the letter L
  bool flag = false;  // the digit's decimal point or annunciator

  bool operator==(const DigitImage&) const = default;
};

struct DisplayImage {
  // Elements lit by a frame bit of their own. The flag elements of the digits (decimal points,
  // colon, NG, GOOD, ...) are not set here but through DigitImage::flag.
  std::bitset<display::kPanelElementCount> lit;
  std::array<DigitImage, display::kDigitCount> digits{};

  void set(PanelElement e, bool on = true) { lit.set(display::index(e), on); }
  bool isSet(PanelElement e) const { return lit.test(display::index(e)); }
  DigitImage& digit(Digit d) { return digits[display::index(d)]; }
  const DigitImage& digit(Digit d) const { return digits[display::index(d)]; }

  bool operator==(const DisplayImage&) const = default;
};

}  // namespace qm::sim
