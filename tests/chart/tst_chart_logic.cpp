// The chart's logic without a window: paging and its navigation bar, the point store and its
// reduction to pixel columns, and the page-size box's text.

#include "chart/chart_pager.h"
#include "chart/page_size_text.h"
#include "chart/point_store.h"

#include <QtTest>

#include <algorithm>
#include <optional>

using qm::chart::ChartPager;
using qm::chart::ChartPoints;
using qm::chart::NavigationButtons;
using qm::chart::PlottedQuantity;
using qm::chart::PointRange;
using qm::chart::PointStore;

Q_DECLARE_METATYPE(std::optional<std::size_t>)

namespace {

// The four navigation buttons as "+" (enabled) or "-": First, Previous, Next, Last.
QString shown(const NavigationButtons& buttons) {
  QString text;
  for (const bool enabled : {buttons.firstPageButton_, buttons.previousPageButton_, buttons.nextPageButton_, buttons.lastPageButton_}) {
    text += enabled ? u'+' : u'-';
  }
  return text;
}

// Runs navigation commands given as letters: F(irst), P(revious), N(ext), L(ast).
void navigate(ChartPager& pager, const QString& commands, std::size_t points) {
  for (const QChar command : commands) {
    switch (command.unicode()) {
      case 'F': pager.goToFirstPage(points); break;
      case 'P': pager.goToPreviousPage(points); break;
      case 'N': pager.goToNextPage(points); break;
      case 'L': pager.goToLastPage(points); break;
      default: QFAIL("unknown command");
    }
  }
}

PointStore storeOf(std::initializer_list<std::pair<int, float>> points) {
  PointStore store;
  ChartPoints batch;
  std::uint32_t row = 0;
  for (const auto& [x, y] : points) {
    batch.push_back({x, y, row++});
  }
  store.append(std::move(batch));
  return store;
}

QList<int> xsOf(const PointStore& store) {
  QList<int> xs;
  for (std::size_t i = 0; i < store.size(); ++i) {
    xs.append(store.at(i).x);
  }
  return xs;
}

}  // namespace

class TestChartLogic : public QObject {
  Q_OBJECT

private slots:
  void pageCountAndContents_data() {
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<QString>("commands");
    QTest::addColumn<int>("pageCount");
    QTest::addColumn<int>("page");
    QTest::addColumn<int>("first");
    QTest::addColumn<int>("last");
    QTest::newRow("no points") << 0 << 100 << "L" << 1 << 1 << 0 << 0;
    QTest::newRow("one point") << 1 << 100 << "L" << 1 << 1 << 0 << 1;
    QTest::newRow("exactly a page") << 100 << 100 << "L" << 1 << 1 << 0 << 100;
    QTest::newRow("one more than a page") << 101 << 100 << "L" << 2 << 2 << 100 << 101;
    QTest::newRow("middle page") << 250 << 100 << "N" << 3 << 2 << 100 << 200;
    QTest::newRow("short last page") << 250 << 100 << "L" << 3 << 3 << 200 << 250;
    QTest::newRow("size 0 shows all") << 250 << 0 << "L" << 1 << 1 << 0 << 250;
    QTest::newRow("size 1") << 3 << 1 << "NN" << 3 << 3 << 2 << 3;
    QTest::newRow("ten million") << 10'000'000 << 100 << "L" << 100'000 << 100'000 << 9'999'900 << 10'000'000;
  }
  void pageCountAndContents() {
    QFETCH(int, points);
    QFETCH(int, pageSize);
    QFETCH(QString, commands);
    const auto count = static_cast<std::size_t>(points);
    ChartPager pager;
    pager.setPageSize(static_cast<std::size_t>(pageSize), count);
    navigate(pager, commands, count);
    QTEST(static_cast<int>(pager.pageCount(count)), "pageCount");
    QTEST(static_cast<int>(pager.page()), "page");
    const PointRange range = pager.pageRange(count);
    QTEST(static_cast<int>(range.first), "first");
    QTEST(static_cast<int>(range.last), "last");
  }

