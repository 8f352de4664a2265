#include "app/link_presenter.h"

#include "app/click_panel.h"
#include "core/ansi_text.h"
#include "display/meter_panel.h"
#include "meter/live_meter.h"

#include <QAction>
#include <QApplication>
#include <QListWidget>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>

namespace qm::app {

using link::CableConnection;

LinkPresenter::LinkPresenter(meter::LiveMeter& meter, const MainWindowControls& controls, QWidget* window)
    : QObject(window), meter_(meter), controls_(controls), window_(window) {
  connect(controls.connectPanel, &ClickPanel::clicked, this, [this] { meter_.toggleConnection(); });
  connect(controls.connectionToggle, &QPushButton::clicked, this, [this] { meter_.connection().toggleReading(); });
  connect(controls.stopReadingButton, &QPushButton::clicked, this, [this] { meter_.connection().stopReading(); });
  connect(controls.lineSettingsButton, &QPushButton::clicked, this, [this] { meter_.connection().sendLineSettings(); });
  connect(controls.portPanel, &ClickPanel::clicked, this, &LinkPresenter::cyclePortKind);
  for (std::size_t i = 0; i < controls.menu.serialPorts.size(); ++i) {
    connect(controls.menu.serialPorts[i], &QAction::triggered, this,
            [this, port = static_cast<int>(i + 1)] { chooseSerialPort(port); });
  }
  connect(controls.menu.usbPort, &QAction::triggered, this, &LinkPresenter::chooseUsbPort);

  connect(&meter_, &meter::LiveMeter::linkStateChanged, this, &LinkPresenter::showLinkState);
  connect(&meter_, &meter::LiveMeter::panelChanged, this, [this] { controls_.meterPanel->showState(meter_.panel()); });
  connect(&meter_, &meter::LiveMeter::historyLine, this, [this](const QByteArray& line) {
    controls_.historyList->addItem(fromAnsi(line.toStdString()));
    controls_.historyList->setCurrentRow(controls_.historyList->count() - 1);
  });
  connect(&meter_, &meter::LiveMeter::linkMessage, this, [this](const QByteArray& message) {
    QMessageBox::information(window_, QApplication::applicationName(), fromAnsi(message.toStdString()));
  });
  controls.meterPanel->showState(meter_.panel());
  showLinkState();
}

void LinkPresenter::showLinkState() {
  const CableConnection& link = meter_.connection();
  controls_.connectionToggle->setChecked(link.isConnected());
  controls_.connectPanel->setText(link.isConnected() ? QStringLiteral("DISCONNECT") : QStringLiteral("CONNECT"));
  QPalette colours = controls_.connectPanel->palette();
  // Yellow says that the watchdog, not the user, ended the link.
  colours.setColor(QPalette::WindowText,
                   link.state() == CableConnection::State::DroppedForSilence ? Qt::yellow : Qt::black);
  controls_.connectPanel->setPalette(colours);
  controls_.menu.portMenu->setEnabled(link.state() == CableConnection::State::Disconnected);
  for (std::size_t i = 0; i < controls_.menu.serialPorts.size(); ++i) {
    controls_.menu.serialPorts[i]->setChecked(serialPortChecked_[i]);
  }
  controls_.menu.usbPort->setChecked(usbPortChecked_);
  controls_.portPanel->setText(link.portKind() == link::kUsbPortKind ? QStringLiteral("USB")
                                                                     : QStringLiteral("COM%1").arg(link.portKind()));

  controls_.deviceList->clear();
  for (const CableConnection::ListedDevice& device : link.devices()) {
    controls_.deviceList->addItem(fromAnsi(device.name));
  }
  controls_.deviceList->setCurrentRow(link.cableIndex() ? static_cast<int>(*link.cableIndex()) : -1);
}

// A port's mark inverts and every other mark goes: clicking the checked port unchecks it.
void LinkPresenter::chooseSerialPort(int port) {
  const std::size_t own = static_cast<std::size_t>(port - 1);
  const bool ownChecked = !serialPortChecked_[own];
  serialPortChecked_.fill(false);
  serialPortChecked_[own] = ownChecked;
  meter_.connection().setPortKind(static_cast<std::int8_t>(port));
}

void LinkPresenter::chooseUsbPort() {
  serialPortChecked_.fill(false);
  usbPortChecked_ = !usbPortChecked_;
  meter_.connection().setPortKind(link::kUsbPortKind);
}

// The port panel steps COM1 -> COM2 -> COM3 -> COM4 -> USB -> COM1, while not connected.
void LinkPresenter::cyclePortKind() {
  const CableConnection& link = meter_.connection();
  if (link.isConnected()) {
    return;
  }
  const int kind = link.portKind();
  if (kind >= 1 && kind <= 3) {
    chooseSerialPort(kind + 1);
  } else if (kind == 4) {
    chooseUsbPort();
  } else {
    chooseSerialPort(1);
  }
}

}  // namespace qm::app
