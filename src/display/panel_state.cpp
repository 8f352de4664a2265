#include "display/panel_state.h"

namespace qm::display {
namespace {

std::bitset<kPanelElementCount> dispInitMask() {
  std::bitset<kPanelElementCount> mask;
  for (std::size_t i = 0; i < kDispInitElementCount; ++i) {
    mask.set(i);
  }
  return mask;
}

const std::bitset<kPanelElementCount> kKeptByDispInit = ~dispInitMask();

}  // namespace

PanelState PanelState::startupLook() {
  PanelState state;
  state.lit_.set();
  state.darken(PanelElement::CONok);
  state.digitText_.fill('8');
  for (const Digit testVoltage : {Digit::Label3, Digit::Label7, Digit::Label10, Digit::Label9}) {
    state.setDigitText(testVoltage, '0');
  }
  return state;
}

void PanelState::darkenIndicators() { lit_ &= kKeptByDispInit; }

}  // namespace qm::display
