#include "app/frm_test.h"

#include "app/click_panel.h"
#include "app/column_titles_model.h"
#include "app/frm_about.h"
#include "app/frm_store.h"
#include "app/help_viewer.h"
#include "chart/trend_chart_view.h"
#include "core/ansi_text.h"
#include "core/locale_text.h"
#include "display/meter_panel.h"
#include "reports/frm_print.h"
#include "sim/virtual_hid_bus.h"

#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolButton>


namespace qm::app {
namespace {

const QColor kWindowGrey(212, 208, 200);
const QColor kSilver(192, 192, 192);
constexpr QSize kClientSize(619, 526);

QFont arial(int pixelSize, bool bold) {
  QFont font(QStringLiteral("Arial"));
  font.setPixelSize(pixelSize);
  font.setBold(bold);
  return font;
}

template <typename Widget>
Widget* named(Widget* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

// A menu of the menu bar or a submenu. Menus that are never shown stay part of the window, so the
// shortcuts of their items keep working.
QMenu* addMenu(QWidget* owner, const char* name, const QString& title, bool shown = true) {
  auto* menu = named(new QMenu(title, owner), name);
  if (auto* bar = qobject_cast<QMenuBar*>(owner)) {
    bar->addMenu(menu);
  } else {
    qobject_cast<QMenu*>(owner)->addMenu(menu);
  }
  menu->menuAction()->setVisible(shown);
  return menu;
}

QAction* addItem(QMenu* menu, const char* name, const QString& caption, bool shown = true) {
  QAction* item = named(menu->addAction(caption), name);
  item->setVisible(shown);
  return item;
}

QAction* addCheckItem(QMenu* menu, const char* name, const QString& caption) {
  QAction* item = addItem(menu, name, caption);
  item->setCheckable(true);
  return item;
}

// The "Print Data" picture: a printer with a sheet coming out of it.
QIcon printerGlyph() {
  QPixmap pixmap(16, 16);
  pixmap.fill(Qt::transparent);
  QPainter painter(&pixmap);
  painter.setPen(QColor(64, 64, 64));
  painter.setBrush(Qt::white);
  painter.drawRect(4, 1, 8, 6);  // paper waiting at the back
  painter.setBrush(QColor(160, 160, 160));
  painter.drawRect(1, 6, 14, 6);  // body
  painter.setBrush(Qt::white);
  painter.drawRect(4, 10, 8, 5);  // printed sheet
  painter.setPen(QColor(0, 160, 0));
  painter.drawPoint(13, 8);  // power lamp
  return QIcon(pixmap);
}

QToolButton* addToolButton(QWidget* parent, const char* name, const QRect& geometry, const char* hint,
                           const QIcon& icon = {}) {
  auto* button = named(new QToolButton(parent), name);
  button->setGeometry(geometry);
  button->setToolTip(QLatin1String(hint));
  button->setIcon(icon);
  return button;
}

// A read-only grid whose columns the user may drag to another order.
QTableView* addGrid(QWidget* parent, const char* name, const QRect& geometry) {
  auto* grid = named(new QTableView(parent), name);
  grid->setGeometry(geometry);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->horizontalHeader()->setSectionsMovable(true);
  return grid;
}

}  // namespace

TFrmTest::TFrmTest(std::unique_ptr<link::HidPlatform> platform, QWidget* parent)
    : QMainWindow(parent),
      platform_(platform ? std::move(platform) : std::make_unique<sim::VirtualHidBus>()),
      reassembler_([this](std::string_view frameText) { hold_->offer(frameText); }) {
  setObjectName(QStringLiteral("FrmTest"));
  setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowSystemMenuHint |
                 Qt::WindowMinimizeButtonHint | Qt::WindowCloseButtonHint);
  QPalette grey = palette();
  grey.setColor(QPalette::Window, kWindowGrey);
  setPalette(grey);
  setFont(arial(11, false));

  buildMenus();

  // Controls sit at fixed places on a surface larger than the window; the scroll bars appear
  // because of the chart, the spare grid and the "SetFeature" button beyond the visible part.
  auto* scroller = named(new QScrollArea(this), "ClientArea");
  scroller->setFrameShape(QFrame::NoFrame);
  scroller->setWidget(buildContent());
  scroller->setFixedSize(kClientSize);
  setCentralWidget(scroller);
  layout()->setSizeConstraint(QLayout::SetFixedSize);

