#pragma once

// The main window "FrmTest", the program's composition root: it lays out every control under its
// fixed name, owns the meter panel's state and the frame decoder, and wires menu items and
// controls to the handlers. The logic itself lives in the subsystem objects it holds.

#include "display/frame_decoder.h"
#include "display/panel_state.h"
#include "link/cable_connection.h"
#include "link/frame_hold.h"
#include "link/hid_device_controller.h"
#include "link/report_reassembler.h"
#include "log/reading_logger.h"
#include "log/reading_table.h"
#include "log/time_of_day_format.h"

#include <QMainWindow>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>

QT_BEGIN_NAMESPACE
class QAction;
class QCheckBox;
class QFileDialog;
class QLineEdit;
class QTableView;
QT_END_NAMESPACE

namespace qm::chart {
class TrendChartView;
}
namespace qm::display {
class MeterPanel;
}

namespace qm::app {

class HelpViewer;
class TFrmstore;

class TFrmTest : public QMainWindow {
  Q_OBJECT
public:
  // The window reads the meter through `platform`; without one it sees no HID devices at all.
  explicit TFrmTest(std::unique_ptr<link::HidPlatform> platform = nullptr, QWidget* parent = nullptr);
  ~TFrmTest() override;

  // Decodes one meter frame, given as its 44-character hex text, and shows it on the meter panel.
  void showFrame(std::string_view frameText);

  // Folder of the running program file, ending in '/'.
  const QString& ProgramFolder() const { return ProgramFolder_; }
  // The system locale's decimal separator as code page 936 bytes; empty when it has no such form.
  const std::string& LocaleDecimalSeparator() const { return LocaleDecimalSeparator_; }
  // Selected port kind: 1 to 4 are COM1 to COM4, 5 is USB, the only kind in use.
  std::int8_t PortKind() const { return connection_->PortKind(); }
  link::CableConnection& cableConnection() { return *connection_; }
  link::FrameHold& frameHold() { return *hold_; }
  const display::FrameDecoder& frameDecoder() const { return decoder_; }
  log::ReadingTable& readingTable() { return *cds1; }
  const log::ReadingLogger& readingLogger() const { return *logger_; }

  // Shows a prepared file dialog and returns the chosen full name, or an empty text when the user
  // cancelled. Tests put their own in place to answer without a dialog on screen.
  using FileDialogRunner = std::function<QString(QFileDialog& dialog)>;
  void setFileDialogRunner(FileDialogRunner runner) { runFileDialog_ = std::move(runner); }

  // The reading log's commands, as the menus, the toolbar and the grid run them.
  void INDataToTable(int mode);
  void ClearRClick();
  void NewClick();
  void Save_asClick();
  void OpenClick();

private:
  void buildMenus();
  QWidget* buildContent();
  void buildHiddenControls(QWidget* content);
  void buildCoveredRow(QWidget* content);
  void buildToolbar(QWidget* content);
  void buildGrids(QWidget* content);
  void buildTimers();
  void placeOnScreen();
  void FormCreate();
  void createHiddenWindows();

  void Panel3Click();
  void miExitClick();
  void HELP1Click();
  void SpeedButton5Click();

  void createReadingLog();
  void RecordSITimeChange(const QString& text);
  void SampInterTimeTimer();
  void DBGrid1DeleteRecord();
  void followCurrentRow(std::optional<std::size_t> row);
  void reportUnloggedReading(log::ReadingLogger::Outcome outcome);
  // Runs a table file operation with the logging held, a progress dialog when it takes long, and
  // the window repainted afterwards.
  template <typename Operation>
  auto runFileOperation(const QString& label, Operation operation);

  void createLink();
  void syncLinkControls();
  void darkenLinkIcon();

  // The meter link, in the order it is torn down backwards: the connection gives its devices back
  // before the controller goes, and the controller goes before the HID services.
  std::unique_ptr<link::HidPlatform> platform_;
  std::unique_ptr<link::THidDeviceController> HidCtl;
  link::ReportReassembler reassembler_;
  link::FrameHold* hold_ = nullptr;
  std::unique_ptr<link::CableConnection> connection_;
  std::size_t historyShown_ = 0;

  display::PanelState panelState_ = display::PanelState::startupLook();
  display::FrameDecoder decoder_{panelState_};

  log::ReadingTable* cds1 = nullptr;
  // The user's long time format: the grid's Time column and the text table files.
  std::shared_ptr<const log::TimeOfDayFormat> timeFormat_;
  std::unique_ptr<log::ReadingLogger> logger_;
  std::string unloggableIntervalText_;
  QString lastOpenedFile_;  // the open dialog offers it again
  FileDialogRunner runFileDialog_;

  QString ProgramFolder_;
  std::string LocaleDecimalSeparator_;

  display::MeterPanel* Panel4 = nullptr;
  chart::TrendChartView* Chtshow = nullptr;
  QCheckBox* RepeatSet = nullptr;
  QCheckBox* RecordSI = nullptr;
  QLineEdit* RecordSITime = nullptr;
  QTableView* DBGrid1 = nullptr;
  QAction* COM1 = nullptr;
  QAction* set10k = nullptr;
  TFrmstore* Frmstore = nullptr;
  HelpViewer* helpViewer_ = nullptr;
};

}  // namespace qm::app
