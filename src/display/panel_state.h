#pragma once

// The whole state of the virtual meter panel: whether each element is lit, and the character each
// seven-segment digit holds (kept while the digit is dark). Plain data, no widgets: the decoder
// writes it, the panel widget draws it.

#include "display/panel_element.h"

#include <array>
#include <bitset>

namespace qm::display {

class PanelState {
public:
  // The look of the panel as the window opens: a display test with everything lit but the bright
  // link icon.
  static PanelState startupLook();

  bool isLit(PanelElement e) const { return lit_[index(e)]; }
  bool isLit(Digit d) const { return isLit(element(d)); }
  void light(PanelElement e) { lit_.set(index(e)); }
  void darken(PanelElement e) { lit_.reset(index(e)); }
  void setLit(PanelElement e, bool on) { lit_.set(index(e), on); }

  // '0'..'9', '@' for the letter L.
  char digitText(Digit d) const { return digitText_[index(d)]; }
  void setDigitText(Digit d, char text) { digitText_[index(d)] = text; }

  using ElementSet = std::bitset<kPanelElementCount>;
  void lightAll(const ElementSet& elements) { lit_ |= elements; }

  // Darkens the 74 bar, annunciator, symbol, point, colon and minus elements; digits, KD, the link
  // icon and rsUSB keep their look.
  void darkenIndicators();

  bool operator==(const PanelState&) const = default;

private:
  ElementSet lit_;
  std::array<char, kDigitCount> digitText_{};
};

}  // namespace qm::display