  void navigationTable_data() {
    QTest::addColumn<int>("points");
    QTest::addColumn<QString>("commands");
    QTest::addColumn<int>("page");
    QTest::addColumn<QString>("buttons");
    // 250 points at 100 a page: three pages.
    QTest::newRow("First") << 250 << "LF" << 1 << "--++";
    QTest::newRow("Previous on page 1") << 250 << "P" << 1 << "--++";
    QTest::newRow("Previous from 3 to 2") << 250 << "LP" << 2 << "++++";
    QTest::newRow("Previous from 2 to 1 keeps First on") << 250 << "LPP" << 1 << "++++";
    QTest::newRow("a further Previous turns it off") << 250 << "LPPP" << 1 << "--++";
    QTest::newRow("Next from 1 to 2") << 250 << "FN" << 2 << "++++";
    QTest::newRow("Next from 2 to 3 keeps Next on") << 250 << "NN" << 3 << "++++";
    QTest::newRow("a further Next turns it off") << 250 << "NNN" << 3 << "++--";
    QTest::newRow("Next on the only page") << 40 << "N" << 1 << "++--";
    QTest::newRow("Last") << 250 << "FL" << 3 << "++--";
    QTest::newRow("Last on the only page") << 40 << "L" << 1 << "++--";
    QTest::newRow("untouched at start") << 250 << "" << 1 << "++++";
  }
  void navigationTable() {
    QFETCH(int, points);
    QFETCH(QString, commands);
    QFETCH(int, page);
    ChartPager pager;
    navigate(pager, commands, static_cast<std::size_t>(points));
    QCOMPARE(static_cast<int>(pager.page()), page);
    QCOMPARE(pager.caption(), QString::number(page));
    QTEST(shown(pager.buttons()), "buttons");
  }

  void pageSizeChangeClampsPageButKeepsCaption() {
    ChartPager pager;
    navigate(pager, "L", 250);
    pager.setPageSize(200, 250);
    QCOMPARE(pager.page(), std::size_t{2});
    QCOMPARE(pager.caption(), QStringLiteral("3"));
    pager.setPageSize(0, 250);
    QCOMPARE(pager.page(), std::size_t{1});
    QCOMPARE(pager.caption(), QStringLiteral("3"));

    // Fewer points (the chart was cleared) leave the page alone: it shows nothing until the
    // readings reach it again.
    pager.setPageSize(100, 250);
    navigate(pager, "L", 250);
    QCOMPARE(pager.page(), std::size_t{3});
    QVERIFY(pager.pageRange(1).empty());
    QCOMPARE(pager.page(), std::size_t{3});
  }

  void pointsKeepXOrder() {
    PointStore store = storeOf({{1, 1}, {2, 2}, {5, 5}});
    store.append({{3, 30, 10}, {4, 40, 11}});
    store.append({{6, 6, 12}});
    // A text load of older numbers: they go between, after the equal ones already there.
    store.append({{5, 50, 13}, {2, 20, 14}, {0, 0, 15}});
    QCOMPARE(xsOf(store), (QList<int>{0, 1, 2, 2, 3, 4, 5, 5, 6}));
    QCOMPARE(store.at(3).row, 14U);
    QCOMPARE(store.at(7).row, 13U);

    store.removeRow(5, 13);
    store.removeRow(5, 99);  // no such row: nothing goes
    QCOMPARE(xsOf(store), (QList<int>{0, 1, 2, 2, 3, 4, 5, 6}));
    QCOMPARE(store.at(6).row, 2U);
  }

