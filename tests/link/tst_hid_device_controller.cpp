#include "link/hid_device_controller.h"
#include "virtual_bus_fixture.h"

#include <QtTest>

using namespace qm::link;
using qm::sim::ScriptedReports;
using qm::sim::VirtualHidBus;

namespace {

// Records the controller's events as text, in order.
struct EventLog {
  QStringList events;
  void attach(HidDeviceController& controller) {
    controller.setOnArrival(HidPlugEvent([this](HidDevice& d) { events << "arrival " + QString::fromStdString(d.location().devicePath); }));
    controller.setOnRemoval(HidPlugEvent([this](HidDevice& d) { events << "removal " + QString::fromStdString(d.location().devicePath); }));
    controller.setOnDeviceChange(HidChangeEvent([this](HidDeviceController&) { events << "change"; }));
  }
  QStringList take() { return std::exchange(events, {}); }
};

std::vector<std::uint8_t> report(std::initializer_list<std::uint8_t> bytes) { return bytes; }

}  // namespace

class TestHidDeviceController : public QObject {
  Q_OBJECT

private slots:
  void oneControllerPerProgram() {
    VirtualHidBus bus;
    HidDeviceController first(bus);
    QCOMPARE(QString::fromStdString(first.Version()), QString("1.0.22"));
    first.setVersion("9.9");
    QCOMPARE(QString::fromStdString(first.Version()), QString("1.0.22"));
    try {
      HidDeviceController second(bus);
      QFAIL("a second controller was created");
    } catch (const HidControllerError& error) {
      QCOMPARE(QString(error.what()), QString("Only one THidDeviceController allowed per program"));
    }
    // The failed one does not count: once the first is gone, a new one may be made.
  }

  void listsWhatCanBeOpenedAndIdentified() {
    VirtualHidBus bus;
    bus.plug(keyboard("sim://a"));
    auto locked = keyboard("sim://locked");
    locked.readWriteAccess = false;
    bus.plug(locked);
    auto closed = keyboard("sim://closed");
    closed.openable = false;
    bus.plug(closed);
    auto anonymous = keyboard("sim://anonymous");
    anonymous.identifiable = false;
    bus.plug(anonymous);
    HidDeviceController controller(bus);
    QCOMPARE(controller.devices().size(), std::size_t{2});
    QVERIFY(controller.devices()[0]->canReadWrite());
    QVERIFY(!controller.devices()[1]->canReadWrite());
    QCOMPARE(controller.devices()[1]->vendorId(), std::uint16_t{0x046D});
  }

  void missingServicesGiveNothing() {
    VirtualHidBus bus;
    bus.setServicesPresent(false);
    bus.plug(keyboard());
    HidDeviceController controller(bus);
    EventLog log;
    log.attach(controller);
    QVERIFY(controller.devices().empty());
    QCOMPARE(log.take(), QStringList{"change"});
  }

  // Only the first assignment of the change event raises it over an unchanged bus.
  void rescanEvents() {
    VirtualHidBus bus;
    bus.plug(keyboard("sim://a"));
    HidDeviceController controller(bus);
    EventLog log;
    log.attach(controller);
    QCOMPARE(log.take(), QStringList{"change"});
    controller.rescan();
    QCOMPARE(log.take(), QStringList{});

    bus.plug(keyboard("sim://b"));
    processEvents();  // the bus's notice runs the rescan
    QCOMPARE(log.take(), (QStringList{"arrival sim://b", "change"}));
    bus.unplug("sim://a");
    processEvents();
    QCOMPARE(log.take(), (QStringList{"removal sim://a", "change"}));
    QCOMPARE(controller.devices().size(), std::size_t{1});
  }

  void claimedDeviceUnplugged() {
    VirtualHidBus bus;
    bus.plug(keyboard("sim://a"));
    HidDeviceController controller(bus);
    EventLog log;
    log.attach(controller);
    log.take();
    int unplugs = 0;
    controller.setOnDeviceUnplug(HidPlugEvent([&](HidDevice&) { ++unplugs; }));
    std::unique_ptr<HidDevice> device = controller.claimDevice(0);
    QVERIFY(device);

    bus.unplug("sim://a");
    processEvents();
    QCOMPARE(log.take(), (QStringList{"removal sim://a", "change"}));
    QCOMPARE(unplugs, 1);
    QVERIFY(!device->present());
    QCOMPARE(controller.devices().size(), std::size_t{1});
    // Every rescan reports it again until it is given back.
    controller.rescan();
    QCOMPARE(log.take(), (QStringList{"removal sim://a", "change"}));
    QCOMPARE(unplugs, 1);
    device.reset();
    QVERIFY(controller.devices().empty());
    controller.rescan();
    QCOMPARE(log.take(), QStringList{});
  }

