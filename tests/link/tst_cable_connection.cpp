#include "link/cable_connection.h"
#include "virtual_bus_fixture.h"

#include <QtTest>

using namespace qm::link;
using qm::sim::ScriptedReports;
using qm::sim::VirtualCable;
using qm::sim::VirtualHidBus;

namespace {

const std::vector<std::uint8_t> kLineSettings(kLineSettingsReport.begin(), kLineSettingsReport.end());

// The link as the main window holds it: a bus, the controller, the reassembler and the connection,
// with the messages and link-icon changes recorded instead of shown.
struct Link {
  VirtualHidBus bus;
  std::unique_ptr<THidDeviceController> controller;
  int frames = 0;
  ReportReassembler reassembler{[this](std::string_view) { ++frames; }};
  QStringList messages;
  int iconDarkened = 0;
  std::unique_ptr<CableConnection> connection;

  void start() {
    controller = std::make_unique<THidDeviceController>(bus);
    connection = std::make_unique<CableConnection>(*controller, bus, reassembler,
                                                   CableConnection::Hooks{
                                                       [this](std::string_view m) { messages << QString::fromLatin1(m.data(), static_cast<qsizetype>(m.size())); },
                                                       [this] { ++iconDarkened; },
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
    for (const auto& entry : connection->DevListBox()) {
      list << QString::fromStdString(entry.caption);
    }
    return list;
  }
  QString selected() const {
    const auto index = connection->selectedEntry();
    return index ? QString::fromStdString(connection->DevListBox()[*index].caption) : QString();
  }
  QString caption() const { return QString::fromLatin1(connection->Panel2Caption().data(), static_cast<qsizetype>(connection->Panel2Caption().size())); }
  bool reading() const { return connection->CurrentDevice() != nullptr && connection->CurrentDevice()->isReading(); }
  // Watchdog ticks until its next check has run.
  void tickToCheck() {
    for (int i = 0; i < 3; ++i) {
      connection->ConTimerTimer();
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
    QCOMPARE(link.caption(), QString("CONNECT"));
    QCOMPARE(link.connection->PortKind(), std::int8_t{5});
  }

  void connectAndDisconnect() {
    Link link;
    link.bus.plug(qm::sim::usbToSerialCable("sim://cable", fastCable()));
    link.start();
    link.connection->Panel2Click();
    QCOMPARE(link.caption(), QString("DISCONNECT"));
    QVERIFY(link.connection->USBCon());
    QVERIFY(!link.connection->ComSetEnabled());
    QCOMPARE(link.bus.featureReports("sim://cable"), std::vector<std::vector<std::uint8_t>>{kLineSettings});
    QCOMPARE(QString::fromStdString(link.connection->HistoryListBox().back()), QString("00 60 09 00 00 03 00 00 00 00 "));
    QVERIFY(link.reading());
    QVERIFY(runUntil([&] { return link.frames > 0; }));  // the simulated meter's frames come through whole

    link.connection->Panel2Click();
    QCOMPARE(link.caption(), QString("CONNECT"));
    QVERIFY(!link.connection->USBCon());
    QVERIFY(link.connection->ComSetEnabled());
    QVERIFY(!link.connection->DevListBox()[0].device->isReading());
    QCOMPARE(link.bus.featureReports("sim://cable").size(), std::size_t{2});
    QVERIFY(link.messages.isEmpty());
  }

  void connectWithoutCable() {
    Link link;
    link.bus.plug(keyboard());
    link.start();
    link.connection->Panel2Click();
    QCOMPARE(link.messages, QStringList{"USB interface cable is not securely connected, please check and re-try."});
    QCOMPARE(link.caption(), QString("CONNECT"));
    QVERIFY(!link.connection->USBCon());
    QVERIFY(link.bus.featureReports("sim://keyboard").empty());
  }

  void cableWithoutReadAccess() {
    Link link;
    auto cable = qm::sim::usbToSerialCable("sim://cable", fastCable());
    cable.readWriteAccess = false;
    link.bus.plug(cable);
    link.start();
    QCOMPARE(link.selected(), QString("USB to Serial"));
    link.connection->Panel2Click();
    QCOMPARE(link.caption(), QString("CONNECT"));
    QVERIFY(link.messages.isEmpty());
  }

  void refusedLineSettings() {
    Link link;
    link.bus.plug(qm::sim::usbToSerialCable("sim://cable", fastCable()));
    link.bus.setRefusesFeatureReports("sim://cable", true);
    link.start();
    link.connection->Panel2Click();
    QCOMPARE(link.caption(), QString("DISCONNECT"));
    QVERIFY(link.messages.isEmpty());
    QCOMPARE(QString::fromStdString(link.connection->HistoryListBox().back()), QString("00 60 09 00 00 03 00 00 00 00 "));
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
    const auto index = link.connection->selectedEntry();
    QCOMPARE(index ? static_cast<int>(*index) : -1, selected);
  }

  // A cable that only ever says "nothing to send": dropped at the first check after 1900 reports.
  void watchdogDropsASilentCable() {
    Link link;
    auto reports = std::make_shared<ScriptedReports>();
    link.bus.plug(qm::sim::usbToSerialCable("sim://cable", reports));
    link.start();
    link.connection->Panel2Click();
    for (int i = 0; i < 1899; ++i) {
      reports->push({0, 0xF0, 0, 0, 0, 0, 0, 0, 0});
    }
    QVERIFY(runUntil([&] { return link.reassembler.EmptyReportCount() == 1899; }));
    link.tickToCheck();
    QCOMPARE(link.caption(), QString("DISCONNECT"));
    QVERIFY(link.messages.isEmpty());
    QCOMPARE(link.iconDarkened, 1);

    reports->push({0, 0xF0, 0, 0, 0, 0, 0, 0, 0});
    QVERIFY(runUntil([&] { return link.reassembler.EmptyReportCount() == 1900; }));
    link.connection->ConTimerTimer();
    link.connection->ConTimerTimer();
    QVERIFY(link.messages.isEmpty());
    link.connection->ConTimerTimer();
    QCOMPARE(link.messages, QStringList{"USB interface cable is securely connected, please check if the meter is ready."});
    QCOMPARE(link.caption(), QString("CONNECT"));
    QCOMPARE(link.connection->Panel2Colour(), CableConnection::CaptionColour::Yellow);
    QVERIFY(!link.connection->USBCon());
    QVERIFY(!link.connection->ComSetEnabled());
    QVERIFY(!link.reading());
    QCOMPARE(link.reassembler.EmptyReportCount(), 0);
    QCOMPARE(link.iconDarkened, 2);

    // Clicking the yellow CONNECT connects again, in black.
    link.connection->Panel2Click();
    QCOMPARE(link.caption(), QString("DISCONNECT"));
    QCOMPARE(link.connection->Panel2Colour(), CableConnection::CaptionColour::Black);
  }

  void anotherDeviceArrivesWhileConnected() {
    Link link;
    link.bus.plug(qm::sim::usbToSerialCable("sim://cable", fastCable()));
    link.start();
    link.connection->Panel2Click();
    QVERIFY(runUntil([&] { return link.frames > 0; }));
    link.bus.plug(keyboard());
    QTRY_COMPARE(link.captions().size(), 2);
    QCOMPARE(link.connection->HistoryListBox().back(), std::string("Arrival of USB Keyboard"));
    QCOMPARE(link.caption(), QString("DISCONNECT"));
    QVERIFY(link.connection->USBCon());
    for (const auto& entry : link.connection->DevListBox()) {
      QVERIFY(!entry.device->isReading());
    }
    // Disconnect and connect: reading resumes.
    link.connection->Panel2Click();
    link.connection->Panel2Click();
    QVERIFY(link.reading());
    link.frames = 0;
    QVERIFY(runUntil([&] { return link.frames > 0; }));
  }

  void cableUnpluggedWhileConnected() {
    Link link;
    link.bus.plug(qm::sim::usbToSerialCable("sim://cable", fastCable()));
    link.start();
    link.connection->Panel2Click();
    link.bus.unplug("sim://cable");
    QTRY_VERIFY(link.connection->DevListBox().empty());
    QCOMPARE(link.connection->HistoryListBox().back(), std::string("Removal of USB to Serial"));
    QVERIFY(link.messages.isEmpty());
    QCOMPARE(link.caption(), QString("DISCONNECT"));
    link.connection->Panel2Click();
    QCOMPARE(link.messages, QStringList{"USB interface cable is not securely connected, please check and re-try."});
    QCOMPARE(link.caption(), QString("CONNECT"));
    QCOMPARE(link.bus.featureReports("sim://cable").size(), std::size_t{1});
  }

  void readErrorsGoToTheHistory() {
    Link link;
    link.bus.plug(qm::sim::usbToSerialCable("sim://cable", fastCable()));
    link.start();
    link.connection->Panel2Click();
    link.bus.setReadsFail("sim://cable", true);
    QTRY_COMPARE(link.connection->HistoryListBox().back(),
                 std::string("READ ERROR: A device attached to the system is not functioning. (1F)"));
    QVERIFY(link.messages.isEmpty());
  }

  void portKinds() {
    Link link;
    link.bus.plug(qm::sim::usbToSerialCable("sim://cable", fastCable()));
    link.start();
    QVERIFY(link.connection->comChecked(1));
    link.connection->Panel1Click();  // from USB to COM1
    QCOMPARE(link.connection->PortKind(), std::int8_t{1});
    QCOMPARE(link.connection->Panel1Caption(), std::string_view("COM1"));
    link.connection->Panel1Click();
    QCOMPARE(link.connection->PortKind(), std::int8_t{2});
    QVERIFY(link.connection->comChecked(2) && !link.connection->comChecked(1));
    // With a COM kind, CONNECT does nothing.
    link.connection->Panel2Click();
    QCOMPARE(link.caption(), QString("CONNECT"));
    QVERIFY(link.bus.featureReports("sim://cable").empty());
    link.connection->Panel1Click();
    link.connection->Panel1Click();
    link.connection->Panel1Click();
    QCOMPARE(link.connection->PortKind(), std::int8_t{5});
    QCOMPARE(link.connection->Panel1Caption(), std::string_view("USB"));
    QVERIFY(link.connection->usbChecked());
    link.connection->Panel2Click();
    QCOMPARE(link.caption(), QString("DISCONNECT"));
    link.connection->Panel1Click();  // ignored while connected
    QCOMPARE(link.connection->PortKind(), std::int8_t{5});
  }

  // Many connects and disconnects against a cable that streams as fast as it is read.
  void connectDisconnectStress() {
    Link link;
    link.bus.plug(qm::sim::usbToSerialCable("sim://cable", fastCable()));
    link.start();
    for (int round = 0; round < 200; ++round) {
      link.connection->Panel2Click();
      QVERIFY(link.reading());
      processEvents();
      link.connection->Panel2Click();
      QVERIFY(!link.reading());
      const int frames = link.frames;
      processEvents();
      QCOMPARE(link.frames, frames);
    }
    // Still whole afterwards: frames come through once connected.
    link.connection->Panel2Click();
    const int before = link.frames;
    QVERIFY(runUntil([&] { return link.frames > before; }));
  }
};

QTEST_GUILESS_MAIN(TestCableConnection)
#include "tst_cable_connection.moc"
