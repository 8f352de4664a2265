// The reports' pages as they are placed, before any drawing: page totals and footers, the rows of
// each page up to ten million rows, where the graph reports' picture goes, every item of the data
// report at its place and in its style, and the rows a report keeps when the table changes under it.

#include "report_fixtures.h"

#include <QFont>
#include <QFontMetricsF>
#include <QTest>

#include <functional>

using namespace reports_test;
using qm::reports::BandKind;
using qm::reports::PageContent;
using qm::reports::PlacedText;
using qm::reports::ReportDocument;
using qm::reports::ReportKind;
using qm::reports::Tenths;

namespace {

// The texts of a page that lie in its band of `kind`, in the order placed.
QStringList textsInBand(const PageContent& page, BandKind kind) {
  QStringList texts;
  for (const qm::reports::PlacedBand& band : page.bands) {
    if (band.kind != kind) {
      continue;
    }
    for (const PlacedText& text : page.texts) {
      if (text.top >= band.top && text.top < band.top + band.height) {
        texts << text.text;
      }
    }
  }
  return texts;
}

// The first field of each detail band: the rows' numbers.
QStringList rowNumbers(const PageContent& page) {
  QStringList numbers;
  for (const qm::reports::PlacedBand& band : page.bands) {
    if (band.kind != BandKind::Detail) {
      continue;
    }
    for (const PlacedText& text : page.texts) {
      if (text.top >= band.top && text.top < band.top + band.height) {
        numbers << text.text;
        break;
      }
    }
  }
  return numbers;
}

QStringList numbersFrom(std::size_t first, std::size_t count) {
  QStringList numbers;
  for (std::size_t i = 0; i < count; ++i) {
    numbers << QString::number(first + i);
  }
  return numbers;
}

const PlacedText& textOf(const PageContent& page, const QString& text) {
  static const PlacedText none;
  for (const PlacedText& placed : page.texts) {
    if (placed.text == text) {
      return placed;
    }
  }
  return none;
}

QString styleOf(const PlacedText& text) {
  const qm::reports::TextStyle& style = *text.style;
  return QStringLiteral("%1 %2%3%4 %5")
      .arg(style.family)
      .arg(style.points)
      .arg(style.bold ? " bold" : "", style.underline ? " underline" : "", style.color.name());
}

}  // namespace

