// What a page of the trend chart plots, without a window: each reading in its base unit by its
// unit text, one quantity a page (its newest reading's), the extremes kept per pixel column, and
// the value axis fitted to the page, or the fixed scale with the digits.

#include "chart/chart_pager.h"
#include "chart/point_store.h"
#include "chart/table_feed.h"
#include "chart/value_axis_plan.h"
#include "core/current_reading.h"
#include "log/reading_table.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <optional>
#include <string>
#include <utility>
#include <vector>

using qm::chart::ChartPager;
using qm::chart::ChartPoints;
using qm::chart::PlottedQuantity;
using qm::chart::PointRange;
using qm::chart::PointStore;

Q_DECLARE_METATYPE(std::optional<double>)
Q_DECLARE_METATYPE(PlottedQuantity)

namespace {

// Readings logged one a second, numbered from 1: each "value unit", the unit as its code page 936
// text (empty for none).
void logReadings(qm::log::ReadingTable& table, const std::vector<std::pair<std::string, std::string>>& readings) {
  for (const auto& [value, unit] : readings) {
    qm::log::RowFields row;
    row.No = static_cast<std::int32_t>(table.rowCount() + 1);
    row.Time = 1000 * *row.No;
    row.text(qm::log::TextField::Value) = value;
    if (!unit.empty()) {
      row.text(qm::log::TextField::Unit) = unit;
    }
    table.appendAdded(row);
  }
}

// Equal to a millionth: the digits are kept as a float.
bool nearlyEqual(double a, double b) { return std::abs(a - b) <= 1e-6 * std::max(std::abs(a), std::abs(b)); }

}  // namespace

class TestChartPlot : public QObject {
  Q_OBJECT

private slots:
  // A reading's unit text, through the table feed, to the Y the chart plots for it: in V or Ω
  // off the fixed scale, the digits on it.
  void unitsToPlottedValues_data() {
    QTest::addColumn<QByteArray>("value");
    QTest::addColumn<QByteArray>("unit");
    QTest::addColumn<PlottedQuantity>("quantity");
    QTest::addColumn<std::optional<double>>("plotted");
    const QByteArray volt(qm::unit::kVolt.data());
    QTest::newRow("V") << QByteArray("-600") << volt << PlottedQuantity::Volts << std::optional(-600.0);
    QTest::newRow("Ω") << QByteArray("850") << QByteArray(qm::unit::kOhm.data()) << PlottedQuantity::Ohms << std::optional(850.0);
    QTest::newRow("MΩ") << QByteArray("975.6") << QByteArray(qm::unit::kMegaOhm.data()) << PlottedQuantity::Ohms
                        << std::optional(975.6e6);
    QTest::newRow("GΩ") << QByteArray("1.020") << QByteArray(qm::unit::kGigaOhm.data()) << PlottedQuantity::Ohms
                        << std::optional(1.02e9);
    QTest::newRow("0 MΩ: no place on a logarithmic axis")
        << QByteArray("0.00") << QByteArray(qm::unit::kMegaOhm.data()) << PlottedQuantity::Ohms << std::optional<double>();
    QTest::newRow("unknown unit: its digits") << QByteArray("12.5") << QByteArray("kV") << PlottedQuantity::UnknownUnitDigits
                                              << std::optional(12.5);
    QTest::newRow("no unit: its digits") << QByteArray("7") << QByteArray() << PlottedQuantity::UnknownUnitDigits
                                         << std::optional(7.0);
  }
  void unitsToPlottedValues() {
    QFETCH(QByteArray, value);
    QFETCH(QByteArray, unit);
    QFETCH(PlottedQuantity, quantity);
    QFETCH(std::optional<double>, plotted);
    qm::log::ReadingTable table;
    logReadings(table, {{value.toStdString(), unit.toStdString()}});
    PointStore store;
    const qm::chart::TableFeed feed(table, ".", store);
    QCOMPARE(store.size(), std::size_t{1});
    const PointRange page{0, 1};
    QCOMPARE(store.measuredQuantity(page), quantity);
    const QList<QPointF> drawn = store.drawnPoints(page, store.pageSpan(page, 100), 300, quantity);
    QCOMPARE(drawn.size(), plotted ? 1 : 0);
    if (plotted) {
      QVERIFY2(nearlyEqual(drawn.first().y(), *plotted), qPrintable(QString::number(drawn.first().y(), 'g', 10)));
    }
    // The fixed scale plots the digits, whatever the unit.
    const QList<QPointF> digits = store.drawnPoints(page, store.pageSpan(page, 100), 300, PlottedQuantity::FixedScaleDigits);
    QCOMPARE(digits.size(), 1);
    QCOMPARE(digits.first().y(), static_cast<double>(value.toFloat()));
  }