  buildTimers();
  // The controller lists the devices while the window is built, so the cable is selected before
  // the create handler runs.
  createLink();
  FormCreate();
  createHiddenWindows();
  placeOnScreen();
}

void TFrmTest::buildMenus() {
  QMenuBar* bar = menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));

  QMenu* file = addMenu(bar, "FileSet1", QStringLiteral("File"));
  addItem(file, "New", QStringLiteral("  New"));
  addItem(file, "Open", QStringLiteral("  Open"));
  addItem(file, "Save_as", QStringLiteral("  Save As..."));
  named(file->addSeparator(), "SaveAsSeparator");
  addItem(file, "print", QStringLiteral("  Print"), false);
  named(file->addSeparator(), "PrintSeparator");
  connect(addItem(file, "miExit", QStringLiteral("   Exit")), &QAction::triggered, this, &TFrmTest::miExitClick);

  QMenu* record = addMenu(bar, "Rec", QStringLiteral("Record"));
  addItem(record, "SaveR", QStringLiteral(" Save"));
  QMenu* recordSet = addMenu(record, "RecSet", QStringLiteral(" RecordSet"));
  auto* limits = named(new QActionGroup(recordSet), "RecordLimits");
  for (const auto& [name, caption] : {std::pair{"set1k", "1000"}, std::pair{"set5k", "5000"},
                                      std::pair{"set10k", "10000"}, std::pair{"set50k", "50000"},
                                      std::pair{"set100k", "100000"}, std::pair{"setlimit", "Limitless"}}) {
    limits->addAction(addCheckItem(recordSet, name, QLatin1String(caption)));
  }
  set10k = recordSet->findChild<QAction*>(QStringLiteral("set10k"));
  addItem(record, "ClearR", QStringLiteral(" Clear All"));
  addItem(record, "Search", QStringLiteral(" Search"), false);

  QMenu* comSet = addMenu(bar, "Comset", QStringLiteral("ComSet"), false);
  QMenu* com = addMenu(comSet, "COM", QStringLiteral(" COM"));
  COM1 = addCheckItem(com, "COM1", QStringLiteral("COM1"));
  addCheckItem(com, "COM2", QStringLiteral("COM2"));
  addCheckItem(com, "COM3", QStringLiteral("COM3"));
  addCheckItem(com, "COM4", QStringLiteral("COM4"));
  addCheckItem(comSet, "USB", QStringLiteral(" USB"));

  // The chart's commands; the chart is built after the menus, so each item looks it up when run.
  QMenu* graph = addMenu(bar, "Grap", QStringLiteral("Graph"), false);
  connect(addItem(graph, "Savepicture", QStringLiteral(" Save Whole")), &QAction::triggered, this,
          [this] { Chtshow->SavepictureClick(); });
  QMenu* goTo = addMenu(graph, "Move", QStringLiteral(" GoTo"));
  connect(addItem(goTo, "FirstP", QStringLiteral("First")), &QAction::triggered, this, [this] { Chtshow->BtFirstClick(); });
  connect(addItem(goTo, "NextP", QStringLiteral("Next")), &QAction::triggered, this, [this] { Chtshow->BtNextClick(); });
  connect(addItem(goTo, "LastP", QStringLiteral("Last")), &QAction::triggered, this, [this] { Chtshow->BTlastClick(); });
  connect(addItem(goTo, "PrivousP", QStringLiteral("Privous")), &QAction::triggered, this,
          [this] { Chtshow->BTPreviousClick(); });
  QAction* fillP = addCheckItem(graph, "FillP", QStringLiteral(" Fill"));
  fillP->setChecked(true);
  // FillPClick: the item's mark is already inverted when it reports the click; the box takes the
  // new mark, and the box's own click (BtFillClick) switches the series and sets the mark back.
  connect(fillP, &QAction::triggered, this, [this](bool checked) { Chtshow->setFillChecked(checked); });
  connect(addItem(graph, "ClearP", QStringLiteral(" Clear")), &QAction::triggered, this, [this] { Chtshow->BtNewClick(); });

  QMenu* about = addMenu(bar, "About", QStringLiteral("About"), false);
  QAction* help = addItem(about, "HELP1", QStringLiteral("  Help     "));
  help->setShortcut(QKeySequence(Qt::Key_F1));
  connect(help, &QAction::triggered, this, &TFrmTest::HELP1Click);
  // The menu is never shown; on the window itself the item's F1 still acts.
  addAction(help);
  addItem(about, "About1", QStringLiteral("  About..."), false);
}