  void claimAndGiveBack() {
    VirtualHidBus bus;
    bus.plug(keyboard("sim://a"));
    bus.plug(keyboard("sim://b"));
    HidDeviceController controller(bus);
    QVERIFY(!controller.claimDevice(-1));
    QVERIFY(!controller.claimDevice(2));
    std::unique_ptr<HidDevice> device = controller.claimDevice(1);
    QVERIFY(device && device->claimed());
    QVERIFY(!controller.claimDevice(1));
    device->setSleepTime(50);
    device.reset();
    QCOMPARE(controller.devices().size(), std::size_t{2});
    HidDevice* fresh = controller.devices()[1];
    QVERIFY(!fresh->claimed());
    QCOMPARE(fresh->location().devicePath, std::string("sim://b"));
    QCOMPARE(fresh->sleepTime(), 50);
    QVERIFY(controller.claimDevice(1));
  }

  void serialText_data() {
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("languages");
    QTest::addColumn<QString>("expected");
    QTest::newRow("real serial") << "A1B2" << QString(QChar(0x0409)) << "A1B2";
    QTest::newRow("answers with its language list") << "" << QString(QChar(0x0409)) << "";
    QTest::newRow("no language list") << "A1B2" << "" << "";
  }
  void serialText() {
    QFETCH(QString, serial);
    QFETCH(QString, languages);
    QFETCH(QString, expected);
    VirtualHidBus bus;
    auto description = keyboard();
    description.serial = serial.toStdU16String();
    description.languages = languages.toStdU16String();
    bus.plug(description);
    HidDeviceController controller(bus);
    std::unique_ptr<HidDevice> device = controller.claimDevice(0);
    QCOMPARE(QString::fromStdU16String(device->serialText()), expected);
    QCOMPARE(QString::fromStdU16String(device->productText()), QString("USB Keyboard"));
  }

  // Strings and feature reports need the device lent (or being offered).
  void idleDevicesAreNotOpened() {
    VirtualHidBus bus;
    bus.plug(keyboard());
    HidDeviceController controller(bus);
    HidDevice* idle = controller.devices()[0];
    QCOMPARE(QString::fromStdU16String(idle->productText()), QString());
    const std::uint8_t feature[] = {0, 1};
    QVERIFY(!idle->sendFeatureReport(feature));
    QStringList offered;
    controller.setOnEnumerate(HidEnumerateEvent([&](HidDevice& d, int index) {
      offered << QString("%1 %2").arg(index).arg(QString::fromStdU16String(d.productText()));
      return true;
    }));
    QCOMPARE(controller.enumerateDevices(), 1);
    QCOMPARE(offered, QStringList{"0 USB Keyboard"});
  }

  void enumerationStops() {
    VirtualHidBus bus;
    for (const char* path : {"sim://a", "sim://b", "sim://c"}) {
      bus.plug(keyboard(path));
    }
    HidDeviceController controller(bus);
    QCOMPARE(controller.enumerateDevices(), 1);  // no handler: the first present device
    int offered = 0;
    controller.setOnEnumerate(HidEnumerateEvent([&](HidDevice&, int) { return ++offered < 2; }));
    QCOMPARE(controller.enumerateDevices(), 2);
  }

  // A report of n bytes arrives as its report ID and n - 1 data bytes, in order, on this thread.
  void reportsReachTheCallback() {
    VirtualHidBus bus;
    auto reports = std::make_shared<ScriptedReports>();
    auto description = keyboard();
    description.reports = reports;
    description.inputReportLength = 4;
    bus.plug(description);
    HidDeviceController controller(bus);
    std::unique_ptr<HidDevice> device = controller.claimDevice(0);
    QStringList received;
    device->setDataCallback(HidDataEvent([&](HidDevice&, std::uint8_t id, const std::uint8_t* data, std::uint16_t size) {
      QCOMPARE(QThread::currentThread(), qApp->thread());
      received << QString("%1:%2").arg(id).arg(QString::fromLatin1(QByteArray(reinterpret_cast<const char*>(data), size).toHex()));
    }));
    QVERIFY(device->isReading());
    reports->push(report({7, 0xF1, 0xAA, 0}));
    reports->push(report({0, 0xF0, 0, 0}));
    QTRY_COMPARE(received, (QStringList{"7:f1aa00", "0:f00000"}));
  }

