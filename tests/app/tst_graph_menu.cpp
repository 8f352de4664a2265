// The trend chart inside the main window: the hidden Graph menu runs the chart's commands, the
// chart shows the window's reading table, and the enlarged chart covers what the window shows.

#include "app/main_window.h"
#include "meter/live_meter.h"
#include "chart/trend_chart_view.h"
#include "sim/simulated_desk.h"

#include <QAbstractButton>
#include <QAction>
#include <QChartView>
#include <QCheckBox>
#include <QLabel>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using qm::chart::TrendChartView;

class TestGraphMenu : public QObject {
  Q_OBJECT

private:
  std::unique_ptr<qm::app::MainWindow> window_;
  TrendChartView* chart_ = nullptr;
  QTemporaryDir folder_;
  QStringList information_;

  QAction* item(const char* name) const { return window_->findChild<QAction*>(QLatin1String(name)); }
  QString pageCaption() const { return chart_->findChild<QAbstractButton*>(QStringLiteral("Bt10"))->text(); }

  void logReadings(int count) {
    for (int no = 1; no <= count; ++no) {
      qm::log::RowFields fields;
      fields.No = no;
      fields.text(qm::log::TextField::Value) = "100";
      window_->liveMeter().table().appendAdded(fields);
    }
  }

private slots:
  void init() {
    window_ = std::make_unique<qm::app::MainWindow>(qm::sim::simulatedDesk());
    chart_ = window_->findChild<TrendChartView*>(QStringLiteral("Chtshow"));
    chart_->setSnapshotFolder(folder_.path() + QLatin1Char('/'));
    chart_->setPrompts({[this](const QString& text) { information_.append(text); },
                       [](const QString& text) { QFAIL(qPrintable(text)); }});
  }
  void cleanup() {
    window_.reset();
    information_.clear();
  }

  void fillFromMenuAndBox() {
    auto* box = chart_->findChild<QCheckBox*>(QStringLiteral("BtFill"));
    const QList<QAbstractSeries*> series = chart_->findChild<QChartView*>()->chart()->series();
    item("FillP")->trigger();
    QVERIFY(!item("FillP")->isChecked());
    QVERIFY(!box->isChecked());
    QVERIFY(series.at(TrendChartView::kLineSeries)->isVisible());
    QVERIFY(!series.at(TrendChartView::kAreaSeries)->isVisible());

    box->click();
    QVERIFY(item("FillP")->isChecked());
    QVERIFY(series.at(TrendChartView::kAreaSeries)->isVisible());
    QVERIFY(!series.at(TrendChartView::kLineSeries)->isVisible());
  }

  void goToAndClearRunTheChartCommands() {
    logReadings(250);
    QCOMPARE(chart_->points().size(), std::size_t{250});
    const std::pair<const char*, const char*> steps[] = {
        {"LastP", "3"}, {"PrivousP", "2"}, {"FirstP", "1"}, {"NextP", "2"}, {"ClearP", "2"}};
    for (const auto& [name, caption] : steps) {
      item(name)->trigger();
      QCOMPARE(pageCaption(), QLatin1String(caption));
    }
    QCOMPARE(chart_->points().size(), std::size_t{0});
  }

  void saveWholeWritesTheWholeChart() {
    logReadings(3);
    item("Savepicture")->trigger();
    QCOMPARE(information_.size(), 1);
    QVERIFY(information_.first().endsWith(QStringLiteral("Fullpage.bmp")));
    QCOMPARE(chart_->pageSize(), 100);
  }

  void enlargedChartCoversTheScrolledClientArea() {
    window_->show();
    QVERIFY(QTest::qWaitForWindowExposed(window_.get()));
    auto* area = window_->findChild<QScrollArea*>(QStringLiteral("ClientArea"));
    QVERIFY(area->verticalScrollBar()->maximum() > 0);
    area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
    const QRect normal = chart_->geometry();

    QTest::mouseClick(chart_->findChild<QLabel*>(QStringLiteral("TbFd")), Qt::LeftButton);
    QCOMPARE(chart_->mapTo(area->viewport(), QPoint(0, 0)), QPoint(2, 30));
    QCOMPARE(chart_->width(), window_->frameGeometry().width() - 12);

    // Scrolled back up meanwhile: restore still puts the chart back among its neighbours.
    area->verticalScrollBar()->setValue(0);
    QTest::mouseClick(chart_->findChild<QLabel*>(QStringLiteral("TbSx")), Qt::LeftButton);
    QCOMPARE(chart_->geometry(), normal);
  }
};

QTEST_MAIN(TestGraphMenu)
#include "tst_graph_menu.moc"
