// The main window as the user meets it: built for real, checked through its widgets, menus and keys.

#include "app/main_window.h"
#include "app/click_panel.h"
#include "sim/simulated_desk.h"
#include "chart/trend_chart_view.h"
#include "display/meter_panel.h"
#include "meter/live_meter.h"
#include "sim/frame_encoder.h"
#include "sim/meter_model.h"
#include "sim/virtual_hid_bus.h"

#include <QAbstractButton>
#include <QAreaSeries>
#include <QChartView>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QListWidget>
#include <QPushButton>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScopeGuard>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QFileDialog>
#include <QTextBrowser>
#include <QTimer>
#include <QValueAxis>
#include <QtTest>

#include <memory>

using qm::app::MainWindow;

namespace {

QString captionOf(const QWidget* widget) {
  if (const auto* button = qobject_cast<const QAbstractButton*>(widget)) {
    return button->text();
  }
  if (const auto* label = qobject_cast<const QLabel*>(widget)) {
    return label->text();
  }
  if (const auto* edit = qobject_cast<const QLineEdit*>(widget)) {
    return edit->text();
  }
  return {};
}

QStringList visibleTopLevelNames() {
  QStringList names;
  for (const QWidget* widget : QApplication::topLevelWidgets()) {
    if (widget->isVisible()) {
      names.append(widget->objectName());
    }
  }
  names.sort();
  return names;
}

// Closes whatever modal window is open once the event loop gets to it, and remembers its name:
// modal windows must not hold a test up.
class ModalCloser {
public:
  ModalCloser() {
    QTimer::singleShot(0, [this] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        closed_ = modal->objectName();
        modal->close();
      }
    });
  }
  const QString& closed() const { return closed_; }

private:
  QString closed_;
};

}  // namespace

class TestMainWindow : public QObject {
  Q_OBJECT

private slots:
  void init();
  void cleanup();

  void windowFrame();
  void checkMarksAtStartup_data();
  void checkMarksAtStartup();
  void startupValues();
  void controls_data();
  void controls();
  void toolButtonsSitRightOfTheIntervalField();
  void grids_data();
  void grids();
  void coveredRowHitsTheGrid_data();
  void coveredRowHitsTheGrid();
  void scrollingReachesFarControls_data();
  void scrollingReachesFarControls();
  void menuBarShowsFileRecordAndAnalysis();
  void menuOrder_data();
  void menuOrder();
  void menuItems_data();
  void menuItems();
  void recordLimitsAreExclusive();
  void recordSaveDoesNothing();
  void f1OpensHelpFromTheProgramFolder_data();
  void f1OpensHelpFromTheProgramFolder();
  void hiddenWindows_data();
  void hiddenWindows();
  void storeButtonShowsStoreWindow();
  void chartSeries();
  void showSeriesKeepsOneSeriesActive();
  void frameReachesThePanel();
  void liveSimulatedMeter();
  void portPanelCyclesPortKinds();
  void silentCableTurnsConnectYellow();
  void exitPaths_data();
  void exitPaths();
  void exitAsksBeforeUnsavedReadingsAreLost_data();
  void exitAsksBeforeUnsavedReadingsAreLost();

private:
  // Logs `count` readings of the simulated meter through the window's live meter.
  void logReadings(int count) {
    qm::sim::DisplayImage image;
    qm::sim::showValue(image, "523.4");
    image.set(qm::display::PanelElement::Labmo1);
    for (int i = 0; i < count; ++i) {
      window_->liveMeter().decodeFrame(qm::sim::frameText(qm::sim::encodeFrame(image)));
    }
  }
  // Starts an exit path of the window once the event loop runs.
  static void exitBy(MainWindow* window, const QString& path) {
    QTimer::singleShot(0, window, [window, path] {
      if (path == QLatin1String("EXIT")) {
        QTest::mouseClick(window->findChild<QWidget*>(QStringLiteral("Panel3")), Qt::LeftButton);
      } else if (path == QLatin1String("miExit")) {
        window->findChild<QAction*>(QStringLiteral("miExit"))->trigger();
      } else {
        window->close();
      }
    });
  }

  template <typename T = QWidget>
  T* child(const QString& name) const {
    return window_->findChild<T*>(name);
  }
  QWidget* surface() const { return child<QScrollArea>(QStringLiteral("ClientArea"))->widget(); }
  // The places where F1 looks for the help file, relative to the running program (here the test
  // program): beside it as in the build tree, and where an installed program keeps its data.
  static constexpr const char* kBesideProgram = "qm310.hlp";
  static constexpr const char* kInstalled = "../share/qm-interface/qm310.hlp";
  static QString helpFile(const char* place = kBesideProgram) {
    return QDir::cleanPath(QCoreApplication::applicationDirPath() + QLatin1Char('/') + QLatin1String(place));
  }
  static bool writeHelpFile(const QByteArray& html, const char* place = kBesideProgram) {
    QFile file(helpFile(place));
    return QDir().mkpath(QFileInfo(file).path()) && file.open(QIODevice::WriteOnly) && file.write(html) == html.size();
  }

  std::unique_ptr<MainWindow> window_;
};

void TestMainWindow::init() {
  window_ = std::make_unique<MainWindow>();
  window_->show();
  QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
}

