#include "link/hidapi_platform.h"
#include "link/report_descriptor.h"

#include <QCoreApplication>
#include <QDir>
#include <QTest>

#include <algorithm>
#include <cerrno>
#include <map>
#include <string>

using qm::link::HidapiPlatform;
using qm::link::HidInterface;
using qm::link::HidStringBuffer;
using qm::link::kHidStringUnits;
using qm::link::OpenMode;
using qm::link::ReadOutcome;

Q_DECLARE_METATYPE(OpenMode)
Q_DECLARE_METATYPE(std::wstring)
Q_DECLARE_METATYPE(std::u16string)

namespace {

// Descriptors are written as hex text, one item per group, as a descriptor tool would print them.
std::optional<qm::link::ReportLengths> parse(const QByteArray& hex) {
  const QByteArray bytes = QByteArray::fromHex(hex);
  return qm::link::parseReportDescriptor(
      std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(bytes.size())));
}

// The meter cable: one unnumbered vendor-defined collection, 8 bytes in, 9 bytes of feature.
const QByteArray kCable =
    "06 00 FF  09 01  A1 01"        // Usage Page (vendor 0xFF00), Usage (1), Collection (Application)
    "15 00  26 FF 00  75 08"        // Logical 0..255, Report Size (8)
    "95 08  09 01  81 02"           // Report Count (8), Usage, Input (Data,Var,Abs)
    "95 09  09 01  B1 02"           // Report Count (9), Usage, Feature (Data,Var,Abs)
    "C0";                           // End Collection

// Something that is not this program's: every call on it must fail quietly.
class ForeignHandle final : public qm::link::HidHandle {};

constexpr char16_t kUntouched = u'\xAAAA';

HidStringBuffer prefilled() {
  HidStringBuffer buffer;
  buffer.fill(kUntouched);
  return buffer;
}

}  // namespace

class TestHidapiPlatform : public QObject {
  Q_OBJECT

private slots:
  void descriptorLengths_data();
  void descriptorLengths();
  void badDescriptorsAreRefused_data();
  void badDescriptorsAreRefused();
  void everyCutOfADescriptorIsRefused();

  void hidStringConversion_data();
  void hidStringConversion();

  void listsTheDevicesPresent();
  void openFailsWithAReason_data();
  void openFailsWithAReason();
  void foreignHandleIsRefused();
  void errorMessagesAreText_data();
  void errorMessagesAreText();
  void watchStartsReplacesAndStops();
};

