#include "link/cable_connection.h"
#include "virtual_bus_fixture.h"

#include <QtTest>

using namespace qm::link;
using qm::sim::ScriptedReports;
using qm::sim::VirtualCable;
using qm::sim::VirtualHidBus;

namespace {

const std::vector<std::uint8_t> kLineSettings(kLineSettingsReport.begin(), kLineSettingsReport.end());

using State = CableConnection::State;

QString latin1(std::string_view text) { return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); }

// The link as the live meter holds it: a bus, the controller, the reassembler and the connection,
// with the messages, history lines and link-icon changes recorded instead of shown.
struct Link {
  VirtualHidBus bus;
  std::unique_ptr<HidDeviceController> controller;
  int frames = 0;
  ReportReassembler reassembler{[this](std::string_view) { ++frames; }};
  QStringList messages;
  QStringList history;
  int iconDarkened = 0;
  std::unique_ptr<CableConnection> connection;

  void start() {
    controller = std::make_unique<HidDeviceController>(bus);
    connection = std::make_unique<CableConnection>(*controller, bus, reassembler,
                                                   CableConnection::Hooks{
                                                       [this](std::string_view m) { messages << latin1(m); },
                                                       [this] { ++iconDarkened; },
                                                       {},
                                                       [this](std::string_view line) { history << latin1(line); },
                                                       {},
                                                   });
    connection->attach();
  }
  ~Link() {
    connection.reset();
    controller.reset();
  }

  QStringList captions() const {
    QStringList list;
    for (const auto& entry : connection->devices()) {
      list << QString::fromStdString(entry.name);
    }
    return list;
  }
  QString selected() const {
    const auto index = connection->cableIndex();
    return index ? QString::fromStdString(connection->devices()[*index].name) : QString();
  }
  State state() const { return connection->state(); }
  bool reading() const { return connection->currentDevice() != nullptr && connection->currentDevice()->isReading(); }
  // Watchdog ticks until its next check has run.
  void tickToCheck() {
    for (int i = 0; i < 3; ++i) {
      connection->watchdogTick();
    }
  }
};

std::shared_ptr<VirtualCable> fastCable() { return std::make_shared<VirtualCable>(VirtualCable::Pace::AsFastAsRead); }

}  // namespace

class TestCableConnection : public QObject {
  Q_OBJECT

private slots:
  void startupSelectsTheCable() {
    Link link;
    link.bus.plug(keyboard());
    link.bus.plug(qm::sim::usbToSerialCable("sim://cable", fastCable()));
    auto mouse = keyboard("sim://mouse");
    mouse.product.clear();
    mouse.attributes = {0x1BCF, 0x0005, 1};
    link.bus.plug(mouse);
    link.start();
    QCOMPARE(link.captions(), (QStringList{"USB Keyboard", "USB to Serial", "Device VID=1BCF PID=0005"}));
    QCOMPARE(link.selected(), QString("USB to Serial"));
    QCOMPARE(link.state(), State::Disconnected);
    QCOMPARE(link.connection->portKind(), std::int8_t{5});
  }

  void connectAndDisconnect() {
    Link link;
    link.bus.plug(qm::sim::usbToSerialCable("sim://cable", fastCable()));
    link.start();
    link.connection->toggleConnection();
    QCOMPARE(link.state(), State::Connected);
    QVERIFY(link.connection->isConnected());
        QCOMPARE(link.bus.featureReports("sim://cable"), std::vector<std::vector<std::uint8_t>>{kLineSettings});
    QCOMPARE(link.history.back(), QString("00 60 09 00 00 03 00 00 00 00 "));
    QVERIFY(link.reading());
    QVERIFY(runUntil([&] { return link.frames > 0; }));  // the simulated meter's frames come through whole

    link.connection->toggleConnection();
    QCOMPARE(link.state(), State::Disconnected);
    QVERIFY(!link.connection->isConnected());
        QVERIFY(!link.connection->devices()[0].device->isReading());
    QCOMPARE(link.bus.featureReports("sim://cable").size(), std::size_t{2});
    QVERIFY(link.messages.isEmpty());
  }

