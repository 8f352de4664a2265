// The trend chart's snapshots as the user saves them: a page or the whole run as a bitmap file
// named by the clock and the page caption, of the chart's size, without its toolbar.

#include "chart_fixture.h"

#include <QAbstractButton>
#include <QLineEdit>

using namespace chart_test;
using qm::log::ReadingTable;

class TestChartSnapshots : public QObject {
  Q_OBJECT

private slots:
  void pageSnapshotNamesFromTheClock_data() {
    QTest::addColumn<QDateTime>("at");
    QTest::addColumn<QString>("name");
    QTest::newRow("afternoon") << QDateTime(QDate(2024, 12, 24), QTime(15, 30, 59)) << "2412241530page1.bmp";
    QTest::newRow("23:59 at a month's end") << QDateTime(QDate(2025, 6, 30), QTime(23, 59)) << "2506302359page1.bmp";
    QTest::newRow("a minute later") << QDateTime(QDate(2025, 7, 1), QTime(0, 0)) << "2507010000page1.bmp";
    QTest::newRow("new year") << QDateTime(QDate(2000, 1, 1), QTime(0, 0)) << "0001010000page1.bmp";
  }
  void pageSnapshotNamesFromTheClock() {
    QFETCH(QDateTime, at);
    QFETCH(QString, name);
    ChartFixture fixture;
    fixture.chart().setClock([at] { return at; });
    fixture.control<QAbstractButton>("BtSave")->click();
    const QString path = QDir::toNativeSeparators(fixture.folder() + name);
    QCOMPARE(fixture.takeInformation(), QStringList{"graphic has saved on " + path});
    QCOMPARE(fixture.takeErrors(), QStringList());
    const BitmapHeader header = readBitmapHeader(path);
    QCOMPARE(header.magic, QByteArray("BM"));
    QCOMPARE(header.fileSize, static_cast<quint32>(QFileInfo(path).size()));
    QCOMPARE(header.width, 361);
    QCOMPARE(header.height, 209);
  }

  void snapshotsNameThePageCaption() {
    ChartFixture fixture;
    ReadingTable table;
    for (int no = 1; no <= 150; ++no) {
      table.appendAdded(reading(no, "1"));
    }
    fixture.chart().followTable(table, ".");
    const QDateTime at(QDate(2024, 12, 24), QTime(15, 30));
    fixture.chart().setClock([at] { return at; });
    fixture.chart().savePageSnapshot();
    fixture.chart().savePageSnapshot();  // the same minute and page: replaced
    fixture.chart().goToNextPage();
    fixture.chart().savePageSnapshot();
    QCOMPARE(QDir(fixture.folder()).entryList(QDir::Files),
             (QStringList{"2412241530page1.bmp", "2412241530page2.bmp"}));
  }

  void enlargedChartGivesLargerPictureWithoutToolbar() {
    ChartFixture fixture;
    fixture.window().show();
    QVERIFY(QTest::qWaitForWindowExposed(&fixture.window()));
    setOuterSize(fixture.window(), {631, 548});
    QTest::mouseClick(fixture.control("TbFd"), Qt::LeftButton);
    const QImage picture = fixture.chart().picture();
    QCOMPARE(picture.size(), QSize(619, 458));

    // The toolbar controls are not part of the picture: hiding them changes nothing in it.
    for (QWidget* control : fixture.chart().findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly)) {
      if (!qobject_cast<QChartView*>(control)) {
        control->hide();
      }
    }
    QCOMPARE(fixture.chart().picture(), picture);
  }

  void wholeSnapshot_data() {
    QTest::addColumn<int>("nextRecordNo");
    QTest::newRow("logged readings") << 251;
    QTest::newRow("rows of a text load, which nextRecordNo does not count") << 1;
    QTest::newRow("fewer points than logged") << 400;
  }
  void wholeSnapshot() {
    QFETCH(int, nextRecordNo);
    ChartFixture fixture;
    ReadingTable table;
    for (int no = 1; no <= 250; ++no) {
      table.appendAdded(reading(no, "1"));
    }
    fixture.chart().followTable(table, ".");
    fixture.chart().setNextRecordNoSource([nextRecordNo] { return nextRecordNo; });
    fixture.chart().setClock([] { return QDateTime(QDate(2024, 12, 24), QTime(15, 30)); });
    fixture.chart().goToLastPage();
    // While the confirmation shows, the chart still shows what the picture holds.
    QString confirmation;
    qsizetype pointsInPicture = 0;
    fixture.chart().setPrompts({[&](const QString& text) {
                                  confirmation = text;
                                  pointsInPicture = drawnPoints(fixture.chart()).size();
                                },
                                [](const QString& text) { QFAIL(qPrintable(text)); }});

    fixture.chart().saveWholeSnapshot();
    const QString path = QDir::toNativeSeparators(fixture.folder() + "2412241530Fullpage.bmp");
    QCOMPARE(confirmation, "graphic has saved on " + path);
    QVERIFY(QFileInfo::exists(path));
    QCOMPARE(pointsInPicture, 250);
    // Then the box's page size is back, with the page where the whole-chart page left it and the
    // caption untouched.
    QCOMPARE(fixture.chart().pageSize(), 100);
    QCOMPARE(fixture.chart().pager().page(), std::size_t{1});
    QCOMPARE(fixture.control<QAbstractButton>("Bt10")->text(), QStringLiteral("3"));
  }

  void wholeSnapshotFailures() {
    ChartFixture fixture;
    fixture.chart().setNextRecordNoSource([] { return 1; });
    fixture.chart().setClock([] { return QDateTime(QDate(2024, 12, 24), QTime(15, 30)); });
    const QString missing = fixture.folder() + "TestGraph/";
    fixture.chart().setSnapshotFolder(missing);

    // No folder: the error names it, nothing is confirmed, and the page size comes back.
    fixture.chart().saveWholeSnapshot();
    QCOMPARE(fixture.takeInformation(), QStringList());
    const QStringList errors = fixture.takeErrors();
    QCOMPARE(errors.size(), 1);
    QVERIFY2(errors.first().contains(QDir::toNativeSeparators(missing + "2412241530Fullpage.bmp")), qPrintable(errors.first()));
    QVERIFY2(errors.first().contains("\"" + QDir::toNativeSeparators(fixture.folder() + "TestGraph") + "\" does not exist"),
             qPrintable(errors.first()));
    QCOMPARE(fixture.chart().pageSize(), 100);
    QVERIFY(!QFileInfo::exists(missing));

    // An emptied page-size box: the conversion error, and the whole-chart page size stays.
    fixture.chart().setSnapshotFolder(fixture.folder());
    fixture.control<QLineEdit>("Maxrecord")->clear();
    QCOMPARE(fixture.takeErrors(), QStringList{"'' is not a valid integer value"});
    fixture.chart().saveWholeSnapshot();
    QCOMPARE(fixture.takeInformation().size(), 1);
    QCOMPARE(fixture.takeErrors(), QStringList{"'' is not a valid integer value"});
    QCOMPARE(fixture.chart().pageSize(), 1);
  }
};

QTEST_MAIN(TestChartSnapshots)
#include "tst_chart_snapshots.moc"
