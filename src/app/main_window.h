#pragma once

// The main window "FrmTest": it builds its controls (main_window_layout), makes the live meter,
// and wires the two together through small presenters: the link's controls, the reading log's
// controls and table file commands, the trend chart, and the help, about, print-style and store
// windows. It holds no logic of its own.

#include "app/main_window_layout.h"
#include "app/table_file_commands.h"
#include "link/hid_platform.h"

#include <QMainWindow>

#include <memory>
#include <string>

namespace qm::meter {
class LiveMeter;
}

namespace qm::app {

class AnalysisWindow;
class HelpViewer;
class StoreWindow;

class MainWindow : public QMainWindow {
  Q_OBJECT
public:
  // The window reads the meter through `platform`; without one it sees no HID devices at all.
  explicit MainWindow(std::unique_ptr<link::HidPlatform> platform = nullptr, QWidget* parent = nullptr);
  ~MainWindow() override;

  meter::LiveMeter& liveMeter() { return *meter_; }
  TableFileCommands& tableFileCommands() { return *tableFiles_; }

  // Folder of the running program file, ending in '/'.
  const QString& programFolder() const { return programFolder_; }
  // The system locale's decimal separator as code page 936 bytes; empty when it has no such form.
  const std::string& localeDecimalSeparator() const { return localeDecimalSeparator_; }

protected:
  // Asks before readings that were never saved are lost; a cancel keeps the window open.
  void closeEvent(QCloseEvent* event) override;

private:
  void setUpChart();
  void connectWindowCommands();
  void placeOnScreen();
  void showHelp();

  std::unique_ptr<meter::LiveMeter> meter_;
  MainWindowControls controls_;
  TableFileCommands* tableFiles_ = nullptr;
  StoreWindow* storeWindow_ = nullptr;
  AnalysisWindow* analysisWindow_ = nullptr;
  HelpViewer* helpViewer_ = nullptr;

  bool endConfirmed_ = false;  // the user already agreed to end with what is unsaved
  QString programFolder_;
  std::string localeDecimalSeparator_;
};

}  // namespace qm::app
