// The trend chart as the user meets it: fed by a reading table, drawn on its value axis or on the
// fixed scale, paged and navigated with its own buttons, typed into, enlarged and restored in a
// window.

#include "chart_fixture.h"
#include "core/current_reading.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLogValueAxis>
#include <QValueAxis>

#include <cmath>

using namespace chart_test;
using qm::log::ReadingTable;

class TestTrendChartView : public QObject {
  Q_OBJECT

private slots:
  void followsTheReadingTable() {
    ChartFixture fixture;
    TrendChartView& chart = fixture.chart();
    ReadingTable table;
    table.appendAdded(reading(1, "1,5"));
    chart.followTable(table, ",");
    QCOMPARE(pointsOf(chart), (QList<QPointF>{{1, 1.5}}));

    // Logged rows add points; values that are no number add none.
    for (const auto& [no, value] : {std::pair{2, "L"}, std::pair{3, "-"}, std::pair{4, ""}, std::pair{5, "-20"}}) {
      table.appendAdded(reading(no, value));
    }
    QCOMPARE(pointsOf(chart), (QList<QPointF>{{1, 1.5}, {5, -20}}));
    // The series follow within a redraw.
    QTRY_COMPARE(drawnPoints(chart), (QList<QPointF>{{1, 1.5}, {5, -20}}));

    // A text load appends, in X order.
    ReadingTable loaded;
    loaded.appendAdded(reading(3, "7"));
    table.appendAddedRows(loaded);
    QCOMPARE(pointsOf(chart), (QList<QPointF>{{1, 1.5}, {3, 7}, {5, -20}}));

    // A deleted row takes its point with it.
    table.deleteRow(0);
    QCOMPARE(pointsOf(chart), (QList<QPointF>{{3, 7}, {5, -20}}));

    // The chart's own Clear empties it until the next reading arrives.
    chart.clearChart();
    QCOMPARE(pointsOf(chart), QList<QPointF>());
    QCOMPARE(drawnPoints(chart).size(), 1);  // the sample point, never among readings
    table.appendAdded(reading(6, "8"));
    QCOMPARE(pointsOf(chart), (QList<QPointF>{{6, 8}}));
    QTRY_COMPARE(drawnPoints(chart), (QList<QPointF>{{6, 8}}));

    // A packet load replaces the points with the rows it shows; Clear All empties them.
    ReadingTable packet;
    packet.appendStored(reading(10, "10"), qm::log::kRowAdded);
    packet.appendStored(reading(11, "11"), qm::log::kRowAdded | qm::log::kRowDeleted);
    packet.appendStored(reading(12, "12"), qm::log::kRowAdded);
    table.replaceWith(std::move(packet));
    QCOMPARE(pointsOf(chart), (QList<QPointF>{{10, 10}, {12, 12}}));
    table.clear();
    QCOMPARE(pointsOf(chart), QList<QPointF>());
  }

  // Readings in MΩ and GΩ plot on decades of GΩ; the "Fixed scale" box brings back the old axis
  // and its digits, and taking it off goes back to the readings' own axis.
  void fixedScaleBoxRestoresTheOldAxis() {
    ChartFixture fixture;
    TrendChartView& chart = fixture.chart();
    ReadingTable table;
    table.appendAdded(reading(1, "975.6", qm::unit::kMegaOhm));
    table.appendAdded(reading(2, "1.020", qm::unit::kGigaOhm));
    chart.followTable(table, ".");
    auto* box = fixture.control<QCheckBox>("FixedScaleBox");
    QCOMPARE(box->text(), QStringLiteral("Fixed scale"));
    QVERIFY(!box->isChecked());

    const auto* decades = qobject_cast<QLogValueAxis*>(valueAxisOf(chart));
    QVERIFY(decades != nullptr);
    QCOMPARE(decades->titleText(), QStringLiteral("GΩ"));
    QVERIFY(decades->isTitleVisible());
    QCOMPARE(qRound(std::log10(decades->min())), -1);
    QCOMPARE(decades->max(), 10.0);
    const QList<QPointF> gigohms = drawnPoints(chart);
    QCOMPARE(gigohms.size(), 2);
    QVERIFY(std::abs(gigohms[0].y() - 0.9756) < 1e-6 && std::abs(gigohms[1].y() - 1.02) < 1e-6);

    box->click();
    const auto* fixed = qobject_cast<QValueAxis*>(valueAxisOf(chart));
    QVERIFY(fixed != nullptr);
    QCOMPARE(chart.findChild<QChartView*>()->chart()->axes(Qt::Vertical).size(), 1);
    QCOMPARE(fixed->min(), -11000.0);
    QCOMPARE(fixed->max(), 11000.0);
    QCOMPARE(fixed->labelFormat(), QStringLiteral("%.0f"));
    QVERIFY(!fixed->isTitleVisible());
    QCOMPARE(drawnPoints(chart), (QList<QPointF>{{1, 975.6F}, {2, 1.02F}}));

    box->click();
    QVERIFY(qobject_cast<QLogValueAxis*>(valueAxisOf(chart)) != nullptr);
    QCOMPARE(drawnPoints(chart).size(), 2);

    // A page of volts: a linear axis fitted to them, titled with their unit.
    table.appendAdded(reading(3, "230", qm::unit::kVolt));
    chart.showPage(1);
    const auto* volts = qobject_cast<QValueAxis*>(valueAxisOf(chart));
    QVERIFY(volts != nullptr);
    QCOMPARE(volts->titleText(), QStringLiteral("V"));
    QVERIFY(volts->min() < 230 && volts->max() > 230 && volts->max() - volts->min() < 100);
    QCOMPARE(drawnPoints(chart), (QList<QPointF>{{3, 230}}));
  }