QWidget* TFrmTest::buildContent() {
  auto* content = named(new QWidget, "ClientSurface");
  content->setAutoFillBackground(true);

  buildHiddenControls(content);
  // Created before the grid so that the grid covers them.
  buildCoveredRow(content);

  const QFont panelFont = arial(15, true);
  auto* connectPanel = named(new ClickPanel(QStringLiteral("CONNECT"), content), "Panel2");
  connectPanel->setGeometry(414, 2, 119, 27);
  connectPanel->setFont(panelFont);
  auto* exitPanel = named(new ClickPanel(QStringLiteral("EXIT"), content), "Panel3");
  exitPanel->setGeometry(536, 2, 81, 27);
  exitPanel->setFont(panelFont);
  connect(exitPanel, &ClickPanel::clicked, this, &TFrmTest::Panel3Click);

  Panel4 = new display::MeterPanel(content);
  Panel4->move(2, 30);
  Panel4->showState(panelState_);

  buildToolbar(content);
  buildGrids(content);

  auto* setFeature = named(new QPushButton(QStringLiteral("SetFeature"), content), "SetFeature");
  setFeature->setGeometry(698, 694, 59, 33);

  // Last, so that the chart lies above everything it may be laid over.
  Chtshow = new chart::TrendChartView(content);
  Chtshow->setGeometry(18, 612, 361, 209);

  // The surface reaches as far as the farthest visible control, and never less than the window.
  const QRect used = content->childrenRect().united(QRect(QPoint(0, 0), kClientSize));
  content->resize(used.right() + 1, used.bottom() + 1);
  return content;
}

void TFrmTest::buildHiddenControls(QWidget* content) {
  auto* label5 = named(new QLabel(QStringLiteral("Label5"), content), "Label5");
  label5->setGeometry(8, 8, 40, 13);
  auto* readBtn = named(new QPushButton(QStringLiteral("Read"), content), "ReadBtn");
  readBtn->setGeometry(52, 2, 60, 25);
  auto* usbCon = named(new QPushButton(QStringLiteral("USB Connect"), content), "USBCon");
  usbCon->setGeometry(116, 2, 80, 25);
  usbCon->setCheckable(true);
  auto* usbPanel = named(new ClickPanel(QStringLiteral("USB"), content), "Panel1");
  usbPanel->setGeometry(200, 2, 60, 27);
  auto* devices = named(new QListWidget(content), "DevListBox");
  devices->setGeometry(8, 40, 240, 80);
  auto* history = named(new QListWidget(content), "HistoryListBox");
  history->setGeometry(256, 40, 350, 120);
  auto* progress = named(new QProgressBar(content), "PBar2");
  progress->setGeometry(264, 8, 140, 16);

  QList<QWidget*> hidden = {label5, readBtn, usbCon, usbPanel, devices, history, progress};
  for (int n = 1; n <= 4; ++n) {
    auto* reportPanel = new QWidget(content);
    reportPanel->setObjectName(QStringLiteral("ReportPanel%1").arg(n));
    reportPanel->setGeometry(8 + 100 * (n - 1), 170, 96, 60);
    // The report layout itself is not built yet: an empty stand-in under its name.
    auto* report = new QWidget(reportPanel);
    report->setObjectName(QStringLiteral("Report%1").arg(n));
    hidden.append(reportPanel);
  }
  for (QWidget* widget : hidden) {
    widget->hide();
  }
}

void TFrmTest::buildCoveredRow(QWidget* content) {
  auto* label6 = named(new QLabel(QStringLiteral(" STORE DATA :"), content), "Label6");
  label6->setGeometry(12, 488, 90, 13);
  addToolButton(content, "SpeedButton4", {110, 488, 25, 25}, "");
  addToolButton(content, "SpeedButton6", {160, 488, 25, 25}, "");
  addToolButton(content, "SpeedButton8", {210, 488, 25, 25}, "Save Data");
  addToolButton(content, "SpeedButton9", {260, 488, 25, 25}, "Delete Data");
  addToolButton(content, "SpeedButton7", {320, 488, 25, 25}, "");
}