void TestHidapiPlatform::descriptorLengths_data() {
  QTest::addColumn<QByteArray>("descriptor");
  QTest::addColumn<int>("input");
  QTest::addColumn<int>("output");
  QTest::addColumn<int>("feature");
  QTest::addColumn<bool>("usesReportIds");

  QTest::newRow("meter cable: ID byte counted without report IDs") << kCable << 9 << 0 << 10 << false;

  // Report 1 is the largest only once its items, spread over two collections, are added up; it
  // is neither the first nor the last report declared.
  QTest::newRow("numbered reports: the largest counts, its items summed")
      << QByteArray("05 01  09 00  A1 01"
                    "85 02  75 08  95 10  81 02"  // ID 2: 16 bytes in
                    "85 01  75 01  95 03  81 02"  // ID 1: 3 bits in
                    "95 05  75 08  B1 02"         // ID 1: 5 bytes of feature
                    "A1 00  95 12  81 02  C0"     // ID 1: 18 more bytes in, inner collection
                    "85 03  95 01  81 02"         // ID 3: 1 byte in
                    "C0")
      << 20 << 0 << 6 << true;

  // Bits pack across items; only the whole report is padded. Per-item rounding would give 3.
  QTest::newRow("bits rounded per report, not per item")
      << QByteArray("06 00 FF  09 01  A1 01  75 01  95 03  81 02  75 05  95 01  81 03  C0") << 2 << 0 << 0 << false;

  QTest::newRow("pop restores report size, count and ID")
      << QByteArray("06 00 FF  09 01  A1 01"
                    "85 01  75 08  95 04"
                    "A4  85 02  75 10  95 0A  B1 02  B4"  // ID 2: 20 bytes of feature
                    "81 02"                               // ID 1 again: 4 bytes in
                    "C0")
      << 5 << 0 << 21 << true;

  // The long item's data reads as Report Count (64) if taken for short items.
  QTest::newRow("long item skipped whole")
      << QByteArray("06 00 FF  09 01  A1 01  75 08  95 08  FE 02 00 95 40  81 02  C0") << 9 << 0 << 0 << false;

  QTest::newRow("four-byte item data") << QByteArray("06 00 FF  09 01  A1 01  77 08 00 00 00  97 08 00 00 00  81 02  C0")
                                       << 9 << 0 << 0 << false;

  QTest::newRow("only an output report") << QByteArray("06 00 FF  09 01  A1 01  75 08  95 02  91 02  C0") << 0 << 3 << 0
                                         << false;

  QTest::newRow("collection without reports") << QByteArray("06 00 FF  09 01  A1 01  C0") << 0 << 0 << 0 << false;

  QTest::newRow("largest report that fits") << QByteArray("06 00 FF  09 01  A1 01  75 08  96 FE FF  81 02  C0") << 0xFFFF
                                            << 0 << 0 << false;

  QByteArray deepPush("06 00 FF  09 01  A1 01  75 08  95 02");
  deepPush += QByteArray("A4").repeated(static_cast<int>(qm::link::kMaxPushDepth));
  deepPush += QByteArray("B4").repeated(static_cast<int>(qm::link::kMaxPushDepth));
  deepPush += "81 02  C0";
  QTest::newRow("push as deep as allowed") << deepPush << 3 << 0 << 0 << false;
}

void TestHidapiPlatform::descriptorLengths() {
  QFETCH(QByteArray, descriptor);
  QFETCH(int, input);
  QFETCH(int, output);
  QFETCH(int, feature);
  QFETCH(bool, usesReportIds);

  const auto lengths = parse(descriptor);
  QVERIFY(lengths.has_value());
  QCOMPARE(int{lengths->input}, input);
  QCOMPARE(int{lengths->output}, output);
  QCOMPARE(int{lengths->feature}, feature);
  QCOMPARE(lengths->usesReportIds, usesReportIds);
}

void TestHidapiPlatform::badDescriptorsAreRefused_data() {
  QTest::addColumn<QByteArray>("descriptor");

  // Empty: no collection, so no interface to give a length for (Windows would make none).
  QTest::newRow("empty") << QByteArray();
  QTest::newRow("reports outside any collection") << QByteArray("06 00 FF  75 08  95 08  81 02");
  QTest::newRow("short item cut in its data") << QByteArray("06 00 FF  09 01  A1 01  15 00  26 FF");
  QTest::newRow("four-byte item cut in its data") << QByteArray("06 00 FF  09 01  A1 01  97 08 00 00");
  QTest::newRow("long item cut in its data") << QByteArray("06 00 FF  09 01  A1 01  FE 05 00 AA BB  C0");
  QTest::newRow("long item cut in its header") << QByteArray("06 00 FF  09 01  A1 01  C0  FE 02");
  QTest::newRow("collection left open") << QByteArray("06 00 FF  09 01  A1 01  A1 02  75 08  95 08  81 02  C0");
  QTest::newRow("end collection without collection") << QByteArray("06 00 FF  09 01  A1 01  C0  C0");
  QTest::newRow("pop without push") << QByteArray("06 00 FF  09 01  A1 01  A4  B4  B4  C0");
  QByteArray tooDeep("06 00 FF  09 01  A1 01");
  tooDeep += QByteArray("A4").repeated(static_cast<int>(qm::link::kMaxPushDepth) + 1);
  tooDeep += QByteArray("B4").repeated(static_cast<int>(qm::link::kMaxPushDepth) + 1);
  tooDeep += "C0";
  QTest::newRow("push nested too deep") << tooDeep;
  QTest::newRow("report ID 0") << QByteArray("06 00 FF  09 01  A1 01  85 00  75 08  95 08  81 02  C0");
  QTest::newRow("report ID above 255") << QByteArray("06 00 FF  09 01  A1 01  86 00 01  75 08  95 08  81 02  C0");
  QTest::newRow("unnumbered report before numbered ones")
      << QByteArray("06 00 FF  09 01  A1 01  75 08  95 08  81 02  85 01  81 02  C0");
  QTest::newRow("unnumbered report after popping back before the ID")
      << QByteArray("06 00 FF  09 01  A1 01  75 08  95 08  A4  85 01  81 02  B4  B1 02  C0");
  QTest::newRow("reserved main tag") << QByteArray("06 00 FF  09 01  A1 01  D0  C0");
  QTest::newRow("reserved global tag") << QByteArray("06 00 FF  09 01  A1 01  C4  C0");
  QTest::newRow("reserved item type") << QByteArray("06 00 FF  09 01  A1 01  0D 01  C0");
  QTest::newRow("report one byte too long") << QByteArray("06 00 FF  09 01  A1 01  75 08  96 FF FF  81 02  C0");
  QTest::newRow("report size times count beyond 32 bits")
      << QByteArray("06 00 FF  09 01  A1 01  77 FF FF FF FF  97 FF FF FF FF  81 02  C0");
  QTest::newRow("many items adding up beyond the limit")
      << QByteArray("06 00 FF  09 01  A1 01  75 08  96 00 80") + QByteArray("81 02").repeated(3) + "C0";
}