void TestMainWindow::cleanup() {
  window_.reset();
  for (const char* place : {kBesideProgram, kInstalled}) {
    QFile::remove(helpFile(place));
  }
}

void TestMainWindow::windowFrame() {
  QCOMPARE(window_->windowTitle(), QStringLiteral("QM830/QM840 Interface Program V2.00"));
  QCOMPARE(window_->centralWidget()->size(), QSize(619, 526));
  QVERIFY(window_->centralWidget()->geometry().top() >= window_->menuBar()->geometry().bottom());
  QCOMPARE(window_->minimumSize(), window_->maximumSize());
  QCOMPARE(window_->size(), window_->minimumSize());

  const Qt::WindowFlags flags = window_->windowFlags();
  QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
  QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
  QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
  QVERIFY(flags.testFlag(Qt::WindowSystemMenuHint));

  // Centred as a whole; the decorations the platform adds only after placing may shift it a little.
  const QPoint offCentre = window_->frameGeometry().center() - window_->screen()->availableGeometry().center();
  const QSize decorations = window_->frameGeometry().size() - window_->size();
  QVERIFY2(std::abs(offCentre.x()) <= decorations.width() + 1 && std::abs(offCentre.y()) <= decorations.height() + 1,
           qPrintable(QStringLiteral("off centre by %1,%2").arg(offCentre.x()).arg(offCentre.y())));
}

void TestMainWindow::checkMarksAtStartup_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<bool>("checked");
  const std::pair<const char*, bool> rows[] = {
      {"RepeatSet", true}, {"RecordSI", false}, {"BtFill", true},   {"FillP", true},    {"USBCon", false},
      {"set1k", false},    {"set5k", false},    {"set10k", true},   {"set50k", false},  {"set100k", false},
      {"setlimit", false}, {"COM1", true},      {"COM2", false},    {"COM3", false},    {"COM4", false},
      {"USB", false},
  };
  for (const auto& [name, checked] : rows) {
    QTest::newRow(name) << QString::fromLatin1(name) << checked;
  }
}

void TestMainWindow::checkMarksAtStartup() {
  QFETCH(QString, name);
  QFETCH(bool, checked);
  const QObject* control = child<QObject>(name);
  QVERIFY2(control != nullptr, qPrintable(name));
  QVERIFY(control->property("checkable").toBool());
  QCOMPARE(control->property("checked").toBool(), checked);
}

void TestMainWindow::startupValues() {
  QCOMPARE(window_->liveMeter().connection().portKind(), std::int8_t{5});
  QCOMPARE(window_->programFolder(), QCoreApplication::applicationDirPath() + QLatin1Char('/'));
  QCOMPARE(child<qm::chart::TrendChartView>(QStringLiteral("Chtshow"))->pageSize(), 100);
  // The test runs under a German locale (see main): the separator is a comma.
  QCOMPARE(window_->localeDecimalSeparator(), std::string(","));

  const qm::display::FrameDecoder& decoder = window_->liveMeter().decoder();
  QCOMPARE(decoder.currentValue(), std::string_view("0000"));
  QCOMPARE(decoder.currentFunction(), std::string_view("IR:500V 20G\xA6\xB8"));
  QCOMPARE(decoder.currentMode(), std::string_view("40.0A"));
}

