// qm-screenshot: starts the main window on the current display (under Xvfb from
// scripts/screenshot), brings it into a given state and writes a PNG of it. A developer's tool, and
// the window smoke test: it fails when the window shows nothing that looks like the meter panel,
// and, with --live, when no reading of the simulated meter reaches the screen.
//
//   qm-screenshot OUT.png [--open TABLEFILE] [--frames FILE] [--live SECONDS [--from S] [--speed N]]
//                 [--scroll] [--chart | --enlarge-chart] [--analysis [--temperature C]]
//                 [--report-preview first|last]
//
// --open opens a table file as File > Open does (its test record included).
// --from and --speed start the simulated meter elsewhere in its programme and run it faster (its
// ten-minute PI test starts at 166 s). --analysis shoots the insulation test analysis window
// instead, and fails when its curve is empty after --live; --temperature enters a test record
// through its dialog first and writes the dialog's picture beside OUT as OUT-record.png.
// --report-preview clicks "Print Data" and pictures the preview instead, at the window's width.

#include "app/analysis_window.h"
#include "app/main_window.h"
#include "app/test_record_dialog.h"
#include "chart/trend_chart_view.h"
#include "core/ansi_text.h"
#include "display/meter_panel.h"
#include "log/reading_grid_view.h"
#include "meter/live_meter.h"
#include "reports/report_preview.h"
#include "sim/simulated_desk.h"

#include <QAction>
#include <QApplication>
#include <QChartView>
#include <QComboBox>
#include <QCommandLineParser>
#include <QLineEdit>
#include <QLineSeries>
#include <QFile>
#include <QFileDialog>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace {

// The panel as drawn on screen must hold both white glass and black segments.
bool looksLikeThePanel(const QImage& shot, const QRect& panel) {
  int white = 0;
  int black = 0;
  for (int y = panel.top(); y <= panel.bottom(); y += 3) {
    for (int x = panel.left(); x <= panel.right(); x += 3) {
      const QRgb pixel = shot.pixel(x, y);
      white += qGray(pixel) > 240 ? 1 : 0;
      black += qGray(pixel) < 40 ? 1 : 0;
    }
  }
  return white > 1000 && black > 200;
}

// Whether `area` of the picture holds text: enough pixels far from the colour of its corner.
bool holdsText(const QImage& shot, const QRect& area) {
  const QRect inside = area.adjusted(1, 1, -1, -1).intersected(shot.rect());
  if (inside.isEmpty()) {
    return false;
  }
  const int background = qGray(shot.pixel(inside.topLeft()));
  int ink = 0;
  for (int y = inside.top(); y <= inside.bottom(); ++y) {
    for (int x = inside.left(); x <= inside.right(); ++x) {
      ink += std::abs(qGray(shot.pixel(x, y)) - background) > 60 ? 1 : 0;
    }
  }
  return ink >= 10;
}

// Why the newest logged reading is not on the screen, or an empty text when it is: the live meter
// logged it, the grid's row shows its value and the row's pixels hold text, and the panel's last
// main digit shows what the decoder lit.
QString readingMissing(qm::app::MainWindow& window, const QImage& shot) {
  const qm::log::ReadingTable& table = window.liveMeter().table();
  if (table.rowCount() == 0) {
    return QStringLiteral("no reading of the simulated meter was logged");
  }
  const std::size_t newest = table.rowCount() - 1;
  const QString value = qm::fromAnsi(table.row(newest).texts[0].value_or(std::string_view()));
  // The grid holds the rows in view, from its first one on.
  auto* grid = window.findChild<qm::log::ReadingGridView*>(QStringLiteral("DBGrid1"));
  const std::optional<int> shownRow = grid->gridModel()->modelRow(newest);
  if (!shownRow) {
    return QStringLiteral("the grid's newest row is not in view");
  }
  const QModelIndex cell = grid->model()->index(*shownRow, 2);
  if (cell.data().toString() != value) {
    return QStringLiteral("the grid's newest row does not show the value %1").arg(value);
  }
  const QRect cellOnShot(grid->viewport()->mapTo(&window, grid->visualRect(cell).topLeft()), grid->visualRect(cell).size());
  if (!holdsText(shot, cellOnShot)) {
    return QStringLiteral("the grid's newest row is not drawn on the screen");
  }
  const qm::display::PanelState& panel = window.liveMeter().panel();
  const auto* lastDigit = window.findChild<QWidget*>(QLatin1String(qm::display::name(qm::display::Digit::LabelD)));
  if (!panel.isLit(qm::display::Digit::LabelD) || lastDigit == nullptr || lastDigit->isHidden() ||
      lastDigit->property("text").toString() != QString(QLatin1Char(panel.digitText(qm::display::Digit::LabelD)))) {
    return QStringLiteral("the panel does not show the reading's digits");
  }
  return {};
}

int fail(const QString& message) {
  std::fprintf(stderr, "qm-screenshot: %s\n", qPrintable(message));
  return 1;
}

