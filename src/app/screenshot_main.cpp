// qm-screenshot: starts the main window on the current display (under Xvfb from
// scripts/screenshot), brings it into a given state and writes a PNG of it. A developer's tool, and
// the window smoke test: it fails when the window shows nothing that looks like the meter panel.
//
//   qm-screenshot OUT.png [--frames FILE] [--live SECONDS] [--scroll] [--chart | --enlarge-chart]

#include "app/main_window.h"
#include "chart/trend_chart_view.h"
#include "display/meter_panel.h"
#include "meter/live_meter.h"
#include "sim/simulated_desk.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>

#include <cstdio>

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

int fail(const QString& message) {
  std::fprintf(stderr, "qm-screenshot: %s\n", qPrintable(message));
  return 1;
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
  parser.addOptions({frames, live, scroll, chart, enlargeChart});
  parser.addHelpOption();
  parser.process(app);
  if (parser.positionalArguments().size() != 1) {
    return fail(QStringLiteral("give exactly one output file"));
  }

  qm::app::MainWindow window(qm::sim::simulatedDesk());
  window.show();
  if (!QTest::qWaitForWindowExposed(&window)) {
    return fail(QStringLiteral("the window did not appear"));
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
  QTest::qWait(200);

  const QImage shot = window.screen()->grabWindow(window.winId()).toImage();
  auto* panel = window.findChild<qm::display::MeterPanel*>();
  const QRect panelOnShot(panel->mapTo(&window, QPoint(0, 0)), panel->size());
  const bool panelShown = !parser.isSet(scroll) && !parser.isSet(chart) && !parser.isSet(enlargeChart);
  if (panelShown && !looksLikeThePanel(shot, panelOnShot.intersected(shot.rect()))) {
    return fail(QStringLiteral("the meter panel is not on the screen"));
  }
  if (!shot.save(parser.positionalArguments().first())) {
    return fail(QStringLiteral("cannot write ") + parser.positionalArguments().first());
  }
  return 0;
}