void TestMainWindow::controls_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("parentName");
  QTest::addColumn<QRect>("geometry");  // width or height -1: left to the layout
  QTest::addColumn<QString>("caption");
  QTest::addColumn<QString>("hint");
  QTest::addColumn<bool>("shown");

  const QString surface = QStringLiteral("ClientSurface");
  const QString toolbar = QStringLiteral("Panel7");
  const QString chart = QStringLiteral("Chtshow");
  const QRect anywhere(-1, -1, -1, -1);
  const auto row = [](const char* name, const QString& parent, QRect geometry, const char* caption,
                      const char* hint, bool shown) {
    QTest::newRow(name) << QString::fromLatin1(name) << parent << geometry << QString::fromLatin1(caption)
                        << QString::fromLatin1(hint) << shown;
  };

  row("Panel2", surface, {414, 2, 119, 27}, "CONNECT", "", true);
  row("Panel3", surface, {536, 2, 81, 27}, "EXIT", "", true);
  row("Panel4", surface, {2, 30, 615, 289}, "", "", true);
  row("Panel7", surface, {2, 320, 615, 33}, "", "", true);
  row("DBGrid1", surface, {0, 348, 617, 177}, "", "", true);
  row("Chtshow", surface, {18, 612, 361, 209}, "", "", true);
  row("DBGrid2", surface, {340, 714, 341, 49}, "", "", true);
  row("SetFeature", surface, {698, 694, 59, 33}, "SetFeature", "", true);

  row("RepeatSet", toolbar, {5, 5, -1, -1}, "Repeat", "Repeage Record", true);
  row("RecordSI", toolbar, {60, 4, 167, -1}, "Sampling Interval              'S", "", true);
  row("RecordSITime", toolbar, {166, 0, 29, 22}, "10", "", true);
  row("SpeedButton1", toolbar, anywhere, "", "Save Data", true);
  row("SpeedButton2", toolbar, anywhere, "", "Delete Data", true);
  row("SpeedButton3", toolbar, anywhere, "", "Open Data", true);
  row("MajPrint", toolbar, anywhere, "", "Print Data", true);
  row("SpeedButton5", toolbar, anywhere, "", "Store Data", false);

  row("Bevel1", chart, {2, 2, 40, 20}, "", "", true);
  row("BtFill", chart, {1, 5, 36, 17}, "Fill", "Graphic Fill", true);
  row("Maxrecord", chart, {48, 3, 41, 21}, "100", "", true);
  row("BtSave", chart, {93, 3, 35, 21}, "", "Save  Active Graphic", true);
  row("BtNew", chart, {127, 3, 35, 21}, "", "Delete Graphic", true);
  row("BtFirst", chart, {163, 3, 25, 21}, "", "First", true);
  row("BTPrevious", chart, {187, 3, 25, 21}, "", "Previous", true);
  row("Bt10", chart, {211, 3, 25, 21}, "1", "Page No.", true);
  row("BtNext", chart, {235, 3, 25, 21}, "", "Next", true);
  row("BTlast", chart, {263, 3, 25, 21}, "", "last", true);
  row("TbFd", chart, {288, 3, 25, 25}, "", "Graphic Enlarge", true);
  row("TbSx", chart, {288, 4, 25, 25}, "", "Graphic Restore", false);

  // Under the grid: present and not hidden, but covered.
  row("Label6", surface, anywhere, " STORE DATA :", "", true);
  row("SpeedButton4", surface, anywhere, "", "", true);
  row("SpeedButton6", surface, anywhere, "", "", true);
  row("SpeedButton7", surface, anywhere, "", "", true);
  row("SpeedButton8", surface, anywhere, "", "Save Data", true);
  row("SpeedButton9", surface, anywhere, "", "Delete Data", true);

  row("Label5", surface, anywhere, "Label5", "", false);
  row("ReadBtn", surface, anywhere, "Read", "", false);
  row("USBCon", surface, anywhere, "USB Connect", "", false);
  row("Panel1", surface, anywhere, "USB", "", false);
  row("DevListBox", surface, anywhere, "", "", false);
  row("HistoryListBox", surface, anywhere, "", "", false);
  row("PBar2", surface, anywhere, "", "", false);
  for (const char* name : {"ReportPanel1", "ReportPanel2", "ReportPanel3", "ReportPanel4"}) {
    row(name, surface, anywhere, "", "", false);
  }
}

void TestMainWindow::controls() {
  QFETCH(QString, name);
  QFETCH(QString, parentName);
  QFETCH(QRect, geometry);
  QFETCH(QString, caption);
  QFETCH(QString, hint);
  QFETCH(bool, shown);

  const QWidget* control = child(name);
  QVERIFY2(control != nullptr, qPrintable(name));
  QCOMPARE(control->parentWidget()->objectName(), parentName);
  if (geometry.left() >= 0) {
    QCOMPARE(control->pos(), geometry.topLeft());
  }
  if (geometry.width() >= 0) {
    QCOMPARE(control->width(), geometry.width());
  }
  if (geometry.height() >= 0) {
    QCOMPARE(control->height(), geometry.height());
  }
  QCOMPARE(captionOf(control), caption);
  QCOMPARE(control->toolTip(), hint);
  QCOMPARE(control->isVisible(), shown);
}

void TestMainWindow::toolButtonsSitRightOfTheIntervalField() {
  const QWidget* toolbar = child(QStringLiteral("Panel7"));
  QRect previous = child(QStringLiteral("RecordSI"))->geometry().united(child(QStringLiteral("RecordSITime"))->geometry());
  for (const char* name : {"SpeedButton1", "SpeedButton2", "SpeedButton3", "MajPrint"}) {
    const QRect button = child(QString::fromLatin1(name))->geometry();
    QVERIFY2(button.left() > previous.right(), name);
    QVERIFY2(toolbar->rect().contains(button), name);
    QVERIFY2(!child<QAbstractButton>(QString::fromLatin1(name))->icon().isNull(), name);
    previous = button;
  }
}

void TestMainWindow::grids_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QStringList>("titles");
  QTest::addColumn<QList<int>>("widths");  // empty: left to the grid
  QTest::addColumn<int>("titlePixels");   // bold Arial; 0: left to the grid
  QTest::addColumn<int>("cellPixels");

  QTest::newRow("DBGrid1") << QStringLiteral("DBGrid1")
                           << QStringList{"No", "Time", "Value", "Unit", "Function", "Remark"}
                           << QList<int>{54, 92, 72, 90, 109, 158} << 15 << 11;
  QTest::newRow("DBGrid2") << QStringLiteral("DBGrid2")
                           << QStringList{"SNo", "STime", "SValue", "SUnit", "SV_Range", "SI_Range"} << QList<int>{}
                           << 0 << 0;
}

