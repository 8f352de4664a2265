// qm-cli snapshot: a table file in, the chart's picture of it out, and clear refusals of bad
// arguments and files.

#include "cli/snapshot_command.h"
#include "log/table_files.h"

#include <QtTest>

#include <sstream>

namespace {

struct Run {
  int status;
  QString out;
  QString err;
};

Run snapshot(const QStringList& args) {
  std::vector<std::string> arguments;
  for (const QString& arg : args) {
    arguments.push_back(arg.toStdString());
  }
  std::ostringstream out;
  std::ostringstream err;
  const int status = qm::cli::runSnapshot(arguments, out, err);
  return {status, QString::fromStdString(out.str()), QString::fromStdString(err.str())};
}

// Pixels of the picture near `colour`.
int pixelsNear(const QImage& picture, const QColor& colour) {
  int count = 0;
  for (int y = 0; y < picture.height(); ++y) {
    for (int x = 0; x < picture.width(); ++x) {
      const QColor pixel = picture.pixelColor(x, y);
      count += std::abs(pixel.red() - colour.red()) + std::abs(pixel.green() - colour.green()) +
                           std::abs(pixel.blue() - colour.blue()) <
                       40
                   ? 1
                   : 0;
    }
  }
  return count;
}

// The chart's two series: the filled area (yellow under a blue edge) and the plain green line.
const QColor kAreaFill(255, 255, 128);
const QColor kLinePen(128, 255, 0);

// Saves a table of readings with these values, as Save As does.
bool saveValues(const std::vector<const char*>& values, const QString& file) {
  qm::log::ReadingTable table;
  for (std::size_t i = 0; i < values.size(); ++i) {
    qm::log::RowFields fields;
    fields.No = static_cast<std::int32_t>(i + 1);
    fields.Time = static_cast<std::int32_t>(i + 1) * 1000;
    fields.text(qm::log::TextField::Value) = values[i];
    table.appendAdded(fields);
  }
  return qm::log::saveTableToFile(table, file, qm::log::TimeOfDayFormat::systemLongTime()).ok;
}

}  // namespace

class TestSnapshotCommand : public QObject {
  Q_OBJECT

private:
  QTemporaryDir folder_;
  QString tableFile_;