void TFrmTest::buildToolbar(QWidget* content) {
  auto* toolbar = named(new QFrame(content), "Panel7");
  toolbar->setGeometry(2, 320, 615, 33);
  toolbar->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  toolbar->setAutoFillBackground(true);
  QPalette silver = toolbar->palette();
  silver.setColor(QPalette::Window, kSilver);
  toolbar->setPalette(silver);

  RepeatSet = named(new QCheckBox(QStringLiteral("Repeat"), toolbar), "RepeatSet");
  RepeatSet->setGeometry(5, 5, 55, 17);
  RepeatSet->setToolTip(QStringLiteral("Repeage Record"));
  // The blanks keep room for the interval field laid over the caption; "'S" follows the field.
  RecordSI = named(new QCheckBox(QStringLiteral("Sampling Interval              'S"), toolbar), "RecordSI");
  RecordSI->setGeometry(60, 4, 167, 17);
  RecordSITime = named(new QLineEdit(QStringLiteral("10"), toolbar), "RecordSITime");
  RecordSITime->setGeometry(166, 0, 29, 22);

  const QRect slot(240, 4, 25, 25);
  const auto at = [&slot](int n) { return slot.translated(28 * n, 0); };
  addToolButton(toolbar, "SpeedButton1", at(0), "Save Data", style()->standardIcon(QStyle::SP_DialogSaveButton));
  addToolButton(toolbar, "SpeedButton2", at(1), "Delete Data", style()->standardIcon(QStyle::SP_DialogCancelButton));
  addToolButton(toolbar, "SpeedButton3", at(2), "Open Data", style()->standardIcon(QStyle::SP_DialogOpenButton));
  addToolButton(toolbar, "MajPrint", at(3), "Print Data", printerGlyph());
  QToolButton* store =
      addToolButton(toolbar, "SpeedButton5", at(4), "Store Data", style()->standardIcon(QStyle::SP_DriveHDIcon));
  store->hide();
  connect(store, &QToolButton::clicked, this, &TFrmTest::SpeedButton5Click);
}

void TFrmTest::buildGrids(QWidget* content) {
  // Bound to the reading table when the window is created.
  DBGrid1 = addGrid(content, "DBGrid1", {0, 348, 617, 177});
  DBGrid1->setFont(arial(11, true));
  DBGrid1->horizontalHeader()->setFont(arial(15, true));
  QPalette silver = DBGrid1->palette();
  silver.setColor(QPalette::Base, kSilver);
  DBGrid1->setPalette(silver);

  // Bound to no table, so it stays empty.
  QTableView* spare = addGrid(content, "DBGrid2", {340, 714, 341, 49});
  spare->setModel(new ColumnTitlesModel({QStringLiteral("SNo"), QStringLiteral("STime"), QStringLiteral("SValue"),
                                         QStringLiteral("SUnit"), QStringLiteral("SV_Range"), QStringLiteral("SI_Range")},
                                        spare));
}

void TFrmTest::buildTimers() {
  auto* conTimer = named(new QTimer(this), "ConTimer");
  conTimer->start(100);
  auto* sampInterTime = named(new QTimer(this), "SampInterTime");
  sampInterTime->start(1000);
  named(new QTimer(this), "Timer1");
  named(new QTimer(this), "Engertimer");
}

void TFrmTest::placeOnScreen() {
  adjustSize();
  move(screen()->availableGeometry().center() - rect().center());
}

void TFrmTest::FormCreate() {
  ProgramFolder_ = QCoreApplication::applicationDirPath() + QLatin1Char('/');
  LocaleDecimalSeparator_ = systemDecimalSeparator();
  decoder_.setDecimalSeparator(LocaleDecimalSeparator_);
  createReadingLog();
  COM1->setChecked(true);
  set10k->setChecked(true);
  Chtshow->fillWithSamples();
  Chtshow->ShowSeries(Chtshow->isFillChecked() ? chart::TrendChartView::kAreaSeries
                                               : chart::TrendChartView::kLineSeries);
  Chtshow->followTable(*cds1, LocaleDecimalSeparator_);
  Chtshow->setNextRecordNoSource([this] { return logger_->NextRecordNo(); });
  Chtshow->setClientArea(findChild<QScrollArea*>(QStringLiteral("ClientArea"))->viewport());
  connect(Chtshow, &chart::TrendChartView::fillSwitched, findChild<QAction*>(QStringLiteral("FillP")),
          &QAction::setChecked);
  RepeatSet->setChecked(true);
  setWindowTitle(QStringLiteral("QM830/QM840 Interface Program V2.00"));
  connection_->setPortKind(5);
  Chtshow->setPageSize(100);
}

void TFrmTest::createHiddenWindows() {
  new TFrmAbout(this);
  new reports::TFrmprint(this);
  Frmstore = new TFrmstore(this);
}

TFrmTest::~TFrmTest() {
  connection_.reset();
  HidCtl.reset();
}

