#pragma once

// The live meter: the one object that owns the chain from the cable to the reading table, and
// tells any number of listeners what happened through its signals.
//
//   HID read thread -> report reassembler -> frame hold -> frame decoder (panel state, current
//   reading) -> logging rules -> reading table
//
// The window and every qm-cli command that reads the meter use this same object, so a reading
// travels one path wherever it is shown. Qt Core only: whoever shows it listens. Everything runs
// on the thread that made it (the GUI thread); the controller's read threads hand their reports
// over to it.

#include "display/frame_decoder.h"
#include "display/panel_state.h"
#include "link/cable_connection.h"
#include "link/frame_hold.h"
#include "link/hid_device_controller.h"
#include "link/hid_platform.h"
#include "link/report_reassembler.h"
#include "log/reading_logger.h"
#include "log/reading_table.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string_view>

namespace qm::meter {

class LiveMeter : public QObject {
  Q_OBJECT
public:
  // Reads the meter through `platform`. Throws link::HidControllerError when the program already
  // has a HID controller.
  explicit LiveMeter(std::unique_ptr<link::HidPlatform> platform, QObject* parent = nullptr);
  ~LiveMeter() override;

  // The link.
  void toggleConnection() { connection_->toggleConnection(); }
  void connectCable() { connection_->connectCable(); }
  void disconnectCable() { connection_->disconnectCable(); }
  link::CableConnection& connection() { return *connection_; }
  const link::CableConnection& connection() const { return *connection_; }
  link::HidDeviceController& controller() { return *controller_; }
  link::ReportReassembler& reassembler() { return reassembler_; }
  link::FrameHold& frameHold() { return hold_; }

  // The display. What a decimal point reads as in the reading's value (CP936 bytes).
  void setDecimalSeparator(std::string_view separator) { decoder_.setDecimalSeparator(separator); }
  const display::PanelState& panel() const { return panel_; }
  const display::FrameDecoder& decoder() const { return decoder_; }
  // Decodes one frame text at once, as when the hold lets a frame through, and offers its reading
  // to the logging rules.
  void decodeFrame(std::string_view frameText);

  // The log.
  log::ReadingTable& table() { return table_; }
  const log::ReadingTable& table() const { return table_; }
  log::ReadingLogger& logger() { return logger_; }
  const log::ReadingLogger& logger() const { return logger_; }
  // A simulated meter that runs `speed` times faster than the wall clock: the display's hold
  // shrinks alike, and readings are stamped with the meter's own time (`meterTime`, counted from
  // the time of day now) instead of the computer's, so the table shows the test as it ran.
  void followMeterTime(int speed, std::function<std::chrono::milliseconds()> meterTime);

  // While a long file operation runs on the table, readings are kept and logged afterwards.
  void holdReadings() { logger_.holdReadings(); }
  void releaseReadings();

signals:
  // The panel state changed: a frame was decoded or the link icon went dark.
  void panelChanged();
  // A frame was decoded; `showsReading` when it showed a main value, which was offered for logging.
  void frameDecoded(bool showsReading);
  // A reading from the meter became row `row` of the table.
  void readingLogged(std::size_t row);
  // A reading from the meter was offered and the rules kept it out.
  void readingNotLogged(log::ReadingLogger::Outcome why);
  // The connection's state, its device list, its cable or its port kind changed.
  void linkStateChanged();
  // One tick of the 100 ms link timer has run the watchdog.
  void linkTimerTicked();
  // An input report of the cable as read (the data bytes after the report ID), before reassembly.
  void reportRead(quint8 reportId, const QByteArray& data);
  // A diagnostic line of the link (CP936 bytes).
  void historyLine(const QByteArray& line);
  // Something the user must be told (CP936 bytes): the cable is missing or the meter silent.
  void linkMessage(const QByteArray& message);

private:
  void linkStateChangedHere();
  void offer(const CurrentReading& reading);

  // Torn down backwards: the connection gives its devices back before the controller goes, and
  // the controller goes before the HID services.
  std::unique_ptr<link::HidPlatform> platform_;
  std::unique_ptr<link::HidDeviceController> controller_;
  link::ReportReassembler reassembler_;
  link::FrameHold hold_;
  std::unique_ptr<link::CableConnection> connection_;
  QTimer linkTimer_;

  display::PanelState panel_ = display::PanelState::startupLook();
  display::FrameDecoder decoder_{panel_};

  log::ReadingTable table_;
  log::ReadingLogger logger_{table_};
  QTimer sampleTimer_;
};

}  // namespace qm::meter
