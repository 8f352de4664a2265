#include "link/report_reassembler.h"

#include <QtTest>

using qm::link::ReportReassembler;

namespace {

// A 22-byte frame that ends in CR LF, as hex bytes.
const QByteArray kFrame = QByteArray::fromHex("FFFFF3007A7DFD7D7A1007FDB7368DB7D7DFD1F90D0A");

QList<QByteArray> reportsOf(const QStringList& hexReports) {
  QList<QByteArray> reports;
  for (const QString& hex : hexReports) {
    reports.append(QByteArray::fromHex(hex.toLatin1()));
  }
  return reports;
}

// The frame cut into count-byte reports of the given sizes.
QStringList payloadReports(const QByteArray& bytes, const QList<int>& counts) {
  QStringList reports;
  qsizetype at = 0;
  for (const int count : counts) {
    reports << QString("F%1").arg(count) + QString::fromLatin1(bytes.mid(at, count).toHex()) ;
    at += count;
  }
  return reports;
}

}  // namespace

class TestReportReassembler : public QObject {
  Q_OBJECT

private slots:
  void reports_data() {
    QTest::addColumn<QStringList>("reports");
    QTest::addColumn<QStringList>("frames");
    QTest::addColumn<QString>("frameHexAfter");
    QTest::addColumn<int>("emptyReportCount");

    const QString frameText = QString::fromLatin1(kFrame.toHex().toUpper());
    QByteArray broken = kFrame;
    broken[21] = 0x0B;

    QTest::newRow("7 7 7 1 then empty") << (payloadReports(kFrame, {7, 7, 7, 1}) << "F0") << QStringList{frameText} << "" << 1;
    QTest::newRow("no CR LF is dropped") << (payloadReports(broken, {7, 7, 7, 1}) << "F0") << QStringList{} << "" << 1;
    QTest::newRow("short frame is dropped") << (payloadReports(kFrame.left(21), {7, 7, 7}) << "00") << QStringList{} << "" << 1;
    QTest::newRow("frame waits for the empty report") << payloadReports(kFrame, {7, 7, 7, 1}) << QStringList{} << frameText << 0;
    QTest::newRow("high nibble ignored") << QStringList{"F3AABBCCDD"} << QStringList{} << "AABBCC" << 0;
    QTest::newRow("count 0A is no payload") << QStringList{"F2AABB", "0AAABB"} << QStringList{} << "" << 1;
    QTest::newRow("eight empty reports") << QStringList{"F0", "00", "FF", "FA", "F0", "F0", "F0", "F0"} << QStringList{} << "" << 8;
    QTest::newRow("payload resets the count") << QStringList{"F0", "F0", "F1AB"} << QStringList{} << "AB" << 0;
    QTest::newRow("empty data ends a frame uncounted")
        << (payloadReports(kFrame, {7, 7, 7, 1}) << "") << QStringList{frameText} << "" << 0;
    QTest::newRow("count beyond the report") << QStringList{"F9" "01020304050607"} << QStringList{} << "01020304050607" << 0;
    QTest::newRow("two frames glued")
        << (payloadReports(kFrame + kFrame, {7, 7, 7, 7, 7, 7, 2}) << "F0") << QStringList{frameText + frameText} << "" << 1;
    QTest::newRow("count 9 in a long report") << QStringList{"F9" "010203040506070809FF"} << QStringList{} << "010203040506070809" << 0;
  }
  void reports() {
    QFETCH(QStringList, reports);
    QFETCH(QStringList, frames);
    QFETCH(QString, frameHexAfter);
    QFETCH(int, emptyReportCount);
    QStringList decoded;
    ReportReassembler reassembler([&](std::string_view text) { decoded << QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); });
    for (const QByteArray& report : reportsOf(reports)) {
      reassembler.addReport(0, reinterpret_cast<const std::uint8_t*>(report.constData()), static_cast<std::uint16_t>(report.size()));
    }
    QCOMPARE(decoded, frames);
    QCOMPARE(QString::fromLatin1(reassembler.frameHex().data(), static_cast<qsizetype>(reassembler.frameHex().size())), frameHexAfter);
    QCOMPARE(reassembler.emptyReportCount(), emptyReportCount);
    QCOMPARE(reassembler.frameInProgress(), !frameHexAfter.isEmpty());
  }

  // A cable that never pauses cannot make the collected text grow without end; the frame is
  // still judged by its bytes 21 and 22.
  void endlessPayloadIsBounded() {
    int decoded = 0;
    ReportReassembler reassembler([&](std::string_view text) {
      ++decoded;
      QCOMPARE(text.size(), ReportReassembler::kMaxFrameHex);
    });
    const QByteArray first = QByteArray::fromHex("F7") + kFrame.left(7);
    const QByteArray middle = QByteArray::fromHex("F7") + kFrame.mid(7, 7);
    const QByteArray last = QByteArray::fromHex("F8") + kFrame.mid(14, 8);
    for (const QByteArray& report : {first, middle, last}) {
      reassembler.addReport(0, reinterpret_cast<const std::uint8_t*>(report.constData()), static_cast<std::uint16_t>(report.size()));
    }
    const std::uint8_t filler[] = {0xF7, 1, 2, 3, 4, 5, 6, 7};
    for (int i = 0; i < 100000; ++i) {
      reassembler.addReport(0, filler, sizeof filler);
    }
    QCOMPARE(reassembler.frameHex().size(), ReportReassembler::kMaxFrameHex);
    const std::uint8_t idle[] = {0xF0};
    reassembler.addReport(0, idle, sizeof idle);
    QCOMPARE(decoded, 1);
  }
};

QTEST_APPLESS_MAIN(TestReportReassembler)
#include "tst_report_reassembler.moc"