  // A page shows the quantity of its newest reading; readings of the other give no point there,
  // and the pages themselves still count every reading.
  void pageShowsItsNewestQuantity() {
    const std::string volt(qm::unit::kVolt);
    const std::string megohm(qm::unit::kMegaOhm);
    qm::log::ReadingTable table;
    logReadings(table, {{"230", volt}, {"500", megohm}, {"231", volt}, {"600", megohm},  // page 1
                        {"700", megohm}, {"800", megohm}, {"232", volt}});               // page 2
    PointStore store;
    const qm::chart::TableFeed feed(table, ".", store);
    ChartPager pager;
    pager.setPageSize(4, store.size());
    QCOMPARE(pager.pageCount(store.size()), std::size_t{2});
    const auto plotted = [&](std::size_t page) {
      pager.setPage(page, store.size());
      const PointRange range = pager.pageRange(store.size());
      const PlottedQuantity quantity = store.measuredQuantity(range);
      return std::pair(quantity, store.drawnPoints(range, store.pageSpan(range, 4), 300, quantity));
    };
    QCOMPARE(plotted(1), std::pair(PlottedQuantity::Ohms, QList<QPointF>{{2, 500e6}, {4, 600e6}}));
    QCOMPARE(plotted(2), std::pair(PlottedQuantity::Volts, QList<QPointF>{{7, 232}}));
  }

  // Many points of two quantities: each pixel column keeps the extremes of the page's quantity
  // only, however far the other quantity's readings lie.
  void columnExtremesOfThePageQuantityOnly() {
    PointStore store;
    ChartPoints batch;
    for (int i = 0; i < 10'000; ++i) {
      const bool volts = i % 2 == 0;
      batch.push_back({i, volts ? 9000.0F : static_cast<float>(1 + i % 5), static_cast<std::uint32_t>(i),
                       volts ? qm::UnitCode::Volt : qm::UnitCode::GigaOhm});
    }
    store.append(std::move(batch));
    const PointRange all{0, store.size()};
    const QList<QPointF> drawn = store.drawnPoints(all, store.pageSpan(all, 0), 100, PlottedQuantity::Ohms);
    QVERIFY(drawn.size() <= 200);
    const auto [lowest, highest] = std::minmax_element(
        drawn.cbegin(), drawn.cend(), [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
    QCOMPARE(lowest->y(), 1e9);
    QCOMPARE(highest->y(), 5e9);
  }

  void valueAxis_data() {
    QTest::addColumn<PlottedQuantity>("quantity");
    QTest::addColumn<QList<double>>("values");
    QTest::addColumn<bool>("logarithmic");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::addColumn<QString>("title");
    QTest::addColumn<double>("unitSize");
    // Resistances in ohms, on decades of the meter's unit for the largest of them. The simulated
    // meter's 500 V test as the table keeps it: floats times the unit's factor.
    QTest::newRow("975.6 MΩ rising to 1.02 GΩ: two decades of GΩ")
        << PlottedQuantity::Ohms << QList<double>{975.6F * 1e6, 1.01F * 1e9, 1.02F * 1e9} << true << 0.1 << 10.0 << "GΩ"
        << 1e9;
    QTest::newRow("within a decade") << PlottedQuantity::Ohms << QList<double>{2e9, 6.4e9} << true << 1.0 << 10.0 << "GΩ"
                                     << 1e9;
    QTest::newRow("a lone power of ten gets its decade")
        << PlottedQuantity::Ohms << QList<double>{1e9} << true << 1.0 << 10.0 << "GΩ" << 1e9;
    QTest::newRow("0.1 GΩ as a float is 100 MΩ, not above it")
        << PlottedQuantity::Ohms << QList<double>{20e6, 0.1F * 1e9} << true << 10.0 << 100.0 << "MΩ" << 1e6;
    QTest::newRow("below a megohm: ohms") << PlottedQuantity::Ohms << QList<double>{850, 999e3} << true << 100.0 << 1e6
                                          << "Ω" << 1.0;
    QTest::newRow("volts, fitted") << PlottedQuantity::Volts << QList<double>{-600, 230} << false << -600.0 << 230.0 << "V"
                                   << 1.0;
    QTest::newRow("steady volts get room") << PlottedQuantity::Volts << QList<double>{230, 230} << false << 227.7 << 232.3
                                           << "V" << 1.0;
    QTest::newRow("unknown unit, untitled") << PlottedQuantity::UnknownUnitDigits << QList<double>{3, 5} << false << 3.0
                                            << 5.0 << "" << 1.0;
    QTest::newRow("fixed scale") << PlottedQuantity::FixedScaleDigits << QList<double>{975.6, 1.02} << false << -11000.0
                                 << 11000.0 << "" << 1.0;
  }
  void valueAxis() {
    QFETCH(PlottedQuantity, quantity);
    QFETCH(QList<double>, values);
    QList<QPointF> shown;
    for (const double value : values) {
      shown.append({static_cast<double>(shown.size()), value});
    }
    const qm::chart::ValueAxisPlan plan = qm::chart::valueAxisFor(quantity, shown);
    QTEST(plan.logarithmic, "logarithmic");
    QTEST(plan.low, "low");
    QTEST(plan.high, "high");
    QTEST(plan.title, "title");
    QTEST(plan.unitSize, "unitSize");
    // Only a fitted linear axis moves its ends to round numbers.
    QCOMPARE(plan.roundEnds, !plan.logarithmic && quantity != PlottedQuantity::FixedScaleDigits);
  }

};

QTEST_GUILESS_MAIN(TestChartPlot)
#include "tst_chart_plot.moc"
