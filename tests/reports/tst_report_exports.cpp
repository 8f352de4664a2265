// A report saved to disk: the bytes of each export, a PDF as a reader sees it (pdftotext, pdfinfo)
// and as it prints (a page rendered by pdftoppm against the places of its bands and against the
// preview's own rendering), and what a failed or cancelled save leaves behind.

#include "report_fixtures.h"

#include "log/golden_files.h"
#include "reports/page_painter.h"
#include "reports/report_export.h"

#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>

using namespace reports_test;
using qm::reports::ExportFormat;
using qm::reports::ExportOutcome;
using qm::reports::PageContent;
using qm::reports::ReportKind;
using qm::reports::saveReport;

namespace {

// A decimal comma, the ohm sign, other code page 936 text ("测试", test), a quote and a line
// break, texts that grow long when escaped, and a row deleted through the grid.
void fillSmallTable(ReadingTable& table) {
  table.appendAdded(rowOf(1, at(14, 3, 27, 450), "523,4", "M\xA6\xB8", "IR:500V 20G\xA6\xB8", "Continuous"));
  table.appendAdded(rowOf(2, at(14, 3, 28), "gone", "G\xA6\xB8", "IR:1000V 40G\xA6\xB8", "COMP:GOOD"));
  table.appendAdded(rowOf(3, at(0, 0, 0), "1\"2<3", {}, "\xB2\xE2\xCA\xD4", "a\nb"));
  table.appendAdded(rowOf(4, at(23, 59, 59), "<<<<<<<<<", "\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\""));
  table.deleteRow(1);
}

QString run(const QString& program, const QStringList& args) {
  QProcess process;
  process.start(program, args);
  if (!process.waitForFinished(60000) || process.exitCode() != 0) {
    return QStringLiteral("(%1 failed: %2)").arg(program, QString::fromLocal8Bit(process.readAllStandardError()));
  }
  return QString::fromUtf8(process.readAllStandardOutput());
}

bool isInk(QRgb pixel) { return qGray(pixel) < 128; }

// Whether two pages' rows of ink (inkRows) agree but for edges moved by a millimetre at most.
bool sameInkRows(const QString& a, const QString& b) {
  const auto covered = [](const QString& rows, const QString& other) {
    for (qsizetype i = 0; i < rows.size(); ++i) {
      if (rows[i] == u'#' && !other.mid(std::max<qsizetype>(0, i - 1), i == 0 ? 2 : 3).contains(u'#')) {
        return false;
      }
    }
    return true;
  };
  return a.size() == b.size() && covered(a, b) && covered(b, a);
}

// Millimetre rows of the page (from the top) that hold ink, as a string of '#' and '.'.
QString inkRows(const QImage& page) {
  const double pixelsPerMm = page.width() / 210.0;
  QString rows;
  for (int mm = 0; mm < 297; ++mm) {
    bool ink = false;
    for (int y = static_cast<int>(mm * pixelsPerMm); y < static_cast<int>((mm + 1) * pixelsPerMm) && !ink; ++y) {
      for (int x = 0; x < page.width() && !ink; ++x) {
        ink = isInk(page.pixel(x, y));
      }
    }
    rows += ink ? u'#' : u'.';
  }
  return rows;
}

}  // namespace

