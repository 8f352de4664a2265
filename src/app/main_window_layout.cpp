#include "app/main_window_layout.h"

#include "app/click_panel.h"
#include "app/column_titles_model.h"
#include "chart/trend_chart_view.h"
#include "display/meter_panel.h"
#include "log/reading_grid_view.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QStyle>
#include <QTableView>
#include <QTimer>
#include <QToolButton>

namespace qm::app {
namespace {

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
template <typename Grid = QTableView>
Grid* addGrid(QWidget* parent, const char* name, const QRect& geometry) {
  auto* grid = named(new Grid(parent), name);
  grid->setGeometry(geometry);
  grid->setEditTriggers(QAbstractItemView::NoEditTriggers);
  grid->horizontalHeader()->setSectionsMovable(true);
  return grid;
}

MainMenuItems buildMenus(QMainWindow& window) {
  MainMenuItems items;
  QMenuBar* bar = window.menuBar();
  bar->setObjectName(QStringLiteral("MainMenu1"));

  QMenu* file = addMenu(bar, "FileSet1", QStringLiteral("File"));
  items.newTable = addItem(file, "New", QStringLiteral("  New"));
  items.openTable = addItem(file, "Open", QStringLiteral("  Open"));
  items.saveTableAs = addItem(file, "Save_as", QStringLiteral("  Save As..."));
  named(file->addSeparator(), "SaveAsSeparator");
  items.print = addItem(file, "print", QStringLiteral("  Print"), false);
  named(file->addSeparator(), "PrintSeparator");
  items.exit = addItem(file, "miExit", QStringLiteral("   Exit"));

  QMenu* record = addMenu(bar, "Rec", QStringLiteral("Record"));
  items.recordSave = addItem(record, "SaveR", QStringLiteral(" Save"));
  QMenu* recordSet = addMenu(record, "RecSet", QStringLiteral(" RecordSet"));
  auto* limits = named(new QActionGroup(recordSet), "RecordLimits");
  const std::array<std::pair<const char*, const char*>, 6> limitItems = {
      {{"set1k", "1000"}, {"set5k", "5000"}, {"set10k", "10000"}, {"set50k", "50000"}, {"set100k", "100000"},
       {"setlimit", "Limitless"}}};
  for (std::size_t i = 0; i < limitItems.size(); ++i) {
    items.recordLimits[i] = addCheckItem(recordSet, limitItems[i].first, QLatin1String(limitItems[i].second));
    limits->addAction(items.recordLimits[i]);
  }
  items.clearAll = addItem(record, "ClearR", QStringLiteral(" Clear All"));
  addItem(record, "Search", QStringLiteral(" Search"), false);

  QMenu* analysis = addMenu(bar, "AnalysisMenu", QStringLiteral("Analysis"));
  items.insulationAnalysis = addItem(analysis, "InsulationTest", QStringLiteral("Insulation Test..."));

  items.portMenu = addMenu(bar, "Comset", QStringLiteral("ComSet"), false);
  QMenu* com = addMenu(items.portMenu, "COM", QStringLiteral(" COM"));
  for (std::size_t i = 0; i < items.serialPorts.size(); ++i) {
    const QByteArray name = "COM" + QByteArray::number(static_cast<int>(i + 1));
    items.serialPorts[i] = addCheckItem(com, name.constData(), QString::fromLatin1(name));
  }
  items.usbPort = addCheckItem(items.portMenu, "USB", QStringLiteral(" USB"));

  QMenu* graph = addMenu(bar, "Grap", QStringLiteral("Graph"), false);
  items.saveWholeChart = addItem(graph, "Savepicture", QStringLiteral(" Save Whole"));
  QMenu* goTo = addMenu(graph, "Move", QStringLiteral(" GoTo"));
  items.firstChartPage = addItem(goTo, "FirstP", QStringLiteral("First"));
  items.nextChartPage = addItem(goTo, "NextP", QStringLiteral("Next"));
  items.lastChartPage = addItem(goTo, "LastP", QStringLiteral("Last"));
  items.previousChartPage = addItem(goTo, "PrivousP", QStringLiteral("Privous"));
  items.chartFill = addCheckItem(graph, "FillP", QStringLiteral(" Fill"));
  items.chartFill->setChecked(true);
  items.clearChart = addItem(graph, "ClearP", QStringLiteral(" Clear"));

  QMenu* about = addMenu(bar, "About", QStringLiteral("About"), false);
  items.help = addItem(about, "HELP1", QStringLiteral("  Help     "));
  items.help->setShortcut(QKeySequence(Qt::Key_F1));
  // The menu is never shown; on the window itself the item's F1 still acts.
  window.addAction(items.help);
  addItem(about, "About1", QStringLiteral("  About..."), false);
  return items;
}

void buildHiddenControls(QWidget* content, MainWindowControls& controls) {
  auto* label5 = named(new QLabel(QStringLiteral("Label5"), content), "Label5");
  label5->setGeometry(8, 8, 40, 13);
  controls.stopReadingButton = named(new QPushButton(QStringLiteral("Read"), content), "ReadBtn");
  controls.stopReadingButton->setGeometry(52, 2, 60, 25);
  controls.connectionToggle = named(new QPushButton(QStringLiteral("USB Connect"), content), "USBCon");
  controls.connectionToggle->setGeometry(116, 2, 80, 25);
  controls.connectionToggle->setCheckable(true);
  controls.portPanel = named(new ClickPanel(QStringLiteral("USB"), content), "Panel1");
  controls.portPanel->setGeometry(200, 2, 60, 27);
  controls.deviceList = named(new QListWidget(content), "DevListBox");
  controls.deviceList->setGeometry(8, 40, 240, 80);
  controls.historyList = named(new QListWidget(content), "HistoryListBox");
  controls.historyList->setGeometry(256, 40, 350, 120);
  auto* progress = named(new QProgressBar(content), "PBar2");
  progress->setGeometry(264, 8, 140, 16);

  QList<QWidget*> hidden = {label5, controls.stopReadingButton, controls.connectionToggle, controls.portPanel,
                            controls.deviceList, controls.historyList, progress};
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

// A row of the layout that the grid covers; of its buttons only the store report's has a command.
void buildCoveredRow(QWidget* content, MainWindowControls& controls) {
  auto* label6 = named(new QLabel(QStringLiteral(" STORE DATA :"), content), "Label6");
  label6->setGeometry(12, 488, 90, 13);
  addToolButton(content, "SpeedButton4", {110, 488, 25, 25}, "");
  addToolButton(content, "SpeedButton6", {160, 488, 25, 25}, "");
  addToolButton(content, "SpeedButton8", {210, 488, 25, 25}, "Save Data");
  addToolButton(content, "SpeedButton9", {260, 488, 25, 25}, "Delete Data");
  controls.storeReportButton = addToolButton(content, "SpeedButton7", {320, 488, 25, 25}, "");
}

void buildToolbar(QWidget* content, MainWindowControls& controls) {
  auto* toolbar = named(new QFrame(content), "Panel7");
  toolbar->setGeometry(2, 320, 615, 33);
  toolbar->setFrameStyle(QFrame::Panel | QFrame::Sunken);
  toolbar->setAutoFillBackground(true);
  QPalette silver = toolbar->palette();
  silver.setColor(QPalette::Window, kSilver);
  toolbar->setPalette(silver);

  controls.repeatBox = named(new QCheckBox(QStringLiteral("Repeat"), toolbar), "RepeatSet");
  controls.repeatBox->setGeometry(5, 5, 55, 17);
  controls.repeatBox->setToolTip(QStringLiteral("Repeage Record"));
  // The blanks keep room for the interval field laid over the caption; "'S" follows the field.
  controls.intervalBox = named(new QCheckBox(QStringLiteral("Sampling Interval              'S"), toolbar), "RecordSI");
  controls.intervalBox->setGeometry(60, 4, 167, 17);
  controls.intervalField = named(new QLineEdit(QStringLiteral("10"), toolbar), "RecordSITime");
  controls.intervalField->setGeometry(166, 0, 29, 22);

  const QRect slot(240, 4, 25, 25);
  const auto at = [&slot](int n) { return slot.translated(28 * n, 0); };
  const QStyle* style = toolbar->style();
  controls.saveTableButton =
      addToolButton(toolbar, "SpeedButton1", at(0), "Save Data", style->standardIcon(QStyle::SP_DialogSaveButton));
  controls.clearAllButton =
      addToolButton(toolbar, "SpeedButton2", at(1), "Delete Data", style->standardIcon(QStyle::SP_DialogCancelButton));
  controls.openTableButton =
      addToolButton(toolbar, "SpeedButton3", at(2), "Open Data", style->standardIcon(QStyle::SP_DialogOpenButton));
  controls.printButton = addToolButton(toolbar, "MajPrint", at(3), "Print Data", printerGlyph());
  controls.storeButton =
      addToolButton(toolbar, "SpeedButton5", at(4), "Store Data", style->standardIcon(QStyle::SP_DriveHDIcon));
  controls.storeButton->hide();
}

void buildGrids(QWidget* content, MainWindowControls& controls) {
  // Bound to the reading table when the window is created.
  controls.grid = addGrid<log::ReadingGridView>(content, "DBGrid1", {0, 348, 617, 177});
  controls.grid->setFont(arial(11, true));
  controls.grid->horizontalHeader()->setFont(arial(15, true));
  QPalette silver = controls.grid->palette();
  silver.setColor(QPalette::Base, kSilver);
  controls.grid->setPalette(silver);

  // Bound to no table, so it stays empty.
  QTableView* spare = addGrid(content, "DBGrid2", {340, 714, 341, 49});
  spare->setModel(new ColumnTitlesModel({QStringLiteral("SNo"), QStringLiteral("STime"), QStringLiteral("SValue"),
                                         QStringLiteral("SUnit"), QStringLiteral("SV_Range"), QStringLiteral("SI_Range")},
                                        spare));
}

QWidget* buildContent(MainWindowControls& controls) {
  auto* content = named(new QWidget, "ClientSurface");
  content->setAutoFillBackground(true);

  buildHiddenControls(content, controls);
  // Created before the grid so that the grid covers them.
  buildCoveredRow(content, controls);

  const QFont panelFont = arial(15, true);
  controls.connectPanel = named(new ClickPanel(QStringLiteral("CONNECT"), content), "Panel2");
  controls.connectPanel->setGeometry(414, 2, 119, 27);
  controls.connectPanel->setFont(panelFont);
  controls.exitPanel = named(new ClickPanel(QStringLiteral("EXIT"), content), "Panel3");
  controls.exitPanel->setGeometry(536, 2, 81, 27);
  controls.exitPanel->setFont(panelFont);

  controls.meterPanel = new display::MeterPanel(content);
  controls.meterPanel->move(2, 30);

  buildToolbar(content, controls);
  buildGrids(content, controls);

  controls.lineSettingsButton = named(new QPushButton(QStringLiteral("SetFeature"), content), "SetFeature");
  controls.lineSettingsButton->setGeometry(698, 694, 59, 33);

  // Last, so that the chart lies above everything it may be laid over.
  controls.chart = new chart::TrendChartView(content);
  controls.chart->setGeometry(18, 612, 361, 209);

  // The surface reaches as far as the farthest visible control, and never less than the window.
  const QRect used = content->childrenRect().united(QRect(QPoint(0, 0), kClientSize));
  content->resize(used.right() + 1, used.bottom() + 1);
  return content;
}

}  // namespace

MainWindowControls buildMainWindowLayout(QMainWindow& window) {
  MainWindowControls controls;
  controls.menu = buildMenus(window);

  // Controls sit at fixed places on a surface larger than the window; the scroll bars appear
  // because of the chart, the spare grid and the "SetFeature" button beyond the visible part.
  controls.clientArea = named(new QScrollArea(&window), "ClientArea");
  controls.clientArea->setFrameShape(QFrame::NoFrame);
  controls.clientArea->setWidget(buildContent(controls));
  controls.clientArea->setFixedSize(kClientSize);
  window.setCentralWidget(controls.clientArea);
  window.layout()->setSizeConstraint(QLayout::SetFixedSize);

  // Two timers of the layout that nothing starts.
  named(new QTimer(&window), "Timer1");
  named(new QTimer(&window), "Engertimer");
  return controls;
}

}  // namespace qm::app