void TestMainWindow::grids() {
  QFETCH(QString, name);
  QFETCH(QStringList, titles);
  QFETCH(QList<int>, widths);
  QFETCH(int, titlePixels);
  QFETCH(int, cellPixels);

  const auto* grid = child<QTableView>(name);
  QVERIFY(grid != nullptr);
  const QAbstractItemModel* model = grid->model();
  QCOMPARE(model->rowCount(), 0);
  QStringList shownTitles;
  for (int column = 0; column < model->columnCount(); ++column) {
    shownTitles.append(model->headerData(column, Qt::Horizontal).toString());
  }
  QCOMPARE(shownTitles, titles);
  for (int column = 0; column < widths.size(); ++column) {
    QCOMPARE(grid->columnWidth(column), widths.at(column));
  }
  QCOMPARE(grid->editTriggers(), QAbstractItemView::NoEditTriggers);
  QVERIFY(grid->horizontalHeader()->sectionsMovable());
  QVERIFY(grid->verticalHeader()->isVisible());

  for (const auto& [font, pixels] : {std::pair{grid->horizontalHeader()->font(), titlePixels},
                                     std::pair{grid->font(), cellPixels}}) {
    if (pixels > 0) {
      QCOMPARE(font.family(), QStringLiteral("Arial"));
      QVERIFY(font.bold());
      QCOMPARE(font.pixelSize(), pixels);
    }
  }
}

void TestMainWindow::coveredRowHitsTheGrid_data() {
  QTest::addColumn<QString>("name");
  for (const char* name : {"Label6", "SpeedButton4", "SpeedButton6", "SpeedButton7", "SpeedButton8", "SpeedButton9"}) {
    QTest::newRow(name) << QString::fromLatin1(name);
  }
}

void TestMainWindow::coveredRowHitsTheGrid() {
  QFETCH(QString, name);
  const QWidget* covered = child(name);
  const QWidget* grid = child(QStringLiteral("DBGrid1"));
  QCOMPARE(covered->y(), 488);
  QVERIFY(covered->x() >= 12 && covered->x() <= 345);
  QVERIFY(grid->geometry().contains(covered->geometry()));

  const QWidget* hit = surface()->childAt(covered->geometry().center());
  QVERIFY(hit != nullptr);
  QVERIFY2(hit == grid || grid->isAncestorOf(hit), qPrintable(hit->objectName()));
}

void TestMainWindow::scrollingReachesFarControls_data() {
  QTest::addColumn<QString>("name");
  QTest::newRow("chart") << QStringLiteral("Chtshow");
  QTest::newRow("spare grid") << QStringLiteral("DBGrid2");
  QTest::newRow("SetFeature") << QStringLiteral("SetFeature");
}

void TestMainWindow::scrollingReachesFarControls() {
  QFETCH(QString, name);
  auto* scroller = child<QScrollArea>(QStringLiteral("ClientArea"));
  QWidget* control = child(name);
  const auto visibleRect = [&] {
    return QRect(control->mapTo(scroller->viewport(), QPoint(0, 0)), control->size());
  };
  QVERIFY(scroller->horizontalScrollBar()->maximum() > 0);
  QVERIFY(scroller->verticalScrollBar()->maximum() > 0);
  QVERIFY(!scroller->viewport()->rect().contains(visibleRect()));

  scroller->ensureWidgetVisible(control, 0, 0);
  QVERIFY(scroller->viewport()->rect().contains(visibleRect()));
}

void TestMainWindow::menuBarShowsFileRecordAndAnalysis() {
  QStringList shown;
  for (const QAction* action : window_->menuBar()->actions()) {
    if (action->isVisible()) {
      shown.append(action->text());
    }
  }
  QCOMPARE(shown, (QStringList{"File", "Record", "Analysis"}));
}

void TestMainWindow::menuOrder_data() {
  QTest::addColumn<QString>("menu");
  QTest::addColumn<QStringList>("items");  // "|" for a separator

  QTest::newRow("File") << "FileSet1" << QStringList{"New", "Open", "Save_as", "|", "print", "|", "miExit"};
  QTest::newRow("Record") << "Rec" << QStringList{"SaveR", "RecSet", "ClearR", "Search"};
  QTest::newRow("RecordSet") << "RecSet" << QStringList{"set1k", "set5k", "set10k", "set50k", "set100k", "setlimit"};
  QTest::newRow("ComSet") << "Comset" << QStringList{"COM", "USB"};
  QTest::newRow("COM") << "COM" << QStringList{"COM1", "COM2", "COM3", "COM4"};
  QTest::newRow("Graph") << "Grap" << QStringList{"Savepicture", "Move", "FillP", "ClearP"};
  QTest::newRow("GoTo") << "Move" << QStringList{"FirstP", "NextP", "LastP", "PrivousP"};
  QTest::newRow("About") << "About" << QStringList{"HELP1", "About1"};
}

void TestMainWindow::menuOrder() {
  QFETCH(QString, menu);
  QFETCH(QStringList, items);
  const auto* shownMenu = child<QMenu>(menu);
  QVERIFY(shownMenu != nullptr);
  QStringList names;
  for (const QAction* action : shownMenu->actions()) {
    names.append(action->isSeparator() ? QStringLiteral("|")
                 : action->menu()      ? action->menu()->objectName()
                                       : action->objectName());
  }
  QCOMPARE(names, items);
}