void TestHidapiPlatform::badDescriptorsAreRefused() {
  QFETCH(QByteArray, descriptor);
  QVERIFY(!parse(descriptor).has_value());
}

// Each of these ends with the End Collection that closes its only top-level collection, so any
// shorter piece of it is either cut inside an item or leaves the collection open.
void TestHidapiPlatform::everyCutOfADescriptorIsRefused() {
  const QList<QByteArray> descriptors{
      kCable,
      "05 01  09 00  A1 01  85 02  75 08  95 14  81 02  85 01  75 01  95 03  81 02  FE 02 00 95 40  C0",
      "06 00 FF  09 01  A1 01  77 08 00 00 00  97 08 00 00 00  A4  81 02  B4  C0",
  };
  for (const QByteArray& hex : descriptors) {
    const QByteArray bytes = QByteArray::fromHex(hex);
    QVERIFY(parse(hex).has_value());
    for (qsizetype length = 0; length < bytes.size(); ++length) {
      const auto cut = qm::link::parseReportDescriptor(
          std::span(reinterpret_cast<const std::uint8_t*>(bytes.constData()), static_cast<std::size_t>(length)));
      QVERIFY2(!cut.has_value(), qPrintable(QStringLiteral("%1 of %2 bytes").arg(length).arg(bytes.size())));
    }
  }
}

void TestHidapiPlatform::hidStringConversion_data() {
  QTest::addColumn<std::wstring>("text");
  QTest::addColumn<std::u16string>("expected");  // what lands in the buffer, terminator excluded

  QTest::newRow("the cable's product") << std::wstring(L"USB to Serial") << std::u16string(u"USB to Serial");
  QTest::newRow("empty") << std::wstring() << std::u16string();
  QTest::newRow("outside the BMP becomes a surrogate pair")
      << std::wstring(L"a\U0001F600b") << std::u16string(u"a\xD83D\xDE00" u"b");
  QTest::newRow("last code point") << std::wstring(L"\U0010FFFF") << std::u16string(u"\xDBFF\xDFFF");
  QTest::newRow("surrogate and out-of-range values are replaced")
      << std::wstring{wchar_t(0xD800), L'x', wchar_t(0x110000), wchar_t(-1)} << std::u16string(u"\xFFFDx\xFFFD\xFFFD");
  QTest::newRow("stops at an embedded terminator") << std::wstring(L"ab\0cd", 5) << std::u16string(u"ab");
  QTest::newRow("exactly fills the buffer")
      << std::wstring(kHidStringUnits, L'x') << std::u16string(kHidStringUnits, u'x');
  QTest::newRow("too long is cut at the end of the buffer")
      << std::wstring(kHidStringUnits + 40, L'x') << std::u16string(kHidStringUnits, u'x');
  // 253 units used: the pair needs two and only one is left, so it is dropped whole.
  QTest::newRow("a pair is never split")
      << std::wstring(kHidStringUnits - 1, L'x') + L"\U0001F600" << std::u16string(kHidStringUnits - 1, u'x');
}