  QString path(const char* name) const { return folder_.filePath(QLatin1String(name)); }

private slots:
  void initTestCase() {
    // Five readings, one of them the meter's "L", saved as Save As does.
    tableFile_ = path("table.txt");
    QVERIFY(saveValues({"1000", "5000", "L", "8000", "10000"}, tableFile_));
    QFile bad(path("bad.txt"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("No\tTime\r\n1\t12:00:00\r\nx\t12:00:01\r\n");
  }

  void writesThePicture_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("said");
    QTest::newRow("first page") << QStringList() << "page 1 of 1, 4 points in the chart, 1 of 5 rows gave no point";
    QTest::newRow("a page of two") << QStringList{"--page-size", "2", "--page", "2"} << "page 2 of 2, 4 points";
    QTest::newRow("all on one page") << QStringList{"--page-size", "0"} << "page 1 of 1, 4 points";
    QTest::newRow("whole") << QStringList{"--whole"} << "page 1 of 1, 4 points";
  }
  void writesThePicture() {
    QFETCH(QStringList, options);
    const QString picture = path("chart.bmp");
    QFile::remove(picture);
    const Run run = snapshot(QStringList{tableFile_, picture} + options);
    QCOMPARE(run.err, QString());
    QCOMPARE(run.status, 0);
    QFETCH(QString, said);
    QVERIFY2(run.out.contains(said), qPrintable(run.out));
    const QImage written(picture, "BMP");
    QCOMPARE(written.size(), QSize(361, 209));
    // As the window's snapshots: the filled area alone, no line drawn over it.
    QVERIFY2(pixelsNear(written, kAreaFill) > 200, qPrintable(QString::number(pixelsNear(written, kAreaFill))));
    QCOMPARE(pixelsNear(written, kLinePen), 0);
  }

  // A table written where "." is the separator, read where it is not: the separator can be given,
  // and a table none of whose rows gives a point is said to be so.
  void decimalSeparator_data() {
    QTest::addColumn<QString>("separator");
    QTest::addColumn<QString>("said");
    QTest::addColumn<bool>("warned");
    QTest::newRow("the table's own") << "." << "3 points in the chart, 0 of 3 rows gave no point" << false;
    QTest::newRow("another one") << "," << "0 points in the chart, 3 of 3 rows gave no point" << true;
  }
  void decimalSeparator() {
    QFETCH(QString, separator);
    const QString tableFile = path("decimal.txt");
    QVERIFY(saveValues({"1.5", "2.5", "3.5"}, tableFile));
    const Run run = snapshot({tableFile, path("decimal.bmp"), "--decimal-separator", separator});
    QCOMPARE(run.status, 0);
    QFETCH(QString, said);
    QVERIFY2(run.out.contains(said), qPrintable(run.out));
    QTEST(run.err.contains("--decimal-separator"), "warned");
  }

  void refusals_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("said");
    QTest::newRow("no files") << QStringList() << 2 << "expected a table file and a picture file";
    QTest::newRow("one file") << QStringList{"TABLE"} << 2 << "expected a table file and a picture file";
    QTest::newRow("page 0") << QStringList{"TABLE", "OUT", "--page", "0"} << 2 << "--page needs a whole number from 1";
    QTest::newRow("page without number") << QStringList{"TABLE", "OUT", "--page"} << 2 << "--page needs";
    QTest::newRow("negative page size") << QStringList{"TABLE", "OUT", "--page-size", "-1"} << 2
                                        << "--page-size needs a whole number from 0";
    QTest::newRow("whole with a page") << QStringList{"TABLE", "OUT", "--whole", "--page", "1"} << 2
                                       << "--whole puts every point on one page";
    QTest::newRow("unknown option") << QStringList{"TABLE", "OUT", "--fast"} << 2 << "unknown option '--fast'";
    QTest::newRow("past the last page") << QStringList{"TABLE", "OUT", "--page", "3", "--page-size", "2"} << 2
                                        << "--page 3 is past the last page, 2";
    QTest::newRow("no table file") << QStringList{"MISSING", "OUT"} << 1
                                   << "qm-cli snapshot: MISSING: the file cannot be opened: No such file or directory\n";
    QTest::newRow("table file with a bad line") << QStringList{"BAD", "OUT"} << 1
                                                << "qm-cli snapshot: BAD: line 3: \"x\" is not a record number (No)";
    QTest::newRow("no picture folder") << QStringList{"TABLE", "NOFOLDER"} << 1 << "does not exist";
  }
  void refusals() {
    QFETCH(QStringList, args);
    args.replaceInStrings(QStringLiteral("TABLE"), tableFile_);
    args.replaceInStrings(QStringLiteral("MISSING"), path("missing.txt"));
    args.replaceInStrings(QStringLiteral("BAD"), path("bad.txt"));
    args.replaceInStrings(QStringLiteral("NOFOLDER"), path("none/chart.bmp"));
    args.replaceInStrings(QStringLiteral("OUT"), path("refused.bmp"));
    const Run run = snapshot(args);
    QTEST(run.status, "status");
    QFETCH(QString, said);
    said.replace(QStringLiteral("MISSING"), path("missing.txt")).replace(QStringLiteral("BAD"), path("bad.txt"));
    QVERIFY2(run.err.contains(said), qPrintable(run.err));
    QCOMPARE(run.out, QString());
    QVERIFY(!QFileInfo::exists(path("refused.bmp")));
  }
};

QTEST_MAIN(TestSnapshotCommand)
#include "tst_snapshot_command.moc"