// Clicks "Print Data" and writes a picture of the data report's preview at the window's width,
// on its first or its last page.
int shootReportPreview(qm::app::MainWindow& window, const QString& page, const QString& out) {
  if (page != u"first" && page != u"last") {
    return fail(QStringLiteral("--report-preview takes first or last"));
  }
  window.findChild<QToolButton*>(QStringLiteral("MajPrint"))->click();
  auto* preview = window.findChild<qm::reports::ReportPreview*>();
  if (preview == nullptr || !QTest::qWaitForWindowExposed(preview)) {
    return fail(QStringLiteral("the report preview did not appear"));
  }
  preview->findChild<QAction*>(QStringLiteral("FitWidth"))->trigger();
  if (page == u"last") {
    preview->goToLastPage();
  }
  QTest::qWait(200);
  if (!preview->screen()->grabWindow(preview->winId()).toImage().save(out)) {
    return fail(QStringLiteral("cannot write ") + out);
  }
  return 0;
}

// A whole number from `lowest` to `highest` in the option's value, or none.
std::optional<int> wholeNumber(const QCommandLineParser& parser, const QCommandLineOption& option, int lowest, int highest) {
  bool ok = false;
  const int value = parser.value(option).toInt(&ok);
  return ok && value >= lowest && value <= highest ? std::optional(value) : std::nullopt;
}