  // Clearing the callback returns once the thread ended; nothing reaches the callback afterwards.
  void stopWhileReportsFlow() {
    VirtualHidBus bus;
    auto description = qm::sim::usbToSerialCable("sim://cable", std::make_shared<qm::sim::VirtualCable>(qm::sim::VirtualCable::Pace::AsFastAsRead));
    bus.plug(description);
    HidDeviceController controller(bus);
    std::unique_ptr<HidDevice> device = controller.claimDevice(0);
    int received = 0;
    HidDataEvent callback([&](HidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) { ++received; });
    for (int round = 0; round < 50; ++round) {
      device->setDataCallback(callback);
      QTRY_VERIFY(received > 0);
      device->setDataCallback({});
      QVERIFY(!device->isReading());
      received = 0;
      processEvents();
      QCOMPARE(received, 0);
    }
  }

  // A device that stops reading from inside its own callback does not wait on itself.
  void stopFromInsideTheCallback() {
    VirtualHidBus bus;
    bus.plug(qm::sim::usbToSerialCable("sim://cable", std::make_shared<qm::sim::VirtualCable>(qm::sim::VirtualCable::Pace::AsFastAsRead)));
    HidDeviceController controller(bus);
    std::unique_ptr<HidDevice> device = controller.claimDevice(0);
    int received = 0;
    device->setDataCallback(HidDataEvent([&](HidDevice& self, std::uint8_t, const std::uint8_t*, std::uint16_t) {
      ++received;
      self.setDataCallback({});
    }));
    QTRY_VERIFY(!device->isReading());
    processEvents();
    QCOMPARE(received, 1);
  }

  void readErrorsAreReportedOnce() {
    VirtualHidBus bus;
    bus.plug(qm::sim::usbToSerialCable("sim://cable", std::make_shared<qm::sim::VirtualCable>(qm::sim::VirtualCable::Pace::AsFastAsRead)));
    HidDeviceController controller(bus);
    QList<std::uint32_t> errors;
    controller.setOnDeviceDataError(HidDataErrorEvent([&](HidDevice&, std::uint32_t error) { errors << error; }));
    std::unique_ptr<HidDevice> device = controller.claimDevice(0);
    device->setSleepTime(10);
    int received = 0;
    device->setDataCallback(HidDataEvent([&](HidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) { ++received; }));
    QTRY_VERIFY(received > 0);
    bus.setReadsFail("sim://cable", true);
    QTRY_COMPARE(errors, QList<std::uint32_t>{VirtualHidBus::kErrorNotFunctioning});
    QTest::qWait(100);
    QCOMPARE(errors.size(), 1);
    // Reading resumes when the device recovers, and a new failure is reported again.
    bus.setReadsFail("sim://cable", false);
    received = 0;
    QTRY_VERIFY(received > 0);
    bus.unplug("sim://cable");
    QTRY_COMPARE(errors.size(), 2);
    QCOMPARE(errors.last(), VirtualHidBus::kErrorDeviceNotConnected);
  }

  // The controller's callbacks go to exactly the devices that still hold its previous one.
  void callbackAssignmentRules() {
    VirtualHidBus bus;
    bus.plug(keyboard("sim://a"));
    bus.plug(keyboard("sim://b"));
    HidDeviceController controller(bus);
    const HidDataEvent first([](HidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {});
    const HidDataEvent own([](HidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {});
    const HidDataEvent second([](HidDevice&, std::uint8_t, const std::uint8_t*, std::uint16_t) {});
    controller.setOnDeviceData(first);
    QVERIFY(controller.devices()[0]->dataCallback() == first);
    std::unique_ptr<HidDevice> b = controller.claimDevice(1);
    b->setDataCallback(own);
    controller.setOnDeviceData(second);
    QVERIFY(controller.devices()[0]->dataCallback() == second);
    QVERIFY(b->dataCallback() == own);

    controller.setReadThreadSleepTime(40);
    QCOMPARE(controller.devices()[0]->sleepTime(), 40);
    b->setSleepTime(20);
    controller.setReadThreadSleepTime(9);  // out of a device's range: ignored by the devices
    QCOMPARE(controller.devices()[0]->sleepTime(), 40);
    QCOMPARE(b->sleepTime(), 20);
    b->setSleepTime(10001);
    QCOMPARE(b->sleepTime(), 20);
    b->setDataCallback({});
  }
};

QTEST_GUILESS_MAIN(TestHidDeviceController)
#include "tst_hid_device_controller.moc"
