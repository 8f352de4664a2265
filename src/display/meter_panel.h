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

  // Shows and hides only the elements whose state differs from what is on screen, and repaints
  // only the digits whose character changed.
  void showState(const PanelState& state);

  QWidget* elementWidget(PanelElement e) const { return elements_[index(e)]; }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  // Names the widget after the element, places it and keeps it for showState().
  void addElement(PanelElement e, QWidget* widget, const QRect& box);

  std::array<QWidget*, kPanelElementCount> elements_{};
  std::array<LcdElement*, kDigitCount> digits_{};
};

}  // namespace qm::display