  void navigationButtonsShowThePager() {
    ChartFixture fixture;
    ReadingTable table;
    for (int no = 1; no <= 250; ++no) {
      table.appendAdded(reading(no, QByteArray::number(no).toStdString()));
    }
    fixture.chart().followTable(table, ".");
    fixture.control<QAbstractButton>("BTlast")->click();
    QCOMPARE(fixture.control<QAbstractButton>("Bt10")->text(), QStringLiteral("3"));
    QVERIFY(!fixture.control("BtNext")->isEnabled());
    QVERIFY(!fixture.control("BTlast")->isEnabled());
    QVERIFY(fixture.control("BtFirst")->isEnabled());
    // The last page keeps a full page's X span: 201 to 300, half of it empty.
    QCOMPARE(drawnPoints(fixture.chart()).size(), 50);
    const auto* axis = qobject_cast<QValueAxis*>(
        fixture.chart().findChild<QChartView*>()->chart()->axes(Qt::Horizontal).value(0));
    QVERIFY(axis->max() >= 300);

    fixture.control<QAbstractButton>("BtFirst")->click();
    QCOMPARE(fixture.control<QAbstractButton>("Bt10")->text(), QStringLiteral("1"));
    QVERIFY(!fixture.control("BtFirst")->isEnabled());
    QVERIFY(!fixture.control("BTPrevious")->isEnabled());
    QCOMPARE(drawnPoints(fixture.chart()).first(), QPointF(1, 1));

    // Clear keeps the page and its caption.
    fixture.control<QAbstractButton>("BtNext")->click();
    fixture.control<QAbstractButton>("BtNew")->click();
    QCOMPARE(fixture.chart().pager().page(), std::size_t{2});
    QCOMPARE(fixture.control<QAbstractButton>("Bt10")->text(), QStringLiteral("2"));
  }

  void fillBoxSwitchesSeries() {
    ChartFixture fixture;
    QSignalSpy switched(&fixture.chart(), &TrendChartView::fillSwitched);
    const QList<QAbstractSeries*> series = fixture.chart().findChild<QChartView*>()->chart()->series();
    for (const bool checked : {false, true}) {
      fixture.control<QCheckBox>("BtFill")->click();
      QCOMPARE(series.at(TrendChartView::kAreaSeries)->isVisible(), checked);
      QCOMPARE(series.at(TrendChartView::kLineSeries)->isVisible(), !checked);
      QCOMPARE(switched.takeFirst().value(0).toBool(), checked);
    }
  }

  void pageSizeBoxKeys_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("pageSize");
    QTest::newRow("digit") << "5" << "1005" << 1005;
    QTest::newRow("letter") << "a" << "100" << 100;
    QTest::newRow("minus") << "-" << "100" << 100;
    QTest::newRow("blank") << " " << "100" << 100;
    QTest::newRow("backspace") << "\b" << "10" << 10;
    QTest::newRow("backspace to 0") << "\b\b0" << "10" << 10;
  }
  void pageSizeBoxKeys() {
    QFETCH(QString, keys);
    ChartFixture fixture;
    auto* box = fixture.control<QLineEdit>("Maxrecord");
    box->setFocus();
    box->end(false);
    for (const QChar key : keys) {
      if (key == u'\b') {
        QTest::keyClick(box, Qt::Key_Backspace);
      } else {
        QTest::keyClicks(box, key);
      }
    }
    QTEST(box->text(), "text");
    QTEST(fixture.chart().pageSize(), "pageSize");
  }

  void pageSizeBoxRefusesWhatIsNoInteger() {
    ChartFixture fixture;
    auto* box = fixture.control<QLineEdit>("Maxrecord");
    box->setText(QStringLiteral("0"));
    QCOMPARE(fixture.chart().pageSize(), 0);
    box->setText(QString());
    box->setText(QStringLiteral("99999999999"));
    QCOMPARE(fixture.takeErrors(), (QStringList{"'' is not a valid integer value",
                                                "'99999999999' is not a valid integer value"}));
    QCOMPARE(fixture.chart().pageSize(), 0);
  }

  void enlargeAndRestore_data() {
    QTest::addColumn<int>("windowHeight");
    QTest::addColumn<int>("enlargedWindowHeight");
    QTest::newRow("the program's window") << 548 << 548;
    QTest::newRow("taller than 600") << 700 << 564;
  }
  void enlargeAndRestore() {
    QFETCH(int, windowHeight);
    QFETCH(int, enlargedWindowHeight);
    ChartFixture fixture;
    fixture.window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.window()));
    setOuterSize(fixture.window(), {631, windowHeight});
    const QRect normal = fixture.chart().geometry();
    auto* enlarge = fixture.control<QLabel>("TbFd");
    auto* restore = fixture.control<QLabel>("TbSx");

    QTest::mouseClick(enlarge, Qt::LeftButton);
    QCOMPARE(fixture.window().frameGeometry().height(), enlargedWindowHeight);
    QCOMPARE(fixture.chart().geometry(), QRect(2, 30, 619, enlargedWindowHeight - 90));
    QCOMPARE(fixture.chart().normalBounds(), normal);
    QVERIFY(enlarge->isHidden());
    QVERIFY(!restore->isHidden());

    QTest::mouseClick(restore, Qt::LeftButton);
    QCOMPARE(fixture.chart().geometry(), normal);
    QVERIFY(!enlarge->isHidden());
    QVERIFY(restore->isHidden());
  }

};

QTEST_MAIN(TestTrendChartView)
#include "tst_trend_chart_view.moc"
