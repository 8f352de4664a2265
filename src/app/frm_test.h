#pragma once

// The main window "FrmTest", the program's composition root: it lays out every control under its
// fixed name, owns the meter panel's state and the frame decoder, and wires menu items and
// controls to the handlers. The logic itself lives in the subsystem objects it holds.

#include "display/frame_decoder.h"
#include "display/panel_state.h"

#include <QMainWindow>

#include <cstdint>
#include <string>
#include <string_view>

QT_BEGIN_NAMESPACE
class QAction;
class QCheckBox;
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
  explicit TFrmTest(QWidget* parent = nullptr);

  // Decodes one meter frame, given as its 44-character hex text, and shows it on the meter panel.
  void showFrame(std::string_view frameText);

  // Folder of the running program file, ending in '/'.
  const QString& ProgramFolder() const { return ProgramFolder_; }
  // The system locale's decimal separator as code page 936 bytes; empty when it has no such form.
  const std::string& LocaleDecimalSeparator() const { return LocaleDecimalSeparator_; }
  // Selected port kind: 1 to 4 are COM1 to COM4, 5 is USB, the only kind in use.
  std::int8_t PortKind() const { return PortKind_; }
  const display::FrameDecoder& frameDecoder() const { return decoder_; }

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

  display::PanelState panelState_ = display::PanelState::startupLook();
  display::FrameDecoder decoder_{panelState_};

  QString ProgramFolder_;
  std::string LocaleDecimalSeparator_;
  std::int8_t PortKind_ = 0;

  display::MeterPanel* Panel4 = nullptr;
  chart::TrendChartView* Chtshow = nullptr;
  QCheckBox* RepeatSet = nullptr;
  QAction* COM1 = nullptr;
  QAction* set10k = nullptr;
  TFrmstore* Frmstore = nullptr;
  HelpViewer* helpViewer_ = nullptr;
};

}  // namespace qm::app