void TFrmTest::createLink() {
  // Decoded frames are paced to the meter's display rate; the cable itself is read all the while.
  hold_ = new link::FrameHold([this](std::string_view frameText) { showFrame(frameText); }, this);
  HidCtl = std::make_unique<link::THidDeviceController>(*platform_);
  connection_ = std::make_unique<link::CableConnection>(
      *HidCtl, *platform_, reassembler_,
      link::CableConnection::Hooks{
          [this](std::string_view message) {
            QMessageBox::information(this, QApplication::applicationName(), fromAnsi(message));
          },
          [this] { darkenLinkIcon(); },
          [this] { syncLinkControls(); },
      });

  auto clicked = [this](const char* name, void (link::CableConnection::*handler)()) {
    QObject* control = findChild<QObject*>(QLatin1String(name));
    if (auto* panel = qobject_cast<ClickPanel*>(control)) {
      connect(panel, &ClickPanel::clicked, this, [this, handler] { ((*connection_).*handler)(); });
    } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
      connect(button, &QAbstractButton::clicked, this, [this, handler] { ((*connection_).*handler)(); });
    }
  };
  clicked("Panel2", &link::CableConnection::Panel2Click);
  clicked("USBCon", &link::CableConnection::USBConClick);
  clicked("ReadBtn", &link::CableConnection::ReadBtnClick);
  clicked("SetFeature", &link::CableConnection::SetFeatureClick);
  clicked("Panel1", &link::CableConnection::Panel1Click);
  for (int port = 1; port <= 4; ++port) {
    connect(findChild<QAction*>(QStringLiteral("COM%1").arg(port)), &QAction::triggered, this,
            [this, port] { connection_->COMClick(port); });
  }
  connect(findChild<QAction*>(QStringLiteral("USB")), &QAction::triggered, this, [this] { connection_->USBClick(); });
  connect(findChild<QTimer*>(QStringLiteral("ConTimer")), &QTimer::timeout, this, [this] { connection_->ConTimerTimer(); });

  connection_->attach();
  syncLinkControls();
}

// The hidden controls and the "CONNECT" panel show the connection's state.
void TFrmTest::syncLinkControls() {
  if (!connection_) {
    return;
  }
  const link::CableConnection& link = *connection_;
  findChild<QPushButton*>(QStringLiteral("USBCon"))->setChecked(link.USBCon());
  auto* panel2 = findChild<ClickPanel*>(QStringLiteral("Panel2"));
  panel2->setText(fromAnsi(link.Panel2Caption()));
  QPalette colours = panel2->palette();
  colours.setColor(QPalette::WindowText,
                   link.Panel2Colour() == link::CableConnection::CaptionColour::Yellow ? Qt::yellow : Qt::black);
  panel2->setPalette(colours);
  findChild<QMenu*>(QStringLiteral("Comset"))->setEnabled(link.ComSetEnabled());
  for (int port = 1; port <= 4; ++port) {
    findChild<QAction*>(QStringLiteral("COM%1").arg(port))->setChecked(link.comChecked(port));
  }
  findChild<QAction*>(QStringLiteral("USB"))->setChecked(link.usbChecked());
  findChild<ClickPanel*>(QStringLiteral("Panel1"))->setText(fromAnsi(link.Panel1Caption()));

  auto* devices = findChild<QListWidget*>(QStringLiteral("DevListBox"));
  devices->clear();
  for (const link::CableConnection::DeviceEntry& entry : link.DevListBox()) {
    devices->addItem(fromAnsi(entry.caption));
  }
  devices->setCurrentRow(link.selectedEntry() ? static_cast<int>(*link.selectedEntry()) : -1);

  auto* history = findChild<QListWidget*>(QStringLiteral("HistoryListBox"));
  for (; historyShown_ < link.HistoryListBox().size(); ++historyShown_) {
    history->addItem(fromAnsi(link.HistoryListBox()[historyShown_]));
  }
  history->setCurrentRow(history->count() - 1);
}

void TFrmTest::darkenLinkIcon() {
  panelState_.darken(display::PanelElement::CONok);
  panelState_.light(display::PanelElement::CONokN);
  Panel4->showState(panelState_);
}

void TFrmTest::showFrame(std::string_view frameText) {
  decoder_.ShowData840(frameText);
  Panel4->showState(panelState_);
}

void TFrmTest::Panel3Click() { QCoreApplication::quit(); }

void TFrmTest::miExitClick() { QCoreApplication::quit(); }

void TFrmTest::HELP1Click() {
  if (helpViewer_ == nullptr) {
    helpViewer_ = new HelpViewer(this);
  }
  helpViewer_->showContents(ProgramFolder_ + QStringLiteral("qm310.hlp"));
}

void TFrmTest::SpeedButton5Click() { Frmstore->exec(); }

}  // namespace qm::app
