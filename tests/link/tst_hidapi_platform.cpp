#include "link/hidapi_platform.h"
#include "link/report_descriptor.h"

#include <QtTest>

using qm::link::parseReportDescriptor;

Q_DECLARE_METATYPE(std::optional<qm::link::ReportLengths>)

namespace {

std::optional<qm::link::ReportLengths> parse(const QByteArray& hex) {
  const QByteArray bytes = QByteArray::fromHex(hex);
  return parseReportDescriptor(std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())));
}

}  // namespace

class TestHidapiPlatform : public QObject {
  Q_OBJECT

private slots:
  void reportLengths_data() {
    QTest::addColumn<QByteArray>("descriptor");
    QTest::addColumn<int>("input");
    QTest::addColumn<int>("feature");
    QTest::addColumn<bool>("numbered");
    // The meter's cable: vendor page, 8 input bytes, 9 feature bytes, no report IDs.
    const QByteArray cable = "0600FF 0901 A101 "
                             "1500 26FF00 7508 9508 0901 8102 "
                             "9509 0901 B102 "
                             "C0";
    QTest::newRow("the cable") << cable << 9 << 10 << false;
    QTest::newRow("numbered reports: the longest counts")
        << QByteArray("0600FF 0901 A101 7508 8501 9504 0901 8102 8502 9510 0901 8102 C0") << 17 << 0 << true;
    QTest::newRow("push and pop restore the globals")
        << QByteArray("7508 9502 A4 7510 9504 0901 8102 B4 0901 8102") << 11 << 0 << false;
    QTest::newRow("bits round up to bytes") << QByteArray("7501 9503 8102") << 2 << 0 << false;
    QTest::newRow("long items are skipped") << QByteArray("FE0210AABB 7508 9501 8102") << 2 << 0 << false;
  }
  void reportLengths() {
    QFETCH(QByteArray, descriptor);
    QFETCH(int, input);
    QFETCH(int, feature);
    QFETCH(bool, numbered);
    const auto lengths = parse(descriptor.replace(" ", ""));
    QVERIFY(lengths);
    QCOMPARE(lengths->input, input);
    QCOMPARE(lengths->feature, feature);
    QCOMPARE(lengths->usesReportIds, numbered);
  }

  void badDescriptors_data() {
    QTest::addColumn<QByteArray>("descriptor");
    QTest::newRow("empty") << QByteArray();
    QTest::newRow("truncated data") << QByteArray("7508 95");
    QTest::newRow("truncated four-byte item") << QByteArray("270000");
    QTest::newRow("pop without push") << QByteArray("B4");
    QTest::newRow("report ID 0") << QByteArray("8500");
    QTest::newRow("truncated long item") << QByteArray("FE05");
    QTest::newRow("long item beyond the end") << QByteArray("FE0510AA");
  }
  void badDescriptors() {
    QFETCH(QByteArray, descriptor);
    QVERIFY(!parse(descriptor.replace(" ", "")));
  }

  // This machine may have no HID devices at all; the services still answer sensibly.
  void servicesOnThisMachine() {
    qm::link::HidapiPlatform platform;
    QVERIFY(platform.servicesPresent());
    QVERIFY(platform.presentInterfaces().has_value());
    std::uint32_t error = 0;
    QVERIFY(!platform.open("/dev/hidraw-none", qm::link::OpenMode::ReadWrite, error));
    QVERIFY(error != 0);
    QVERIFY(!platform.errorMessage(error).empty());
    QVERIFY(!platform.open("/dev/hidraw-none", qm::link::OpenMode::QueryOnly, error));
    QCOMPARE(error, platform.deviceNotConnectedError());
    platform.watchDeviceChanges([] {});
    platform.watchDeviceChanges({});
  }
};

QTEST_GUILESS_MAIN(TestHidapiPlatform)
#include "tst_hidapi_platform.moc"
