#pragma once

// The main window's controls, built in one place: every control under its layout name (its Qt
// objectName, which tests and the layout table find it by) at its fixed place, and handed back as
// typed pointers so that no handler has to look a control up by name. Building wires nothing.

#include <QtGlobal>

#include <array>

QT_BEGIN_NAMESPACE
class QAction;
class QCheckBox;
class QLineEdit;
class QListWidget;
class QMainWindow;
class QMenu;
class QPushButton;
class QScrollArea;
class QTableView;
class QToolButton;
QT_END_NAMESPACE

namespace qm::chart {
class TrendChartView;
}
namespace qm::display {
class MeterPanel;
}
namespace qm::log {
class ReadingGridView;
}

namespace qm::app {

class ClickPanel;

struct MainMenuItems {
  QAction* newTable = nullptr;     // File > "  New"
  QAction* openTable = nullptr;    // File > "  Open"
  QAction* saveTableAs = nullptr;  // File > "  Save As..."
  QAction* print = nullptr;        // File > "  Print" (hidden)
  QAction* exit = nullptr;         // File > "   Exit"
  QAction* recordSave = nullptr;   // Record > " Save"
  std::array<QAction*, 6> recordLimits{};  // Record > " RecordSet", in menu order
  QAction* clearAll = nullptr;     // Record > " Clear All"
  QAction* insulationAnalysis = nullptr;  // Analysis > "Insulation Test..."
  QMenu* portMenu = nullptr;       // "ComSet" (hidden)
  std::array<QAction*, 4> serialPorts{};  // COM1 to COM4
  QAction* usbPort = nullptr;
  QAction* saveWholeChart = nullptr;  // the hidden Graph menu
  QAction* firstChartPage = nullptr;
  QAction* nextChartPage = nullptr;
  QAction* lastChartPage = nullptr;
  QAction* previousChartPage = nullptr;
  QAction* chartFill = nullptr;
  QAction* clearChart = nullptr;
  QAction* help = nullptr;  // F1
};

struct MainWindowControls {
  MainMenuItems menu;
  QScrollArea* clientArea = nullptr;
  ClickPanel* connectPanel = nullptr;  // "CONNECT" / "DISCONNECT"
  ClickPanel* exitPanel = nullptr;     // "EXIT"
  ClickPanel* portPanel = nullptr;     // hidden: the port kind's name, cycles through them
  QPushButton* connectionToggle = nullptr;  // hidden "USB Connect": pressed while connected
  QPushButton* stopReadingButton = nullptr;  // hidden "Read"
  QPushButton* lineSettingsButton = nullptr;  // "SetFeature", beyond the visible part
  QListWidget* deviceList = nullptr;   // hidden
  QListWidget* historyList = nullptr;  // hidden
  display::MeterPanel* meterPanel = nullptr;
  QCheckBox* repeatBox = nullptr;
  QCheckBox* intervalBox = nullptr;
  QLineEdit* intervalField = nullptr;
  QToolButton* saveTableButton = nullptr;
  QToolButton* clearAllButton = nullptr;
  QToolButton* openTableButton = nullptr;
  QToolButton* printButton = nullptr;
  QToolButton* storeButton = nullptr;  // hidden
  QToolButton* storeReportButton = nullptr;  // covered by the grid
  log::ReadingGridView* grid = nullptr;
  chart::TrendChartView* chart = nullptr;
};

// Builds the menu bar and the client area of `window` (its central widget) and returns the
// controls. The window's own look (title, palette, font) is left to the window.
MainWindowControls buildMainWindowLayout(QMainWindow& window);

}  // namespace qm::app