  void connectWithoutCable() {
    Link link;
    link.bus.plug(keyboard());
    link.start();
    link.connection->toggleConnection();
    QCOMPARE(link.messages, QStringList{"USB interface cable is not securely connected, please check and re-try."});
    QCOMPARE(link.state(), State::Disconnected);
    QVERIFY(!link.connection->isConnected());
    QVERIFY(link.bus.featureReports("sim://keyboard").empty());
  }

  void cableWithoutReadAccess() {
    Link link;
    auto cable = qm::sim::usbToSerialCable("sim://cable", fastCable());
    cable.readWriteAccess = false;
    link.bus.plug(cable);
    link.start();
    QCOMPARE(link.selected(), QString("USB to Serial"));
    link.connection->toggleConnection();
    QCOMPARE(link.state(), State::Disconnected);
    QVERIFY(link.messages.isEmpty());
  }

  void refusedLineSettings() {
    Link link;
    link.bus.plug(qm::sim::usbToSerialCable("sim://cable", fastCable()));
    link.bus.setRefusesFeatureReports("sim://cable", true);
    link.start();
    link.connection->toggleConnection();
    QCOMPARE(link.state(), State::Connected);
    QVERIFY(link.messages.isEmpty());
    QCOMPARE(link.history.back(), QString("00 60 09 00 00 03 00 00 00 00 "));
  }

  void cableSelection_data() {
    QTest::addColumn<QStringList>("serials");  // one cable per entry; "" = no serial number
    QTest::addColumn<QStringList>("captions");
    QTest::addColumn<int>("selected");
    QTest::newRow("with a serial number") << QStringList{"0001"} << QStringList{"USB to Serial (Serial=0001)"} << -1;
    QTest::newRow("two cables: the later one") << QStringList{"", ""} << QStringList{"USB to Serial", "USB to Serial"} << 1;
    QTest::newRow("cable before one with a serial") << QStringList{"", "77"} << QStringList{"USB to Serial", "USB to Serial (Serial=77)"} << 0;
  }
  void cableSelection() {
    QFETCH(QStringList, serials);
    QFETCH(QStringList, captions);
    QFETCH(int, selected);
    Link link;
    for (qsizetype i = 0; i < serials.size(); ++i) {
      auto cable = qm::sim::usbToSerialCable("sim://cable" + std::to_string(i), fastCable());
      cable.serial = serials[i].toStdU16String();
      link.bus.plug(cable);
    }
    link.start();
    QCOMPARE(link.captions(), captions);
    const auto index = link.connection->cableIndex();
    QCOMPARE(index ? static_cast<int>(*index) : -1, selected);
  }

  // A cable that only ever says "nothing to send": dropped at the first check after 1900 reports.
  void watchdogDropsASilentCable() {
    Link link;
    auto reports = std::make_shared<ScriptedReports>();
    link.bus.plug(qm::sim::usbToSerialCable("sim://cable", reports));
    link.start();
    link.connection->toggleConnection();
    for (int i = 0; i < 1899; ++i) {
      reports->push({0, 0xF0, 0, 0, 0, 0, 0, 0, 0});
    }
    QVERIFY(runUntil([&] { return link.reassembler.emptyReportCount() == 1899; }));
    link.tickToCheck();
    QCOMPARE(link.state(), State::Connected);
    QVERIFY(link.messages.isEmpty());
    QCOMPARE(link.iconDarkened, 1);

    reports->push({0, 0xF0, 0, 0, 0, 0, 0, 0, 0});
    QVERIFY(runUntil([&] { return link.reassembler.emptyReportCount() == 1900; }));
    link.connection->watchdogTick();
    link.connection->watchdogTick();
    QVERIFY(link.messages.isEmpty());
    link.connection->watchdogTick();
    QCOMPARE(link.messages, QStringList{"USB interface cable is securely connected, please check if the meter is ready."});
    QCOMPARE(link.state(), State::DroppedForSilence);
    QVERIFY(!link.connection->isConnected());
    QVERIFY(!link.reading());
    QCOMPARE(link.reassembler.emptyReportCount(), 0);
    QCOMPARE(link.iconDarkened, 2);

    // Clicking the yellow CONNECT connects again.
    link.connection->toggleConnection();
    QCOMPARE(link.state(), State::Connected);
  }