  void pageSpan_data() {
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("step");
    QTest::addColumn<int>("pageSize");
    QTest::addColumn<double>("low");
    QTest::addColumn<double>("high");
    QTest::newRow("full page") << 100 << 1 << 100 << 1.0 << 100.0;
    QTest::newRow("short page keeps a full page's span") << 10 << 1 << 100 << 1.0 << 100.0;
    QTest::newRow("at the points' spacing") << 10 << 5 << 100 << 1.0 << 496.0;
    QTest::newRow("all on one page") << 10 << 1 << 0 << 1.0 << 10.0;
    QTest::newRow("lone point gets room") << 1 << 1 << 0 << 0.0 << 2.0;
  }
  void pageSpan() {
    QFETCH(int, points);
    QFETCH(int, step);
    QFETCH(int, pageSize);
    PointStore store;
    ChartPoints batch;
    for (int i = 0; i < points; ++i) {
      batch.push_back({1 + i * step, 0, static_cast<std::uint32_t>(i)});
    }
    store.append(std::move(batch));
    const qm::chart::XSpan span =
        store.pageSpan({0, static_cast<std::size_t>(points)}, static_cast<std::size_t>(pageSize));
    QTEST(span.low, "low");
    QTEST(span.high, "high");
  }

  void manyPointsDrawnAsColumnExtremes() {
    // A million points on 200 columns, with one spike up and one down in the middle of the run.
    PointStore store;
    ChartPoints batch;
    constexpr int kPoints = 1'000'000;
    for (int i = 0; i < kPoints; ++i) {
      batch.push_back({i, static_cast<float>(i % 7), static_cast<std::uint32_t>(i)});
    }
    batch[500'000].digits = 9000;
    batch[500'001].digits = -9000;
    store.append(std::move(batch));
    const PointRange all{0, store.size()};
    const qm::chart::XSpan span = store.pageSpan(all, 0);
    const QList<QPointF> drawn = store.drawnPoints(all, span, 200, PlottedQuantity::FixedScaleDigits);

    QVERIFY(drawn.size() <= 400);
    const auto [lowest, highest] = std::minmax_element(
        drawn.cbegin(), drawn.cend(), [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
    QCOMPARE(lowest->y(), -9000.0);
    QCOMPARE(highest->y(), 9000.0);
    QCOMPARE(highest->x(), 500'000.0);
    QVERIFY(std::is_sorted(drawn.cbegin(), drawn.cend(),
                           [](const QPointF& a, const QPointF& b) { return a.x() < b.x(); }));

    // Few points are drawn as they are.
    const QList<QPointF> page = store.drawnPoints({10, 20}, store.pageSpan({10, 20}, 100), 200, PlottedQuantity::FixedScaleDigits);
    QCOMPARE(page.size(), 10);
    QCOMPARE(page.first(), QPointF(10, 3));
  }

  void pageSizeText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<std::optional<std::size_t>>("pageSize");
    QTest::addColumn<QString>("error");
    QTest::newRow("hundred") << "100" << std::optional<std::size_t>(100) << "";
    QTest::newRow("zero") << "0" << std::optional<std::size_t>(0) << "";
    QTest::newRow("leading zeros") << "007" << std::optional<std::size_t>(7) << "";
    QTest::newRow("largest") << "2147483647" << std::optional<std::size_t>(2147483647) << "";
    QTest::newRow("emptied") << "" << std::optional<std::size_t>() << "'' is not a valid integer value";
    QTest::newRow("too many digits") << "2147483648" << std::optional<std::size_t>()
                                     << "'2147483648' is not a valid integer value";
    QTest::newRow("pasted letters") << "12a" << std::optional<std::size_t>() << "'12a' is not a valid integer value";
    QTest::newRow("pasted blank") << " 12" << std::optional<std::size_t>() << "' 12' is not a valid integer value";
    QTest::newRow("pasted negative") << "-5" << std::optional<std::size_t>()
                                     << "'-5' is not a valid number of points per page";
  }
  void pageSizeText() {
    QFETCH(QString, text);
    const qm::chart::PageSizeText read = qm::chart::readPageSize(text);
    QTEST(read.pageSize, "pageSize");
    QTEST(read.error, "error");
  }
};

QTEST_GUILESS_MAIN(TestChartLogic)
#include "tst_chart_logic.moc"