void TestMainWindow::menuItems_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("caption");
  QTest::addColumn<bool>("shown");

  const std::tuple<const char*, const char*, bool> rows[] = {
      {"FileSet1", "File", true},       {"New", "  New", true},
      {"Open", "  Open", true},         {"Save_as", "  Save As...", true},
      {"print", "  Print", false},      {"miExit", "   Exit", true},
      {"Rec", "Record", true},          {"SaveR", " Save", true},
      {"RecSet", " RecordSet", true},   {"set1k", "1000", true},
      {"set5k", "5000", true},          {"set10k", "10000", true},
      {"set50k", "50000", true},        {"set100k", "100000", true},
      {"setlimit", "Limitless", true},  {"ClearR", " Clear All", true},
      {"Search", " Search", false},     {"Comset", "ComSet", false},
      {"COM", " COM", true},            {"COM1", "COM1", true},
      {"USB", " USB", true},            {"Grap", "Graph", false},
      {"Savepicture", " Save Whole", true}, {"Move", " GoTo", true},
      {"FirstP", "First", true},        {"NextP", "Next", true},
      {"LastP", "Last", true},          {"PrivousP", "Privous", true},
      {"FillP", " Fill", true},         {"ClearP", " Clear", true},
      {"About", "About", false},        {"HELP1", "  Help     ", true},
      {"About1", "  About...", false},
  };
  for (const auto& [name, caption, shown] : rows) {
    QTest::newRow(name) << QString::fromLatin1(name) << QString::fromLatin1(caption) << shown;
  }
}

void TestMainWindow::menuItems() {
  QFETCH(QString, name);
  QFETCH(QString, caption);
  QFETCH(bool, shown);
  // A menu is reached through its menu action, an item is the action itself.
  const QAction* item = nullptr;
  if (const auto* menu = child<QMenu>(name)) {
    item = menu->menuAction();
  } else {
    item = child<QAction>(name);
  }
  QVERIFY2(item != nullptr, qPrintable(name));
  QCOMPARE(item->text(), caption);
  QCOMPARE(item->isVisible(), shown);
}

void TestMainWindow::recordLimitsAreExclusive() {
  child<QAction>(QStringLiteral("set1k"))->trigger();
  QStringList checked;
  for (const QAction* limit : child<QMenu>(QStringLiteral("RecSet"))->actions()) {
    if (limit->isChecked()) {
      checked.append(limit->objectName());
    }
  }
  QCOMPARE(checked, QStringList{"set1k"});
}

// Record > " Save" has no command: with readings logged it writes no file anywhere near, asks
// nothing, and leaves the table and its numbering as they were.
void TestMainWindow::recordSaveDoesNothing() {
  logReadings(2);
  QTemporaryDir elsewhere;
  const QString home = QDir::currentPath();
  QVERIFY(QDir::setCurrent(elsewhere.path()));
  const auto goHome = qScopeGuard([&home] { QDir::setCurrent(home); });
  const QStringList besideProgram = QDir(QCoreApplication::applicationDirPath()).entryList(QDir::Files);
  const QStringList before = visibleTopLevelNames();

  child<QAction>(QStringLiteral("SaveR"))->trigger();
  QCoreApplication::processEvents();

  QCOMPARE(visibleTopLevelNames(), before);
  QVERIFY(QApplication::activeModalWidget() == nullptr);
  QVERIFY(QDir(elsewhere.path()).isEmpty());
  QCOMPARE(QDir(QCoreApplication::applicationDirPath()).entryList(QDir::Files), besideProgram);
  QCOMPARE(window_->liveMeter().table().rowCount(), std::size_t{2});
  QCOMPARE(window_->liveMeter().logger().nextRecordNo(), 3);
}

void TestMainWindow::f1OpensHelpFromTheProgramFolder_data() {
  QTest::addColumn<bool>("besideProgram");
  QTest::addColumn<bool>("installed");
  QTest::addColumn<QString>("shown");  // the heading of the file shown; empty for none
  QTest::newRow("help file beside the program") << true << false << "Fixture help beside";
  QTest::newRow("installed help file") << false << true << "Fixture help installed";
  QTest::newRow("the one beside the program first") << true << true << "Fixture help beside";
  QTest::newRow("help file missing") << false << false << "";
}

void TestMainWindow::f1OpensHelpFromTheProgramFolder() {
  QFETCH(bool, besideProgram);
  QFETCH(bool, installed);
  QFETCH(QString, shown);
  const bool present = !shown.isEmpty();
  if (besideProgram) {
    QVERIFY(writeHelpFile("<html><body><h1>Fixture help beside</h1><p>CONNECT first.</p></body></html>"));
  }
  if (installed) {
    QVERIFY(writeHelpFile("<html><body><h1>Fixture help installed</h1></body></html>", kInstalled));
  }
  // The working folder must not matter.
  QTemporaryDir elsewhere;
  const QString home = QDir::currentPath();
  QVERIFY(QDir::setCurrent(elsewhere.path()));
  const auto goHome = qScopeGuard([&home] { QDir::setCurrent(home); });

  window_->activateWindow();
  QVERIFY(QTest::qWaitForWindowActive(window_.get()));
  QTest::keyClick(window_.get(), Qt::Key_F1);

  auto* viewer = child<QDialog>(QStringLiteral("HelpViewer"));
  auto* error = child<QMessageBox>(QStringLiteral("HelpError"));
  if (present) {
    QVERIFY(viewer != nullptr && viewer->isVisible());
    QCOMPARE(viewer->windowTitle(), QStringLiteral("Help"));
    QCOMPARE(viewer->findChild<QTextBrowser*>()->toPlainText().section(QLatin1Char('\n'), 0, 0), shown);
    QVERIFY(error == nullptr);
  } else {
    QVERIFY(viewer == nullptr || !viewer->isVisible());
    QVERIFY(error != nullptr && error->isVisible());
    QCOMPARE(error->text(), QStringLiteral("Cannot find the help file ") + helpFile());
    error->close();
  }
}