class TestReportPages : public QObject {
  Q_OBJECT

private slots:
  void pageTotalsAndFooters_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("pages");
    QTest::newRow("empty table") << 0 << 1;
    QTest::newRow("one row") << 1 << 1;
    QTest::newRow("a full page") << 37 << 1;
    QTest::newRow("one row more") << 38 << 2;
    QTest::newRow("two full pages") << 74 << 2;
    QTest::newRow("one row more again") << 75 << 3;
  }

  // "The Page" n "Of" total on every page, and each page's rows in order, none twice or lost.
  void pageTotalsAndFooters() {
    QFETCH(int, rows);
    QFETCH(int, pages);
    ReadingTable table;
    appendLog(table, static_cast<std::size_t>(rows));
    const auto report = reportOf(ReportKind::Data, &table);
    QCOMPARE(report->pageTotal(), static_cast<std::size_t>(pages));
    QCOMPARE(report->pageCount(), static_cast<std::size_t>(pages));
    for (int page = 0; page < pages; ++page) {
      const PageContent content = report->pageContent(static_cast<std::size_t>(page));
      QCOMPARE(textsInBand(content, BandKind::PageFooter),
               (QStringList{"The Page", QString::number(page + 1), "Of", QString::number(pages)}));
      QCOMPARE(textsInBand(content, BandKind::ColumnHeader),
               (QStringList{"No", "Time", "Value", "Unit", "Function", "Remark"}));
      const int first = page * 37 + 1;
      QCOMPARE(rowNumbers(content), numbersFrom(static_cast<std::size_t>(first), static_cast<std::size_t>(std::min(37, rows - first + 1))));
    }
  }

  // A ten-million-row log: 270,271 pages, the last holding the last ten rows, and any page found
  // without laying out those before it.
  void tenMillionRows() {
    ReadingTable table;
    appendLog(table, 10'000'000);
    const auto report = reportOf(ReportKind::Data, &table);
    QCOMPARE(report->pageTotal(), std::size_t{270'271});

    const PageContent last = report->pageContent(270'270);
    QCOMPARE(rowNumbers(last), numbersFrom(9'999'991, 10));
    QCOMPARE(textsInBand(last, BandKind::Detail).mid(6 * 9),
             (QStringList{"10000000", "04:53:19", "9999", "M\u03A9", "IR:500V 20G\u03A9", "Continuous"}));
    QCOMPARE(textsInBand(last, BandKind::PageFooter), (QStringList{"The Page", "270271", "Of", "270271"}));
    QCOMPARE(rowNumbers(report->pageContent(99'999)), numbersFrom(3'699'964, 37));

    // A six-digit page number pushes "Of" and the total to its right instead of running into them.
    const PlacedText& number = last.texts[last.texts.size() - 3];
    const PlacedText& of = last.texts[last.texts.size() - 2];
    QFont font(number.style->family);
    font.setPixelSize(1000);
    const double numberWidth = QFontMetricsF(font).horizontalAdvance(number.text) / 1000 * number.style->points * 254 / 72;
    QVERIFY2(of.left >= number.left + numberWidth, qPrintable(QString("Of at %1, number ends at %2").arg(of.left).arg(number.left + numberWidth)));
    QVERIFY(last.texts.back().left > of.left);
    // Short numbers keep the designed places.
    QCOMPARE(textOf(report->pageContent(0), "Of").left, Tenths{100 + 318});
  }

  void dataGraphPicture_data() {
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("pages");
    QTest::addColumn<int>("picturePage");
    QTest::addColumn<int>("pictureTop");  // tenths of a millimetre on the paper
    // First page: margin 100, title 3, page header 106, column header 106, then rows of 66.
    QTest::newRow("empty table: one empty row, then the picture") << 0 << 1 << 0 << 100 + 3 + 106 + 106 + 66 + 95;
    QTest::newRow("23 rows leave room") << 23 << 1 << 0 << 100 + 3 + 106 + 106 + 23 * 66 + 95;
    QTest::newRow("24 rows do not") << 24 << 2 << 1 << 100 + 106 + 106 + 95;
    QTest::newRow("a full page") << 37 << 2 << 1 << 100 + 106 + 106 + 95;
    QTest::newRow("23 rows on the second page") << 60 << 2 << 1 << 100 + 106 + 106 + 23 * 66 + 95;
    QTest::newRow("24 rows on the second page") << 61 << 3 << 2 << 100 + 106 + 106 + 95;
  }

  // The picture follows the last row: on its page when the summary band fits, else on a page of
  // its own, which still has its headings.
  void dataGraphPicture() {
    QFETCH(int, rows);
    QFETCH(int, pages);
    QFETCH(int, picturePage);
    QFETCH(int, pictureTop);
    ReadingTable table;
    appendLog(table, static_cast<std::size_t>(rows));
    const auto report = reportOf(ReportKind::DataGraph, &table, plainPicture());
    QCOMPARE(report->pageCount(), static_cast<std::size_t>(pages));
    std::size_t rowsSeen = 0;
    for (int page = 0; page < pages; ++page) {
      const PageContent content = report->pageContent(static_cast<std::size_t>(page));
      rowsSeen += static_cast<std::size_t>(rowNumbers(content).size());
      QCOMPARE(textsInBand(content, BandKind::PageHeader).first(), QString("QM310 TEST DATA+GRAPH  REPORT"));
      QCOMPARE(textsInBand(content, BandKind::PageFooter), QStringList());
      if (page != picturePage) {
        QVERIFY(content.pictures.empty());
        continue;
      }
      QCOMPARE(content.pictures.size(), std::size_t{1});
      const qm::reports::PlacedRect& picture = content.pictures.front();
      QCOMPARE(picture.top, pictureTop);
      QCOMPARE(picture.left, 100 + 74);
      QCOMPARE(picture.width, 1431);
      QCOMPARE(picture.height, 775);
      // Above the page footer of 9.8 mm.
      QVERIFY(picture.top + picture.height <= 2970 - 100 - 98);
    }
    QCOMPARE(rowsSeen, static_cast<std::size_t>(rows));
  }

  // The store report is one page with its headings and empty fields, whatever the table holds;
  // the graph report one page with its picture and no footer.
  void storeAndGraphReports() {
    ReadingTable table;
    appendLog(table, 100);
    const auto store = reportOf(ReportKind::Store, &table);
    QCOMPARE(store->pageTotal(), std::size_t{1});
    const PageContent storePage = store->pageContent(0);
    QCOMPARE(textsInBand(storePage, BandKind::PageHeader),
             (QStringList{"QM310 STORE DATA REPORT", "Print Date:", "2024-05-17"}));
    QCOMPARE(textsInBand(storePage, BandKind::ColumnHeader), (QStringList{"No", "Time", "Value", "Unit", "V_Range", "I_Range"}));
    QCOMPARE(textsInBand(storePage, BandKind::Detail), QStringList());
    QCOMPARE(textsInBand(storePage, BandKind::PageFooter), (QStringList{"The Page", "1", "Of", "1"}));
    QCOMPARE(textOf(storePage, "I_Range").style->family, QString("Times New Roman"));
    QCOMPARE(textOf(storePage, "QM310 STORE DATA REPORT").top, 100 + 11);

    const auto graph = reportOf(ReportKind::Graph, &table, plainPicture());
    QCOMPARE(graph->pageCount(), std::size_t{1});
    const PageContent graphPage = graph->pageContent(0);
    QCOMPARE(textsInBand(graphPage, BandKind::PageHeader), (QStringList{"QM310 GRAPH REPORT", "Print Date:", "2024-05-17"}));
    QCOMPARE(textsInBand(graphPage, BandKind::ColumnHeader), (QStringList{"V_Range", "I_Range"}));
    QCOMPARE(textsInBand(graphPage, BandKind::PageFooter), QStringList());
    QCOMPARE(graphPage.texts.size(), std::size_t{5});
    QCOMPARE(graphPage.pictures.size(), std::size_t{1});
    const qm::reports::PlacedRect& picture = graphPage.pictures.front();
    QCOMPARE((QList<int>{picture.left, picture.top, picture.width, picture.height}),
             (QList<int>{100 + 21, 100 + 106 + 50 + 63, 1812, 1516}));
  }

  void dataReportPlaces_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("left");  // on the paper, tenths of a millimetre
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("boxWidth");
    QTest::addColumn<QString>("style");
    // Page header at 10 mm, column header at 20.6 mm, the row at 31.2 mm, page footer at 276.4 mm.
    QTest::newRow("title") << " TEST DATA REPORT" << 658 << 121 << 783 << "Arial 14 bold underline #0000ff";
    QTest::newRow("date label") << "Print Date:" << 1688 << 153 << 0 << "Arial 7 #000000";
    QTest::newRow("date") << "2024-05-17" << 1814 << 153 << 0 << "Arial 7 #000000";
    QTest::newRow("No heading") << "No" << 185 << 248 << 0 << "Arial 10 #000000";
    QTest::newRow("Time heading") << "Time" << 439 << 248 << 0 << "Arial 10 #000000";
    QTest::newRow("Value heading") << "Value" << 743 << 248 << 0 << "Arial 10 #000000";
    QTest::newRow("Unit heading") << "Unit" << 1095 << 248 << 0 << "Arial 10 #000000";
    QTest::newRow("Function heading") << "Function" << 1338 << 248 << 0 << "Arial 10 #000000";
    QTest::newRow("Remark heading") << "Remark" << 1730 << 248 << 0 << "Arial 10 #000000";
    QTest::newRow("No") << "7" << 185 << 333 << 0 << "Arial 10 #000000";
    QTest::newRow("Time") << "14:03:27" << 439 << 333 << 0 << "Arial 10 #000000";
    QTest::newRow("Value") << "523,4" << 756 << 333 << 0 << "Arial 10 #000000";
    QTest::newRow("Unit") << "M\u03A9" << 1095 << 333 << 0 << "Arial 10 #000000";
    QTest::newRow("Function, half a millimetre higher") << "IR:500V 20G\u03A9" << 1338 << 328 << 0 << "Arial 10 #000000";
    QTest::newRow("Remark") << "Continuous" << 1740 << 333 << 0 << "Arial 10 #000000";
    QTest::newRow("The Page") << "The Page" << 185 << 2806 << 0 << "Arial 10 #000000";
    QTest::newRow("page number") << "1" << 343 << 2806 << 0 << "Arial 8 #0000ff";
    QTest::newRow("Of") << "Of" << 418 << 2806 << 0 << "Arial 10 #000000";
  }

  // Every text of a one-row data report at its designed place, in its designed style.
  void dataReportPlaces() {
    QFETCH(QString, text);
    QFETCH(int, left);
    QFETCH(int, top);
    QFETCH(int, boxWidth);
    QFETCH(QString, style);
    ReadingTable table;
    table.appendAdded(rowOf(7, at(14, 3, 27, 450), "523,4", "M\xA6\xB8", "IR:500V 20G\xA6\xB8", "Continuous"));
    const PageContent page = reportOf(ReportKind::Data, &table)->pageContent(0);
    QCOMPARE(page.texts.size(), std::size_t{3 + 6 + 6 + 4});
    const PlacedText& placed = textOf(page, text);
    QVERIFY2(placed.style != nullptr, qPrintable(text));
    QCOMPARE((QList<int>{placed.left, placed.top, placed.boxWidth}), (QList<int>{left, top, boxWidth}));
    QCOMPARE(styleOf(placed), style);
  }

  void snapshotKeepsRows_data() {
    QTest::addColumn<std::function<void(ReadingTable&)>>("change");
    QTest::addColumn<bool>("detached");
    QTest::newRow("readings logged") << std::function<void(ReadingTable&)>([](ReadingTable& table) { appendLog(table, 40, 1000); })
                                     << false;
    QTest::newRow("a row after the report's deleted")
        << std::function<void(ReadingTable&)>([](ReadingTable& table) {
             appendLog(table, 2, 1000);
             table.deleteRow(table.rowCount() - 1);
           })
        << false;
    QTest::newRow("Clear All") << std::function<void(ReadingTable&)>([](ReadingTable& table) { table.clear(); }) << true;
    QTest::newRow("a packet loaded in its place") << std::function<void(ReadingTable&)>([](ReadingTable& table) {
      ReadingTable loaded;
      appendLog(loaded, 3, 500);
      table.replaceWith(std::move(loaded));
    }) << true;
    QTest::newRow("one of its rows deleted")
        << std::function<void(ReadingTable&)>([](ReadingTable& table) { table.deleteRow(0); }) << true;
  }

  // A report shows the rows of the moment it was opened, whatever then happens to the table.
  void snapshotKeepsRows() {
    QFETCH(std::function<void(ReadingTable&)>, change);
    QFETCH(bool, detached);
    ReadingTable table;
    appendLog(table, 38);
    const auto report = reportOf(ReportKind::Data, &table);
    change(table);
    QCOMPARE(report->snapshot()->isDetached(), detached);
    QCOMPARE(report->rowCount(), std::size_t{38});
    QCOMPARE(report->pageTotal(), std::size_t{2});
    QCOMPARE(rowNumbers(report->pageContent(0)), numbersFrom(1, 37));
    QCOMPARE(rowNumbers(report->pageContent(1)), numbersFrom(38, 1));
    QCOMPARE(textsInBand(report->pageContent(1), BandKind::Detail),
             (QStringList{"38", "08:00:18", "37", "M\u03A9", "IR:500V 20G\u03A9", "Continuous"}));
  }

  // A table gone without warning leaves the report with no rows to read, not with dangling ones.
  void tableDestroyed() {
    auto table = std::make_unique<ReadingTable>();
    appendLog(*table, 5);
    const auto report = reportOf(ReportKind::Data, table.get());
    table.reset();
    QCOMPARE(report->rowCount(), std::size_t{0});
    QCOMPARE(rowNumbers(report->pageContent(0)), QStringList());
  }
};

QTEST_MAIN(TestReportPages)
#include "tst_report_pages.moc"
