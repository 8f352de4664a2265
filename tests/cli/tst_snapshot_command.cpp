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
    qm::log::ReadingTable table;
    const char* values[] = {"100", "200", "L", "300", "400"};
    for (std::int32_t no = 1; no <= 5; ++no) {
      qm::log::RowFields fields;
      fields.No = no;
      fields.Time = no * 1000;
      fields.text(qm::log::TextField::Value) = values[no - 1];
      table.appendAdded(fields);
    }
    tableFile_ = path("table.txt");
    QVERIFY(qm::log::saveTableToFile(table, tableFile_, qm::log::TimeOfDayFormat::systemLongTime()).ok);
  }

  void writesThePicture_data() {
    QTest::addColumn<QStringList>("options");
    QTest::addColumn<QString>("said");
    QTest::newRow("first page") << QStringList() << "page 1 of 1, 4 points";
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
    QTest::newRow("no table file") << QStringList{"MISSING", "OUT"} << 1 << "MISSING";
    QTest::newRow("no picture folder") << QStringList{"TABLE", "NOFOLDER"} << 1 << "does not exist";
  }
  void refusals() {
    QFETCH(QStringList, args);
    args.replaceInStrings(QStringLiteral("TABLE"), tableFile_);
    args.replaceInStrings(QStringLiteral("MISSING"), path("missing.txt"));
    args.replaceInStrings(QStringLiteral("NOFOLDER"), path("none/chart.bmp"));
    args.replaceInStrings(QStringLiteral("OUT"), path("refused.bmp"));
    const Run run = snapshot(args);
    QTEST(run.status, "status");
    QFETCH(QString, said);
    QVERIFY2(run.err.contains(said.replace(QStringLiteral("MISSING"), path("missing.txt"))), qPrintable(run.err));
    QCOMPARE(run.out, QString());
    QVERIFY(!QFileInfo::exists(path("refused.bmp")));
  }
};

QTEST_MAIN(TestSnapshotCommand)
#include "tst_snapshot_command.moc"
