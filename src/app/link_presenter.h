#pragma once

// Shows the live meter's link on the window's controls and forwards their clicks: the "CONNECT"
// panel's caption and colour, the hidden connection toggle, port menu and port panel, the device
// and history list boxes, the link's messages, and the meter panel repainted whenever its state
// changed. The check marks of the port menu are this presenter's own state: they are how the menu
// looks, not what the link does.

#include "app/main_window_layout.h"

#include <QObject>

#include <array>

namespace qm::meter {
class LiveMeter;
}

namespace qm::app {

class LinkPresenter : public QObject {
  Q_OBJECT
public:
  LinkPresenter(meter::LiveMeter& meter, const MainWindowControls& controls, QWidget* window);

private:
  void showLinkState();
  void chooseSerialPort(int port);
  void chooseUsbPort();
  void cyclePortKind();

  meter::LiveMeter& meter_;
  const MainWindowControls& controls_;
  QWidget* window_;
  std::array<bool, 4> serialPortChecked_{true, false, false, false};
  bool usbPortChecked_ = false;
};

}  // namespace qm::app