void TestHidapiPlatform::hidStringConversion() {
  QFETCH(std::wstring, text);
  QFETCH(std::u16string, expected);

  HidStringBuffer buffer = prefilled();
  const std::size_t units = qm::link::storeHidString(text, buffer);

  QCOMPARE(units, expected.size());
  QCOMPARE(std::u16string(buffer.data(), units), expected);
  if (units < buffer.size()) {
    QCOMPARE(buffer[units], u'\0');
  }
  for (std::size_t i = units + 1; i < buffer.size(); ++i) {
    QVERIFY2(buffer[i] == kUntouched, qPrintable(QStringLiteral("unit %1 overwritten").arg(i)));
  }
}

// A node hidapi lists once per top-level collection is one interface, in the order listed, with the
// identity its path has; the machine's own list (empty without hidraw nodes) follows the same rule.
void TestHidapiPlatform::listsTheDevicesPresent() {
  const std::vector<std::string> listed = {"/dev/hidraw3", "/dev/hidraw1", "/dev/hidraw3", "/dev/hidraw3",
                                           "/dev/hidraw0"};
  std::vector<std::string> asked;
  const auto instanceOf = [&asked](const std::string& path) {
    asked.push_back(path);
    return static_cast<std::uint32_t>(path.back() - '0') * 100;
  };
  const std::vector<HidInterface> interfaces = qm::link::interfacesOfNodes(listed, instanceOf);
  QCOMPARE(interfaces.size(), std::size_t{3});
  const std::pair<const char*, std::uint32_t> expected[] = {{"/dev/hidraw3", 300}, {"/dev/hidraw1", 100}, {"/dev/hidraw0", 0}};
  for (std::size_t i = 0; i < interfaces.size(); ++i) {
    QCOMPARE(interfaces[i].devicePath, std::string(expected[i].first));
    QCOMPARE(interfaces[i].deviceInstance, expected[i].second);
  }
  QCOMPARE(asked, (std::vector<std::string>{"/dev/hidraw3", "/dev/hidraw1", "/dev/hidraw0"}));

  HidapiPlatform platform;
  QVERIFY(platform.servicesPresent());
  const auto first = platform.presentInterfaces();
  const auto second = platform.presentInterfaces();
  QVERIFY(first.has_value() && second.has_value());
  QCOMPARE(first->size(), second->size());
  for (std::size_t i = 0; i < first->size(); ++i) {
    QCOMPARE((*second)[i].devicePath, (*first)[i].devicePath);
    QCOMPARE((*second)[i].deviceInstance, (*first)[i].deviceInstance);
  }
}

void TestHidapiPlatform::openFailsWithAReason_data() {
  QTest::addColumn<QString>("path");
  QTest::addColumn<OpenMode>("mode");
  QTest::addColumn<int>("expectedError");

  const std::pair<const char*, OpenMode> modes[] = {
      {"read-write", OpenMode::ReadWrite}, {"query-only", OpenMode::QueryOnly}, {"async-read", OpenMode::AsyncRead}};
  for (const auto& [name, mode] : modes) {
    QTest::addRow("missing node, %s", name) << QStringLiteral("/dev/hidraw-not-there") << mode << ENOENT;
    QTest::addRow("empty path, %s", name) << QString() << mode << ENOENT;
    // Nodes that exist but are no HID device: neither an open nor a query may pass for one. hidapi
    // 0.13.1 itself crashes on /dev/null, so this also checks that the backend turns it away first.
    QTest::addRow("not a hidraw node, %s", name) << QStringLiteral("/dev/null") << mode << ENODEV;
    QTest::addRow("a directory, %s", name) << QStringLiteral("/dev") << mode << ENODEV;
  }
}