void TestMainWindow::hiddenWindows_data() {
  QTest::addColumn<QString>("name");
  QTest::addColumn<QString>("caption");
  QTest::newRow("about") << "FrmAbout" << "About";
  QTest::newRow("print style") << "Frmprint" << "Print Style";
  QTest::newRow("store") << "Frmstore" << "Store ";
}

void TestMainWindow::hiddenWindows() {
  QFETCH(QString, name);
  QFETCH(QString, caption);
  const QWidget* window = child(name);
  QVERIFY(window != nullptr);
  QVERIFY(window->isWindow());
  QCOMPARE(window->windowTitle(), caption);
  QVERIFY(!window->isVisible());
}

void TestMainWindow::storeButtonShowsStoreWindow() {
  ModalCloser closer;
  child<QAbstractButton>(QStringLiteral("SpeedButton5"))->click();
  QCOMPARE(closer.closed(), QStringLiteral("Frmstore"));
}

void TestMainWindow::chartSeries() {
  const QChart* chart = child<QChartView>(QStringLiteral("ChartView"))->chart();
  const QList<QAbstractSeries*> series = chart->series();
  QCOMPARE(series.size(), 2);

  const auto* area = qobject_cast<const QAreaSeries*>(series.at(0));
  QVERIFY(area != nullptr);
  QCOMPARE(area->name(), QStringLiteral("Series2"));
  QCOMPARE(area->brush().color(), QColor(255, 255, 128));
  QCOMPARE(area->pen().color(), QColor(0, 128, 255));
  QCOMPARE(area->upperSeries()->count(), 1);
  QVERIFY(area->isVisible());

  const auto* line = qobject_cast<const QLineSeries*>(series.at(1));
  QVERIFY(line != nullptr);
  QCOMPARE(line->name(), QStringLiteral("Series1"));
  QCOMPARE(line->pen().color(), QColor(128, 255, 0));
  QCOMPARE(line->count(), 1);
  QVERIFY(!line->isVisible());

  const auto* values = qobject_cast<const QValueAxis*>(chart->axes(Qt::Vertical).value(0));
  QVERIFY(values != nullptr);
  QCOMPARE(values->min(), -11000.0);
  QCOMPARE(values->max(), 11000.0);
  QCOMPARE(values->minorTickCount(), 4);
  QVERIFY(!chart->legend()->isVisible());
  QVERIFY(chart->title().trimmed().isEmpty());
}

void TestMainWindow::showSeriesKeepsOneSeriesActive() {
  auto* chartView = child<qm::chart::TrendChartView>(QStringLiteral("Chtshow"));
  const QList<QAbstractSeries*> series = child<QChartView>(QStringLiteral("ChartView"))->chart()->series();
  for (const int shown : {1, 0, 1}) {
    chartView->showSeries(shown);
    QCOMPARE(series.at(shown)->isVisible(), true);
    QCOMPARE(series.at(1 - shown)->isVisible(), false);
  }
}

void TestMainWindow::frameReachesThePanel() {
  qm::sim::DisplayImage image;
  qm::sim::showValue(image, "523.4");
  image.set(qm::display::PanelElement::Labmo1);
  const std::string frame = qm::sim::frameText(qm::sim::encodeFrame(image));

  // What the panel must show: the same frame through a decoder of the test's own.
  qm::display::PanelState expected = qm::display::PanelState::startupLook();
  qm::display::FrameDecoder decoder(expected);
  decoder.setDecimalSeparator(",");
  decoder.decodeFrame(frame);

  window_->liveMeter().decodeFrame(frame);

  QCOMPARE(window_->liveMeter().decoder().currentValue(), std::string_view("523,4"));
  const QWidget* panel = child(QStringLiteral("Panel4"));
  int changed = 0;
  for (std::size_t i = 0; i < qm::display::kPanelElementCount; ++i) {
    const auto element = static_cast<qm::display::PanelElement>(i);
    const QString name = QString::fromLatin1(qm::display::name(element));
    const QWidget* widget = panel->findChild<QWidget*>(name);
    QVERIFY2(widget != nullptr, qPrintable(name));
    // Lit means the element's own visible flag; a lit segment inside a dark area stays lit.
    QVERIFY2(!widget->isHidden() == expected.isLit(element), qPrintable(name));
    changed += expected.isLit(element) != qm::display::PanelState::startupLook().isLit(element) ? 1 : 0;
  }
  QVERIFY(changed > 0);
  for (const qm::display::Digit digit : {qm::display::Digit::LabelA, qm::display::Digit::LabelB,
                                         qm::display::Digit::LabelC, qm::display::Digit::LabelD}) {
    const QString name = QString::fromLatin1(qm::display::name(digit));
    QCOMPARE(panel->findChild<QWidget*>(name)->property("text").toString(),
             QString(QLatin1Char(expected.digitText(digit))));
  }
}