// Enters a test record through the analysis window's dialog, as a person would, and keeps a
// picture of the dialog.
void enterTestRecord(qm::app::AnalysisWindow& analysis, const QString& temperature, const QString& picture) {
  analysis.setRecordDialogRunner([&](qm::app::TestRecordDialog& dialog) {
    dialog.findChild<QLineEdit*>(QStringLiteral("AssetId"))->setText(QStringLiteral("M-104"));
    dialog.findChild<QLineEdit*>(QStringLiteral("AssetDescription"))->setText(QStringLiteral("Cooling water pump motor, 6.6 kV"));
    dialog.findChild<QLineEdit*>(QStringLiteral("Site"))->setText(QStringLiteral("Pumphouse 2"));
    dialog.findChild<QLineEdit*>(QStringLiteral("Operator"))->setText(QStringLiteral("J. Smith"));
    dialog.findChild<QLineEdit*>(QStringLiteral("AmbientTemperature"))->setText(temperature);
    dialog.findChild<QLineEdit*>(QStringLiteral("Humidity"))->setText(QStringLiteral("55"));
    dialog.findChild<QComboBox*>(QStringLiteral("InsulationClass"))->setCurrentText(QStringLiteral("F"));
    dialog.show();
    if (QTest::qWaitForWindowExposed(&dialog)) {
      QTest::qWait(200);
      dialog.screen()->grabWindow(dialog.winId()).save(picture);
    }
    dialog.accept();
    return dialog.result() == QDialog::Accepted;
  });
  analysis.editTestRecord();
}

}  // namespace

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QCommandLineParser parser;
  parser.addPositionalArgument(QStringLiteral("OUT.png"), QStringLiteral("where to write the picture"));
  const QCommandLineOption frames(QStringLiteral("frames"), QStringLiteral("decode these frame texts, one a line"), QStringLiteral("FILE"));
  const QCommandLineOption live(QStringLiteral("live"), QStringLiteral("connect to the simulated meter for this long"), QStringLiteral("SECONDS"));
  const QCommandLineOption scroll(QStringLiteral("scroll"), QStringLiteral("scroll to the bottom right first"));
  const QCommandLineOption chart(QStringLiteral("chart"), QStringLiteral("scroll down to the trend chart"));
  const QCommandLineOption enlargeChart(QStringLiteral("enlarge-chart"), QStringLiteral("enlarge the trend chart"));
  const QCommandLineOption from(QStringLiteral("from"), QStringLiteral("start the simulated meter this far into its programme"), QStringLiteral("SECONDS"));
  const QCommandLineOption speed(QStringLiteral("speed"), QStringLiteral("run the simulated meter this many times as fast"), QStringLiteral("N"));
  const QCommandLineOption analysis(QStringLiteral("analysis"), QStringLiteral("shoot the insulation test analysis window"));
  const QCommandLineOption temperature(QStringLiteral("temperature"), QStringLiteral("enter a test record at this ambient temperature"), QStringLiteral("C"));
  const QCommandLineOption open(QStringLiteral("open"), QStringLiteral("open this table file as File > Open does"), QStringLiteral("TABLEFILE"));
  const QCommandLineOption reportPreview(QStringLiteral("report-preview"),
                                         QStringLiteral("picture the data report's preview on its first or last page"),
                                         QStringLiteral("first|last"));
  parser.addOptions({open, frames, live, scroll, chart, enlargeChart, from, speed, analysis, temperature, reportPreview});
  parser.addHelpOption();
  parser.process(app);
  if (parser.positionalArguments().size() != 1) {
    return fail(QStringLiteral("give exactly one output file"));
  }

  const std::optional<int> startSecond = parser.isSet(from) ? wholeNumber(parser, from, 0, 1'000'000) : 0;
  const std::optional<int> times = parser.isSet(speed) ? wholeNumber(parser, speed, 1, 100) : 1;
  if (!startSecond || !times) {
    return fail(QStringLiteral("--from needs whole seconds, --speed a whole number from 1 to 100"));
  }
  const auto cable = std::make_shared<qm::sim::VirtualCable>(
      qm::sim::VirtualCable::Pace::RealTime, qm::sim::CableReportStream::kDefaultFramePeriod,
      qm::sim::ProgrammeRun{std::chrono::seconds(*startSecond), static_cast<double>(*times)});
  qm::app::MainWindow window(qm::sim::simulatedDesk(cable));
  if (*times > 1) {
    window.liveMeter().followMeterTime(*times, [cable] { return cable->meterTime(); });
  }
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) {
    return fail(QStringLiteral("the window did not appear"));
  }
  if (parser.isSet(open)) {
    const QString tableFile = parser.value(open);
    window.tableFileCommands().setFileDialogRunner([tableFile](QFileDialog&) { return tableFile; });
    window.tableFileCommands().open();
    if (window.liveMeter().table().isEmpty()) {
      return fail(QStringLiteral("no rows read from ") + tableFile);
    }
  }
  if (parser.isSet(frames)) {
    QFile file(parser.value(frames));
    if (!file.open(QIODevice::ReadOnly)) {
      return fail(QStringLiteral("cannot read ") + file.fileName());
    }
    while (!file.atEnd()) {
      window.liveMeter().decodeFrame(file.readLine().trimmed().toUpper().toStdString());
    }
  }
  if (parser.isSet(live)) {
    bool ok = false;
    const double seconds = parser.value(live).toDouble(&ok);
    if (!ok || seconds < 0 || seconds > 600) {
      return fail(QStringLiteral("--live needs seconds from 0 to 600"));
    }
    window.liveMeter().connectCable();
    QTest::qWait(static_cast<int>(seconds * 1000));
  }
  if (parser.isSet(scroll)) {
    auto* area = window.findChild<QScrollArea*>(QStringLiteral("ClientArea"));
    area->horizontalScrollBar()->setValue(area->horizontalScrollBar()->maximum());
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
  }
  if (parser.isSet(chart) || parser.isSet(enlargeChart)) {
    auto* area = window.findChild<QScrollArea*>(QStringLiteral("ClientArea"));
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
  }
  if (parser.isSet(enlargeChart)) {
    window.findChild<qm::chart::TrendChartView*>(QStringLiteral("Chtshow"))->restoreOrEnlarge();
  }
  if (parser.isSet(reportPreview)) {
    return shootReportPreview(window, parser.value(reportPreview), parser.positionalArguments().first());
  }
  QTest::qWait(200);

  if (parser.isSet(analysis)) {
    window.findChild<QAction*>(QStringLiteral("InsulationTest"))->trigger();
    auto* analysisWindow = window.findChild<qm::app::AnalysisWindow*>(QStringLiteral("InsulationAnalysis"));
    if (!QTest::qWaitForWindowExposed(analysisWindow)) {
      return fail(QStringLiteral("the analysis window did not appear"));
    }
    if (parser.isSet(temperature)) {
      QString picture = parser.positionalArguments().first();
      picture.insert(picture.endsWith(QLatin1String(".png")) ? picture.size() - 4 : picture.size(), QStringLiteral("-record"));
      enterTestRecord(*analysisWindow, parser.value(temperature), picture);
    }
    QTest::qWait(300);
    const QImage analysisShot = analysisWindow->screen()->grabWindow(analysisWindow->winId()).toImage();
    const QList<QAbstractSeries*> series = analysisWindow->findChild<QChartView*>(QStringLiteral("ResistanceCurve"))->chart()->series();
    const auto curve = std::find_if(series.begin(), series.end(), [](const QAbstractSeries* s) { return s->objectName() == QLatin1String("Curve"); });
    if (parser.isSet(live) && (curve == series.end() || qobject_cast<const QLineSeries*>(*curve)->count() == 0)) {
      analysisShot.save(parser.positionalArguments().first());
      return fail(QStringLiteral("the analysis window shows no curve"));
    }
    if (!analysisShot.save(parser.positionalArguments().first())) {
      return fail(QStringLiteral("cannot write ") + parser.positionalArguments().first());
    }
    return 0;
  }

  const QImage shot = window.screen()->grabWindow(window.winId()).toImage();
  auto* panel = window.findChild<qm::display::MeterPanel*>();
  const QRect panelOnShot(panel->mapTo(&window, QPoint(0, 0)), panel->size());
  const bool panelShown = !parser.isSet(scroll) && !parser.isSet(chart) && !parser.isSet(enlargeChart);
  if (panelShown && !looksLikeThePanel(shot, panelOnShot.intersected(shot.rect()))) {
    return fail(QStringLiteral("the meter panel is not on the screen"));
  }
  if (parser.isSet(live) && panelShown) {
    if (const QString missing = readingMissing(window, shot); !missing.isEmpty()) {
      shot.save(parser.positionalArguments().first());
      return fail(missing);
    }
  }
  if (!shot.save(parser.positionalArguments().first())) {
    return fail(QStringLiteral("cannot write ") + parser.positionalArguments().first());
  }
  return 0;
}