void TestHidapiPlatform::openFailsWithAReason() {
  QFETCH(QString, path);
  QFETCH(OpenMode, mode);
  QFETCH(int, expectedError);

  HidapiPlatform platform;
  std::uint32_t error = 0;
  const auto handle = platform.open(path.toStdString(), mode, error);
  QVERIFY(handle == nullptr);
  QCOMPARE(error, static_cast<std::uint32_t>(expectedError));
  QVERIFY(!platform.errorMessage(error).empty());
}

void TestHidapiPlatform::foreignHandleIsRefused() {
  HidapiPlatform platform;
  ForeignHandle handle;

  QVERIFY(!platform.attributes(handle).has_value());
  QVERIFY(!platform.inputReportLength(handle).has_value());

  HidStringBuffer buffer = prefilled();
  QVERIFY(!platform.productString(handle, buffer));
  QVERIFY(!platform.serialNumberString(handle, buffer));
  QVERIFY(!platform.indexedString(handle, 0, buffer));
  QVERIFY(std::all_of(buffer.begin(), buffer.end(), [](char16_t unit) { return unit == kUntouched; }));

  const std::array<std::uint8_t, 10> feature{};
  QVERIFY(!platform.setFeature(handle, feature));

  std::array<std::uint8_t, 9> report{};
  const ReadOutcome outcome = platform.readReport(handle, report, 0);
  QCOMPARE(outcome.status, ReadOutcome::Status::Failed);
  QCOMPARE(outcome.error, platform.deviceNotConnectedError());
  QVERIFY(outcome.error != 0);
}

// The system's text for the code, which the read error's history line shows; a code the system
// has no text for is still said with its number.
void TestHidapiPlatform::errorMessagesAreText_data() {
  QTest::addColumn<std::uint32_t>("error");
  QTest::addColumn<QString>("text");
  QTest::newRow("device gone") << std::uint32_t{ENODEV} << "No such device";
  QTest::newRow("permission") << std::uint32_t{EACCES} << "Permission denied";
  QTest::newRow("unknown code") << std::uint32_t{0x7FFFFFFFu} << "Unknown error 2147483647";
  QTest::newRow("code beyond int") << std::uint32_t{0xFFFFFFFFu} << "Unknown error -1";
}

void TestHidapiPlatform::errorMessagesAreText() {
  QFETCH(std::uint32_t, error);
  HidapiPlatform platform;
  QTEST(QString::fromStdString(platform.errorMessage(error)), "text");
}

// Here udev may be missing or deliver nothing; the watch must then do nothing, and starting,
// replacing, stopping and destroying it in any order must stay safe and give back what it took:
// the monitor's socket (counted here) and its memory (LeakSanitizer).
void TestHidapiPlatform::watchStartsReplacesAndStops() {
  const auto openFiles = [] { return QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files | QDir::System).size(); };
  const auto ignore = [] {};
  HidapiPlatform idle;  // the services are loaded before counting
  const qsizetype before = openFiles();
  {
    HidapiPlatform platform;
    platform.watchDeviceChanges(ignore);
    QCoreApplication::processEvents();
    platform.watchDeviceChanges(ignore);
    platform.watchDeviceChanges({});
    platform.watchDeviceChanges({});
    QCoreApplication::processEvents();
    platform.watchDeviceChanges(ignore);
    QCoreApplication::processEvents();
  }  // destroyed while watching
  QCOMPARE(openFiles(), before);
  idle.watchDeviceChanges(ignore);
  idle.watchDeviceChanges({});
  QCOMPARE(openFiles(), before);
  HidapiPlatform neverStarted;
  neverStarted.watchDeviceChanges({});
}

QTEST_GUILESS_MAIN(TestHidapiPlatform)
#include "tst_hidapi_platform.moc"
