// The trend chart as the user meets it: fed by a reading table, paged and navigated with its own
// buttons, typed into, enlarged and restored in a window, and saved as bitmap files.

#include "chart/trend_chart_view.h"
#include "log/reading_table.h"

#include <QAbstractButton>
#include <QAreaSeries>
#include <QChartView>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QValueAxis>
#include <QtTest>

#include <memory>

using qm::chart::TrendChartView;
using qm::log::ReadingTable;
using qm::log::RowFields;

namespace {

RowFields reading(std::int32_t no, std::string_view value) {
  RowFields fields;
  fields.No = no;
  fields.Time = 1000 * no;
  fields.text(qm::log::TextField::Value) = value;
  return fields;
}

QList<QPointF> pointsOf(const TrendChartView& chart) {
  QList<QPointF> points;
  for (std::size_t i = 0; i < chart.points().size(); ++i) {
    points.append({static_cast<double>(chart.points().at(i).x), chart.points().at(i).y});
  }
  return points;
}

// What the visible series draws now.
QList<QPointF> drawnPoints(const TrendChartView& chart) {
  for (QAbstractSeries* series : chart.findChild<QChartView*>()->chart()->series()) {
    if (series->isVisible()) {
      if (auto* area = qobject_cast<QAreaSeries*>(series)) {
        return area->upperSeries()->points();
      }
      return qobject_cast<QLineSeries*>(series)->points();
    }
  }
  return {};
}

struct BitmapHeader {
  QByteArray magic;
  quint32 fileSize = 0;
  qint32 width = 0;
  qint32 height = 0;
};

BitmapHeader readBitmapHeader(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return {};
  }
  const QByteArray bytes = file.read(26);
  const auto little = [&bytes](int at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
  return {bytes.left(2), little(2), static_cast<qint32>(little(18)), static_cast<qint32>(little(22))};
}

// Sizes a shown window so that its outer frame, which the chart's enlargement reads, has `outer`.
void setOuterSize(QWidget& window, QSize outer) {
  window.resize(outer - (window.frameGeometry().size() - window.size()));
}

// A window around a chart, as the main window holds it, with the chart's messages collected.
class ChartFixture {
public:
  ChartFixture() : window_(std::make_unique<QWidget>()) {
    window_->resize(619, 548);
    chart_ = new TrendChartView(window_.get());
    chart_->setGeometry(18, 300, 361, 209);
    chart_->setPrompts({[this](const QString& text) { information_.append(text); },
                       [this](const QString& text) { errors_.append(text); }});
    chart_->setSnapshotFolder(folder_.path() + QLatin1Char('/'));
  }

  TrendChartView& chart() { return *chart_; }
  QWidget& window() { return *window_; }
  template <typename Widget = QWidget>
  Widget* control(const char* name) const {
    return chart_->findChild<Widget*>(QLatin1String(name));
  }
  QString folder() const { return folder_.path() + QLatin1Char('/'); }
  QStringList takeInformation() { return std::exchange(information_, {}); }
  QStringList takeErrors() { return std::exchange(errors_, {}); }

private:
  std::unique_ptr<QWidget> window_;
  TrendChartView* chart_ = nullptr;
  QTemporaryDir folder_;
  QStringList information_;
  QStringList errors_;
};

}  // namespace

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

QTEST_MAIN(TestTrendChartView)
#include "tst_trend_chart_view.moc"