// The whole path with the simulated desk: the cable is selected, CONNECT sends the line settings,
// frames light the panel and the link icon, DISCONNECT stops.
void TestMainWindow::liveSimulatedMeter() {
  window_.reset();  // one HID controller per program
  window_ = std::make_unique<MainWindow>(qm::sim::simulatedDesk(qm::sim::VirtualCable::Pace::AsFastAsRead));
  window_->liveMeter().frameHold().setHoldLength(std::chrono::milliseconds(20));
  auto* devices = child<QListWidget>(QStringLiteral("DevListBox"));
  QCOMPARE(devices->count(), 3);
  QCOMPARE(devices->currentItem()->text(), QStringLiteral("USB to Serial"));

  auto* connectPanel = child<qm::app::ClickPanel>(QStringLiteral("Panel2"));
  QTest::mouseClick(connectPanel, Qt::LeftButton);
  QCOMPARE(connectPanel->text(), QStringLiteral("DISCONNECT"));
  QVERIFY(child<QPushButton>(QStringLiteral("USBCon"))->isChecked());
  QVERIFY(!child<QMenu>(QStringLiteral("Comset"))->isEnabled());
  auto* history = child<QListWidget>(QStringLiteral("HistoryListBox"));
  QCOMPARE(history->currentItem()->text(), QStringLiteral("00 60 09 00 00 03 00 00 00 00 "));

  auto* panel = child<QWidget>(QStringLiteral("Panel4"));
  auto* linkIcon = panel->findChild<QWidget*>(QStringLiteral("CONok"));
  QTRY_VERIFY(linkIcon->isVisibleTo(panel));
  QTRY_COMPARE(window_->liveMeter().decoder().currentFunction(), std::string_view("IR:500V 20G\xA6\xB8"));
  // The watchdog greys the icon between frames. Frames come as fast as they are read, so the next
  // one may light it again before a poll could see it dark: look right after the watchdog's tick.
  bool sawIconDark = false;
  connect(&window_->liveMeter(), &qm::meter::LiveMeter::linkTimerTicked, panel,
          [&sawIconDark, linkIcon, panel] { sawIconDark = sawIconDark || !linkIcon->isVisibleTo(panel); });
  QTRY_VERIFY(sawIconDark);

  QTest::mouseClick(connectPanel, Qt::LeftButton);
  QCOMPARE(connectPanel->text(), QStringLiteral("CONNECT"));
  QVERIFY(!child<QPushButton>(QStringLiteral("USBCon"))->isChecked());
  QCOMPARE(history->count(), 2);
}

// The hidden port panel steps COM1 -> COM2 -> COM3 -> COM4 -> USB -> COM1 while not connected, and
// the port menu's marks follow: a serial port's mark inverts and every other mark goes.
void TestMainWindow::portPanelCyclesPortKinds() {
  auto* portPanel = child<qm::app::ClickPanel>(QStringLiteral("Panel1"));
  const auto clickPortPanel = [portPanel] { QVERIFY(QMetaObject::invokeMethod(portPanel, "clicked")); };
  const auto marks = [this] {
    QString checked;
    for (const char* name : {"COM1", "COM2", "COM3", "COM4", "USB"}) {
      checked += child<QAction>(QLatin1String(name))->isChecked() ? QLatin1Char('x') : QLatin1Char('-');
    }
    return checked;
  };
  const qm::link::CableConnection& link = window_->liveMeter().connection();
  QCOMPARE(marks(), QStringLiteral("x----"));
  clickPortPanel();  // from USB to COM1, whose mark inverts
  QCOMPARE(link.portKind(), std::int8_t{1});
  QCOMPARE(portPanel->text(), QStringLiteral("COM1"));
  QCOMPARE(marks(), QStringLiteral("-----"));
  clickPortPanel();
  QCOMPARE(link.portKind(), std::int8_t{2});
  QCOMPARE(marks(), QStringLiteral("-x---"));
  // With a serial port kind, CONNECT does nothing.
  QTest::mouseClick(child(QStringLiteral("Panel2")), Qt::LeftButton);
  QCOMPARE(child<qm::app::ClickPanel>(QStringLiteral("Panel2"))->text(), QStringLiteral("CONNECT"));
  clickPortPanel();
  clickPortPanel();
  clickPortPanel();
  QCOMPARE(link.portKind(), std::int8_t{5});
  QCOMPARE(portPanel->text(), QStringLiteral("USB"));
  QCOMPARE(marks(), QStringLiteral("----x"));
}