class TestReportExports : public QObject {
  Q_OBJECT

private slots:
  void exportBytes_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("comma-separated") << "report.csv"
                                     << QByteArray("No,Time,Value,Unit,Function,Remark\r\n"
                                                   "1,14:03:27,\"523,4\",M\xCE\xA9,IR:500V 20G\xCE\xA9,Continuous\r\n"
                                                   "3,00:00:00,\"1\"\"2<3\",,\xE6\xB5\x8B\xE8\xAF\x95,\"a\nb\"\r\n"
                                                   "4,23:59:59,<<<<<<<<<,\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\",,\r\n");
    QTest::newRow("plain text") << "report.TXT"
                                << QByteArray(" TEST DATA REPORT\r\n"
                                              "Print Date: 2024-05-17\r\n"
                                              "\r\n"
                                              "No           Time      Value                 Unit                  Function              Remark\r\n"
                                              "1            14:03:27  523,4                 M\xCE\xA9                    IR:500V 20G\xCE\xA9          Continuous\r\n"
                                              "3            00:00:00  1\"2<3                                       \xE6\xB5\x8B\xE8\xAF\x95" "                    a b\r\n"
                                              "4            23:59:59  <<<<<<<<<             \"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\"\r\n");
    QTest::newRow("HTML") << "report.htm"
                          << QByteArray("<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title> TEST DATA REPORT</title>\n"
                                        "<style>\n"
                                        "body { font: 10pt Arial, sans-serif; }\n"
                                        "h1 { font: bold 14pt Arial, sans-serif; color: #0000ff; text-decoration: underline; "
                                        "text-align: center; white-space: pre; }\n"
                                        "p.date { font-size: 7pt; text-align: right; }\n"
                                        "th, td { text-align: left; font-weight: normal; padding: 0 2em 0 0; white-space: pre; }\n"
                                        "</style>\n</head>\n<body>\n"
                                        "<h1> TEST DATA REPORT</h1>\n<p class=\"date\">Print Date: 2024-05-17</p>\n"
                                        "<table>\n<thead>\n<tr><th>No</th><th>Time</th><th>Value</th><th>Unit</th>"
                                        "<th>Function</th><th>Remark</th></tr>\n</thead>\n<tbody>\n"
                                        "<tr><td>1</td><td>14:03:27</td><td>523,4</td><td>M\xCE\xA9</td>"
                                        "<td>IR:500V 20G\xCE\xA9</td><td>Continuous</td></tr>\n"
                                        "<tr><td>3</td><td>00:00:00</td><td>1&quot;2&lt;3</td><td></td><td>\xE6\xB5\x8B\xE8\xAF\x95</td><td>a\nb</td></tr>\n"
                                        "<tr><td>4</td><td>23:59:59</td><td>&lt;&lt;&lt;&lt;&lt;&lt;&lt;&lt;&lt;</td><td>&quot;&quot;&quot;&quot;&quot;&quot;&quot;&quot;&quot;&quot;&quot;&quot;&quot;&quot;&quot;&quot;</td><td></td><td></td></tr>\n"
                                        "</tbody>\n</table>\n</body>\n</html>\n");
  }

  // UTF-8, times as the report prints them, the deleted row left out; the comma-separated text
  // quotes what would split a field, so "523,4" stays one value.
  void exportBytes() {
    QFETCH(QString, fileName);
    QFETCH(QByteArray, bytes);
    ReadingTable table;
    fillSmallTable(table);
    QTemporaryDir dir;
    const QString path = dir.filePath(fileName);
    const std::optional<ExportFormat> format = qm::reports::exportFormatForFileName(path);
    QVERIFY(format);
    const ExportOutcome outcome = saveReport(*reportOf(ReportKind::Data, &table), path, *format);
    QVERIFY2(outcome.written(), qPrintable(outcome.message));
    QCOMPARE(readAll(path), bytes);
  }

  // The graph reports' picture travels with the HTML, inside it.
  void htmlPicture() {
    ReadingTable table;
    fillSmallTable(table);
    QTemporaryDir dir;
    const QString path = dir.filePath("graph.html");
    QVERIFY(saveReport(*reportOf(ReportKind::DataGraph, &table, plainPicture()), path, ExportFormat::Html).written());
    const QByteArray html = readAll(path);
    const qsizetype image = html.indexOf("<p><img alt=\"graph\" style=\"width: 143.1mm; height: 77.5mm;\" src=\"data:image/png;base64,");
    QVERIFY(image > html.indexOf("</table>"));
    const qsizetype start = html.indexOf("base64,", image) + 7;
    const QImage picture = QImage::fromData(QByteArray::fromBase64(html.mid(start, html.indexOf('"', start) - start)), "PNG");
    QCOMPARE(picture.size(), QSize(64, 48));
    QCOMPARE(picture.pixelColor(10, 10), QColor(0, 160, 0));
  }

  void formatByExtension_data() {
    QTest::addColumn<QString>("fileName");
    QTest::addColumn<int>("format");  // -1: none
    QTest::newRow("pdf") << "a/b.pdf" << int(ExportFormat::Pdf);
    QTest::newRow("PDF") << "REPORT.PDF" << int(ExportFormat::Pdf);
    QTest::newRow("html") << "r.html" << int(ExportFormat::Html);
    QTest::newRow("htm") << "r.Htm" << int(ExportFormat::Html);
    QTest::newRow("txt") << "r.txt" << int(ExportFormat::Text);
    QTest::newRow("csv") << "r.csv" << int(ExportFormat::Csv);
    QTest::newRow("table file") << "r.xls" << -1;
    QTest::newRow("no extension") << "pdf" << -1;
    QTest::newRow("dot in the folder") << "a.pdf/report" << -1;
  }

  void formatByExtension() {
    QFETCH(QString, fileName);
    QFETCH(int, format);
    const std::optional<ExportFormat> found = qm::reports::exportFormatForFileName(fileName);
    QCOMPARE(found ? int(*found) : -1, format);
  }

  // The PDF as a reader sees it: two A4 pages holding the title, the rows and the footers.
  void pdfText() {
    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (pdftotext.isEmpty()) {
      QSKIP("pdftotext (poppler-utils) is not installed");
    }
    ReadingTable table;
    appendLog(table, 38);
    table.appendAdded(rowOf(39, at(14, 3, 27), "523,4", "M\xA6\xB8", "IR:500V 20G\xA6\xB8", "Continuous"));
    QTemporaryDir dir;
    const QString path = dir.filePath("report.pdf");
    QVERIFY(saveReport(*reportOf(ReportKind::Data, &table), path, ExportFormat::Pdf).written());

    const QString info = run("pdfinfo", {path});
    QVERIFY2(info.contains(QRegularExpression("Pages:\\s+2\n")), qPrintable(info));
    QVERIFY2(info.contains(QRegularExpression("Page size:\\s+595 x 842 pts \\(A4\\)\n")), qPrintable(info));
    QVERIFY2(info.contains(QRegularExpression("Title:\\s+TEST DATA REPORT\n")), qPrintable(info));

    const QStringList pages = run(pdftotext, {"-layout", path, "-"}).split(u'\f');
    QCOMPARE(pages.size(), 3);  // the text ends with a form feed
    const auto simplified = [](const QString& page) {
      QStringList lines;
      for (const QString& line : page.split(u'\n')) {
        if (!line.trimmed().isEmpty()) {
          lines << line.simplified();
        }
      }
      return lines;
    };
    // The title and the print date share a line of text.
    const QStringList first = simplified(pages[0]);
    QCOMPARE(first.size(), 2 + 37 + 1);
    QCOMPARE(first[0], QString("TEST DATA REPORT Print Date: 2024-05-17"));
    QCOMPARE(first[1], QString("No Time Value Unit Function Remark"));
    QCOMPARE(first[2], QString("1 08:00:00 0 M\u03A9 IR:500V 20G\u03A9 Continuous"));
    QCOMPARE(first.last(), QString("The Page 1 Of 2"));
    const QStringList second = simplified(pages[1]);
    QCOMPARE(second.mid(0, 2), first.mid(0, 2));
    QCOMPARE(second.mid(2), (QStringList{"38 08:00:18 37 M\u03A9 IR:500V 20G\u03A9 Continuous",
                                         "39 14:03:27 523,4 M\u03A9 IR:500V 20G\u03A9 Continuous", "The Page 2 Of 2"}));
  }

  // A printed page as pdftoppm draws it: ink exactly where the bands put their texts, the picture
  // filling its box, nothing in the margins; and the same rows of ink as the preview's rendering.
  void pdfPageMatchesBands() {
    const QString pdftoppm = QStandardPaths::findExecutable("pdftoppm");
    if (pdftoppm.isEmpty()) {
      QSKIP("pdftoppm (poppler-utils) is not installed");
    }
    ReadingTable table;
    appendLog(table, 10);
    const auto report = reportOf(ReportKind::DataGraph, &table, plainPicture());
    QTemporaryDir dir;
    const QString path = dir.filePath("report.pdf");
    QVERIFY(saveReport(*report, path, ExportFormat::Pdf).written());
    QCOMPARE(run(pdftoppm, {"-r", "100", "-png", "-f", "1", "-l", "1", path, dir.filePath("page")}), QString());
    const QImage printed(dir.filePath("page-1.png"));
    QCOMPARE(printed.size(), QSize(827, 1170));
    const double pixelsPerTenth = printed.width() / 2100.0;
    const auto pixel = [&](double tenths) { return static_cast<int>(std::lround(tenths * pixelsPerTenth)); };

    const PageContent content = report->pageContent(0);
    QCOMPARE(content.texts.size(), std::size_t{3 + 6 + 10 * 6});
    for (const qm::reports::PlacedText& text : content.texts) {
      // Every text begins with a capital or a digit, whose top lies a fifth of the font's size
      // below the text's top. Its first row of ink, in the first 3 mm of the text, must be there.
      const double size = text.style->points * 254 / 72;
      const double left = text.left + (text.boxWidth > 0 ? text.boxWidth / 2.0 - 15 : 0);
      int firstInk = -1;
      for (int y = pixel(text.top - 20); y < pixel(text.top + size) && firstInk < 0; ++y) {
        for (int x = pixel(left); x < pixel(left + 30); ++x) {
          if (isInk(printed.pixel(x, y))) {
            firstInk = y;
            break;
          }
        }
      }
      const double expected = text.top + size / 5;
      QVERIFY2(firstInk >= 0 && std::abs(firstInk / pixelsPerTenth - expected) <= 5,
               qPrintable(QString("\"%1\": ink from %2, expected from %3 (tenths of a millimetre)")
                              .arg(text.text)
                              .arg(firstInk / pixelsPerTenth)
                              .arg(expected)));
    }
    const qm::reports::PlacedRect& box = content.pictures.front();
    for (const double x : {box.left + 5.0, box.left + box.width / 2.0, box.left + box.width - 5.0}) {
      for (const double y : {box.top + 5.0, box.top + box.height / 2.0, box.top + box.height - 5.0}) {
        QCOMPARE(QColor(printed.pixel(pixel(x), pixel(y))), QColor(0, 160, 0));
      }
    }
    QCOMPARE(printed.pixel(pixel(box.left - 5), pixel(box.top + 100)), qRgb(255, 255, 255));
    QCOMPARE(printed.pixel(pixel(box.left + 100), pixel(box.top + box.height + 5)), qRgb(255, 255, 255));
    const QString rows = inkRows(printed);
    QCOMPARE(rows.left(10), QString(10, u'.'));
    QCOMPARE(rows.right(10), QString(10, u'.'));
    const QString previewed = inkRows(qm::reports::renderPage(*report, 0, 100));
    QVERIFY2(sameInkRows(rows, previewed), qPrintable("printed  " + rows + "\npreviewed " + previewed));
  }

  // A table text may be twenty characters, wider than its column: it is cut where the next column
  // begins (the last one at the band's right edge) instead of printing over its neighbour, on
  // screen as on paper. The exports keep it whole (exportBytes).
  void longTextsStayInTheirColumns() {
    ReadingTable table;
    const char* const wide = "WWWWWWWWWWWWWWWWWWWW";
    table.appendAdded(rowOf(1, at(9, 0, 0), "1", wide));
    table.appendAdded(rowOf(2, at(9, 0, 1), "2", "M\xA6\xB8", {}, wide));
    const auto report = reportOf(ReportKind::Data, &table);
    const QImage page = qm::reports::renderPage(*report, 0, 200);
    const double pixelsPerTenth = page.width() / 2100.0;
    const auto inkBetween = [&](const qm::reports::PlacedText& text, double fromTenths, double toTenths) {
      for (int y = static_cast<int>(text.top * pixelsPerTenth); y < static_cast<int>((text.top + 40) * pixelsPerTenth); ++y) {
        for (int x = static_cast<int>(fromTenths * pixelsPerTenth); x < std::min<int>(page.width(), static_cast<int>(toTenths * pixelsPerTenth)); ++x) {
          if (isInk(page.pixel(x, y))) {
            return true;
          }
        }
      }
      return false;
    };
    const PageContent content = report->pageContent(0);
    std::vector<const qm::reports::PlacedText*> wideTexts;
    for (const qm::reports::PlacedText& text : content.texts) {
      if (text.text == QLatin1String(wide)) {
        wideTexts.push_back(&text);
      }
    }
    QCOMPARE(wideTexts.size(), std::size_t{2});
    // The unit, from 109.5 mm on the paper, up to the function column at 133.8 mm.
    QVERIFY(inkBetween(*wideTexts[0], 1095, 1300));
    QVERIFY(!inkBetween(*wideTexts[0], 1333, 2100));
    // The remark, from 174 mm, up to the band's right edge at 200 mm.
    QVERIFY(inkBetween(*wideTexts[1], 1740, 1950));
    QVERIFY(!inkBetween(*wideTexts[1], 2000, 2100));
  }

  // A long save lets the window work between its progress reports: rows logged, a Clear All and a
  // deleted row meanwhile change nothing in the file, which holds the report's rows.
  void tableChangesDuringSave() {
    ReadingTable table;
    appendLog(table, 200'000);
    table.deleteRow(5);
    const auto report = reportOf(ReportKind::Data, &table);
    QTemporaryDir dir;
    const QString path = dir.filePath("r.csv");
    int calls = 0;
    const ExportOutcome outcome = saveReport(*report, path, ExportFormat::Csv, [&](std::uint64_t, std::uint64_t) {
      switch (++calls) {
        case 2: appendLog(table, 1000, 500'000); break;
        case 3: table.deleteRow(100'000); break;
        case 4: table.clear(); break;
      }
      return true;
    });
    QVERIFY(outcome.written());
    QVERIFY(calls > 4);
    const QList<QByteArray> lines = readAll(path).split('\n');
    QCOMPARE(lines.size(), 1 + 199'999 + 1);
    QCOMPARE(lines[5], QByteArray("5,08:00:02,4,M\xCE\xA9,IR:500V 20G\xCE\xA9,Continuous\r"));
    QCOMPARE(lines[6], QByteArray("7,08:00:03,6,M\xCE\xA9,IR:500V 20G\xCE\xA9,Continuous\r"));
    QCOMPARE(lines[100'001], QByteArray("100002,21:53:20,1,M\xCE\xA9,IR:500V 20G\xCE\xA9,Continuous\r"));
    QCOMPARE(lines[199'999], QByteArray("200000,11:46:39,9999,M\xCE\xA9,IR:500V 20G\xCE\xA9,Continuous\r"));
  }

  // A save that fails or is cancelled leaves the previous file as it was, and nothing beside it.
  void failedAndCancelledSaves() {
    ReadingTable table;
    appendLog(table, 200'000);
    const auto report = reportOf(ReportKind::Data, &table);
    QTemporaryDir dir;
    for (const char* name : {"r.csv", "r.txt", "r.html", "r.pdf"}) {
      const QString path = dir.filePath(name);
      writeFile(path, "previous contents");
      std::uint64_t calls = 0;
      const ExportOutcome cancelled = saveReport(*report, path, *qm::reports::exportFormatForFileName(path),
                                                 [&calls](std::uint64_t done, std::uint64_t total) {
                                                   ++calls;
                                                   return done < total / 2;
                                                 });
      QCOMPARE(int(cancelled.status), int(ExportOutcome::Status::Cancelled));
      QVERIFY2(calls > 2, name);
      QCOMPARE(readAll(path), QByteArray("previous contents"));
    }
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files).size(), 4);

    const QString missingFolder = dir.filePath("none/r.csv");
    const ExportOutcome failed = saveReport(*report, missingFolder, ExportFormat::Csv);
    QCOMPARE(int(failed.status), int(ExportOutcome::Status::Failed));
    QVERIFY2(failed.message.startsWith("Cannot write \"" + missingFolder + "\": "), qPrintable(failed.message));
    QVERIFY(!QFileInfo::exists(missingFolder));
  }
};

QTEST_MAIN(TestReportExports)
#include "tst_report_exports.moc"
