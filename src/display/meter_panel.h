#pragma once

// The virtual meter panel "Panel4": a copy of the meter's liquid-crystal display. Every element is
// a child widget named as on the main window, visible exactly while it is lit; the seven-segment
// digits also carry the character they show. The panel has no logic of its own: showState() makes
// it look like a PanelState.

#include "display/panel_state.h"

#include <QFrame>

#include <array>

namespace qm::display {

class LcdElement;

class MeterPanel : public QFrame {
  Q_OBJECT
public:
  explicit MeterPanel(QWidget* parent = nullptr);

  void showState(const PanelState& state);

  QWidget* elementWidget(PanelElement e) const { return elements_[index(e)]; }

private:
  std::array<QWidget*, kPanelElementCount> elements_{};
  std::array<LcdElement*, kDigitCount> digits_{};
};

}  // namespace qm::display