  void anotherDeviceArrivesWhileConnected() {
    Link link;
    link.bus.plug(qm::sim::usbToSerialCable("sim://cable", fastCable()));
    link.start();
    link.connection->toggleConnection();
    QVERIFY(runUntil([&] { return link.frames > 0; }));
    link.bus.plug(keyboard());
    QTRY_COMPARE(link.captions().size(), 2);
    QCOMPARE(link.history.back(), QString("Arrival of USB Keyboard"));
    QCOMPARE(link.state(), State::Connected);
    QVERIFY(link.connection->isConnected());
    for (const auto& entry : link.connection->devices()) {
      QVERIFY(!entry.device->isReading());
    }
    // Disconnect and connect: reading resumes.
    link.connection->toggleConnection();
    link.connection->toggleConnection();
    QVERIFY(link.reading());
    link.frames = 0;
    QVERIFY(runUntil([&] { return link.frames > 0; }));
  }

  void cableUnpluggedWhileConnected() {
    Link link;
    link.bus.plug(qm::sim::usbToSerialCable("sim://cable", fastCable()));
    link.start();
    link.connection->toggleConnection();
    link.bus.unplug("sim://cable");
    QTRY_VERIFY(link.connection->devices().empty());
    QCOMPARE(link.history.back(), QString("Removal of USB to Serial"));
    QVERIFY(link.messages.isEmpty());
    QCOMPARE(link.state(), State::Connected);
    link.connection->toggleConnection();
    QCOMPARE(link.messages, QStringList{"USB interface cable is not securely connected, please check and re-try."});
    QCOMPARE(link.state(), State::Disconnected);
    QCOMPARE(link.bus.featureReports("sim://cable").size(), std::size_t{1});
  }

  void readErrorsGoToTheHistory() {
    Link link;
    link.bus.plug(qm::sim::usbToSerialCable("sim://cable", fastCable()));
    link.start();
    link.connection->toggleConnection();
    link.bus.setReadsFail("sim://cable", true);
    QTRY_COMPARE(link.history.back(),
                 QString("READ ERROR: A device attached to the system is not functioning. (1F)"));
    QVERIFY(link.messages.isEmpty());
  }

  void onlyTheUsbPortKindConnects() {
    Link link;
    link.bus.plug(qm::sim::usbToSerialCable("sim://cable", fastCable()));
    link.start();
    link.connection->setPortKind(2);
    link.connection->toggleConnection();
    QCOMPARE(link.state(), State::Disconnected);
    QVERIFY(link.bus.featureReports("sim://cable").empty());
    link.connection->setPortKind(kUsbPortKind);
    link.connection->toggleConnection();
    QCOMPARE(link.state(), State::Connected);
  }

  // Many connects and disconnects against a cable that streams as fast as it is read.
  void connectDisconnectStress() {
    Link link;
    link.bus.plug(qm::sim::usbToSerialCable("sim://cable", fastCable()));
    link.start();
    for (int round = 0; round < 200; ++round) {
      link.connection->toggleConnection();
      QVERIFY(link.reading());
      processEvents();
      link.connection->toggleConnection();
      QVERIFY(!link.reading());
      const int frames = link.frames;
      processEvents();
      QCOMPARE(link.frames, frames);
    }
    // Still whole afterwards: frames come through once connected.
    link.connection->toggleConnection();
    const int before = link.frames;
    QVERIFY(runUntil([&] { return link.frames > before; }));
  }
};

QTEST_GUILESS_MAIN(TestCableConnection)
#include "tst_cable_connection.moc"