// A cable that only ever says "nothing to send": the watchdog drops it, says why, and the CONNECT
// panel turns yellow until the user connects again.
void TestMainWindow::silentCableTurnsConnectYellow() {
  window_.reset();  // one HID controller per program
  auto bus = std::make_unique<qm::sim::VirtualHidBus>();
  auto reports = std::make_shared<qm::sim::ScriptedReports>();
  bus->plug(qm::sim::usbToSerialCable("sim://cable", reports));
  window_ = std::make_unique<MainWindow>(std::move(bus));
  window_->show();
  QStringList messages;
  QTimer closer;
  connect(&closer, &QTimer::timeout, [&messages] {
    if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
      messages << box->text();
      box->close();
    }
  });
  closer.start(20);

  auto* connectPanel = child<qm::app::ClickPanel>(QStringLiteral("Panel2"));
  QTest::mouseClick(connectPanel, Qt::LeftButton);
  QCOMPARE(connectPanel->text(), QStringLiteral("DISCONNECT"));
  QCOMPARE(connectPanel->palette().color(QPalette::WindowText), QColor(Qt::black));
  // As after 1900 reports without payload in a row.
  window_->liveMeter().reassembler().setEmptyReportCount(qm::link::kSilentReportLimit);
  QTRY_COMPARE(messages, QStringList{"USB interface cable is securely connected, please check if the meter is ready."});
  QCOMPARE(connectPanel->text(), QStringLiteral("CONNECT"));
  QCOMPARE(connectPanel->palette().color(QPalette::WindowText), QColor(Qt::yellow));
  QVERIFY(!child<QPushButton>(QStringLiteral("USBCon"))->isChecked());
  QVERIFY(!child<QMenu>(QStringLiteral("Comset"))->isEnabled());

  QTest::mouseClick(connectPanel, Qt::LeftButton);
  QCOMPARE(connectPanel->text(), QStringLiteral("DISCONNECT"));
  QCOMPARE(connectPanel->palette().color(QPalette::WindowText), QColor(Qt::black));
}

void TestMainWindow::exitPaths_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<bool>("helpOpen");
  QTest::newRow("EXIT panel") << "EXIT" << false;
  QTest::newRow("File > Exit") << "miExit" << false;
  QTest::newRow("close box") << "close" << false;
  QTest::newRow("close box with the help open") << "close" << true;
}

void TestMainWindow::exitPaths() {
  QFETCH(QString, path);
  QFETCH(bool, helpOpen);
  if (helpOpen) {
    QVERIFY(writeHelpFile("<p>help</p>"));
    child<QAction>(QStringLiteral("HELP1"))->trigger();
    QVERIFY(child(QStringLiteral("HelpViewer"))->isVisible());
  }

  // A table emptied again holds nothing to lose: no question.
  logReadings(2);
  window_->liveMeter().logger().clearAll();
  exitBy(window_.get(), path);
  // Only a hang guard: an exit path that fails leaves the loop running.
  QTimer hangGuard;
  hangGuard.setSingleShot(true);
  connect(&hangGuard, &QTimer::timeout, [] { QCoreApplication::exit(1); });
  hangGuard.start(std::chrono::seconds(20));

  QCOMPARE(QApplication::exec(), 0);
}

// Every exit path asks before logged readings that were never saved are lost: Cancel keeps the
// program, Discard ends it, Save ends it once the table is on disk.
void TestMainWindow::exitAsksBeforeUnsavedReadingsAreLost_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<QString>("answer");
  QTest::addColumn<bool>("ends");
  for (const char* path : {"EXIT", "miExit", "close"}) {
    QTest::addRow("%s, cancelled", path) << path << "Cancel" << false;
    QTest::addRow("%s, discarded", path) << path << "Discard" << true;
    QTest::addRow("%s, saved", path) << path << "Save" << true;
  }
}

void TestMainWindow::exitAsksBeforeUnsavedReadingsAreLost() {
  QFETCH(QString, path);
  QFETCH(QString, answer);
  QFETCH(bool, ends);
  QTemporaryDir folder;
  const QString saved = folder.filePath(QStringLiteral("readings.txt"));
  window_->tableFileCommands().setFileDialogRunner([&saved](QFileDialog&) { return saved; });
  logReadings(3);

  QStringList asked;
  QTimer answerer;
  connect(&answerer, &QTimer::timeout, [&] {
    auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
    if (box == nullptr) {
      return;
    }
    if (box->objectName() != QLatin1String("UnsavedReadingsQuestion")) {
      box->close();  // the save's own message
      return;
    }
    asked << box->text();
    const QMessageBox::StandardButton button = answer == QLatin1String("Save")      ? QMessageBox::Save
                                               : answer == QLatin1String("Discard") ? QMessageBox::Discard
                                                                                      : QMessageBox::Cancel;
    box->button(button)->click();
  });
  answerer.start(20);
  exitBy(window_.get(), path);
  // A program that does not end is told to leave the loop with another status.
  QTimer::singleShot(std::chrono::seconds(ends ? 20 : 2), [] { QCoreApplication::exit(2); });

  QCOMPARE(QApplication::exec(), ends ? 0 : 2);
  QCOMPARE(asked, QStringList{"The table holds readings that were never saved. Save them before the program ends?"});
  QCOMPARE(window_->isVisible(), !ends);
  QCOMPARE(QFileInfo::exists(saved), answer == QLatin1String("Save"));
  if (answer == QLatin1String("Save")) {
    QFile file(saved);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll().count("523,4"), 3);
  }
}

int main(int argc, char* argv[]) {
  // A comma separator shows that the window hands the system locale's separator to the decoder.
  qputenv("LC_ALL", "de_DE.UTF-8");
  QApplication app(argc, argv);
  TestMainWindow test;
  return QTest::qExec(&test, argc, argv);
}

#include "tst_main_window.moc"
