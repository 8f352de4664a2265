// A headless logger keeps its link up across device changes: what ReconnectPolicy::superviseLink does
// when the cable is unplugged and plugged again, when another device comes and goes, when reads
// fail for a while, and when the watchdog drops the link.

#include "cli/reconnect_policy.h"
#include "meter/live_meter.h"
#include "link/virtual_bus_fixture.h"
#include "sim/virtual_hid_bus.h"

#include <QtTest>

#include <sstream>

using qm::cli::ReconnectPolicy;
using LinkState = ReconnectPolicy::LinkState;
using qm::sim::VirtualCable;
using qm::sim::VirtualDeviceDescription;

namespace {

constexpr char kCablePath[] = "sim://usb-to-serial";

enum class Disturbance { Unplug, UnplugUnannounced, OtherDeviceArrives, ReadsFailAWhile, ComesBackUnreadable };

QString text(std::string_view ascii) { return QString::fromLatin1(ascii.data(), static_cast<qsizetype>(ascii.size())); }

VirtualDeviceDescription streamingCable() {
  return qm::sim::usbToSerialCable(kCablePath, std::make_shared<VirtualCable>(VirtualCable::Pace::AsFastAsRead));
}

// The link of `qm-cli log` over a simulated bus that the test plugs and unplugs, connected as the
// logger connects.
struct Logger {
  explicit Logger(VirtualDeviceDescription cable) {
    auto ownedBus = std::make_unique<qm::sim::VirtualHidBus>();
    bus = ownedBus.get();
    bus->plug(std::move(cable));
    meter = std::make_unique<qm::meter::LiveMeter>(std::move(ownedBus));
    meter->frameHold().setHoldLength(std::chrono::milliseconds(0));
    QObject::connect(meter.get(), &qm::meter::LiveMeter::frameDecoded, [this] { ++frames; });
    policy = std::make_unique<ReconnectPolicy>(*meter, "log", messages);
    meter->connectCable();
  }

  // Runs the event loop, supervising the link as the logger's watchdog does, until `done` holds.
  template <typename Predicate>
  bool superviseUntil(Predicate done) {
    return runUntil([&] {
      state = policy->superviseLink();
      return done();
    });
  }

  bool said(const QString& text) const { return QString::fromStdString(messages.str()).contains(text); }

  std::ostringstream messages;
  int frames = 0;
  LinkState state = LinkState::Reading;
  qm::sim::VirtualHidBus* bus = nullptr;
  std::unique_ptr<qm::meter::LiveMeter> meter;
  std::unique_ptr<ReconnectPolicy> policy;
};

// Whether `lines` holds `expected` in that order, other lines between them.
bool inOrder(const QStringList& lines, const QStringList& expected) {
  qsizetype next = 0;
  for (const QString& wanted : expected) {
    while (next < lines.size() && !lines[next].contains(wanted)) {
      ++next;
    }
    if (next++ >= lines.size()) {
      return false;
    }
  }
  return true;
}

}  // namespace

Q_DECLARE_METATYPE(Disturbance)
Q_DECLARE_METATYPE(LinkState)

class TestLogReconnect : public QObject {
  Q_OBJECT

private slots:
  void survivesDeviceChanges_data() {
    QTest::addColumn<Disturbance>("disturbance");
    QTest::addColumn<QStringList>("said");  // in this order
    QTest::addColumn<bool>("waited");
    QTest::addColumn<int>("lineSettingsSent");
    QTest::addColumn<LinkState>("endState");

    const QString waiting = "waiting for it to be plugged in again";
    const QString reconnected = "reconnected to the cable; logging goes on";
    QTest::newRow("unplugged and plugged in again")
        << Disturbance::Unplug
        << QStringList{"Removal of USB to Serial", text(qm::link::kNotConnectedMessage), waiting,
                       "Arrival of USB to Serial", "00 60 09 00 00 03 00 00 00 00", reconnected}
        << true << 2 << LinkState::Reading;
    // Where no device change is announced, the read error leads to the rescan that finds the
    // cable gone, and rescans while waiting find it back.
    QTest::newRow("unplugged unannounced")
        << Disturbance::UnplugUnannounced
        << QStringList{"READ ERROR: The device is not connected. (48F)", "Removal of USB to Serial", waiting,
                       "Arrival of USB to Serial", reconnected}
        << true << 2 << LinkState::Reading;
    // The change stops the reading of a cable that is still there: disconnect and connect, at once.
    QTest::newRow("another device arrives")
        << Disturbance::OtherDeviceArrives << QStringList{"Arrival of USB Keyboard", reconnected} << false << 3
        << LinkState::Reading;
    QTest::newRow("reads fail for a while")
        << Disturbance::ReadsFailAWhile
        << QStringList{"READ ERROR: A device attached to the system is not functioning. (1F)"} << false << 1
        << LinkState::Reading;
    QTest::newRow("comes back unreadable")
        << Disturbance::ComesBackUnreadable
        << QStringList{waiting, "qm-cli log: the cable is back but cannot be opened for reading"} << true << 1
        << LinkState::Ended;
  }
  void survivesDeviceChanges() {
    QFETCH(Disturbance, disturbance);
    QFETCH(QStringList, said);
    QFETCH(bool, waited);
    QFETCH(int, lineSettingsSent);
    QFETCH(LinkState, endState);

    Logger logger(streamingCable());
    QVERIFY(logger.superviseUntil([&] { return logger.frames > 0; }));
    QCOMPARE(logger.state, LinkState::Reading);

    const auto unplugAndWait = [&] {
      logger.bus->unplug(kCablePath);
      return logger.superviseUntil([&] { return logger.state == LinkState::AwaitingCable; });
    };
    switch (disturbance) {
      case Disturbance::Unplug:
        QVERIFY(unplugAndWait());
        logger.bus->plug(streamingCable());
        break;
      case Disturbance::UnplugUnannounced:
        logger.bus->watchDeviceChanges({});
        QVERIFY(unplugAndWait());
        logger.bus->plug(streamingCable());
        break;
      case Disturbance::OtherDeviceArrives:
        logger.bus->plug(keyboard());
        break;
      case Disturbance::ReadsFailAWhile:
        logger.bus->setReadsFail(kCablePath, true);
        QVERIFY(logger.superviseUntil([&] { return logger.said("READ ERROR"); }));
        logger.bus->setReadsFail(kCablePath, false);
        break;
      case Disturbance::ComesBackUnreadable: {
        QVERIFY(unplugAndWait());
        VirtualDeviceDescription unreadable = streamingCable();
        unreadable.readWriteAccess = false;
        logger.bus->plug(unreadable);
        break;
      }
    }

    const int framesBefore = logger.frames;
    QVERIFY2(logger.superviseUntil([&] {
      const QStringList now = QString::fromStdString(logger.messages.str()).split('\n');
      return logger.state == endState && inOrder(now, said) && (endState == LinkState::Ended || logger.frames > framesBefore);
    }),
             logger.messages.str().c_str());
    QCOMPARE(logger.said("waiting for it"), waited);
    const auto sent = logger.bus->featureReports(kCablePath);
    QCOMPARE(static_cast<int>(sent.size()), lineSettingsSent);
    for (const auto& report : sent) {
      QVERIFY(std::equal(report.begin(), report.end(), qm::link::kLineSettingsReport.begin(), qm::link::kLineSettingsReport.end()));
    }
  }

  // A silent meter is no unplug: the watchdog's drop ends the logger instead of a wait.
  void watchdogDropEndsTheLink() {
    Logger logger(qm::sim::usbToSerialCable(kCablePath, std::make_shared<qm::sim::ScriptedReports>()));
    QCOMPARE(logger.policy->superviseLink(), LinkState::Reading);
    logger.meter->reassembler().setEmptyReportCount(qm::link::kSilentReportLimit);
    for (int tick = 0; tick < 3; ++tick) {
      logger.meter->connection().watchdogTick();
    }
    QCOMPARE(logger.policy->superviseLink(), LinkState::Ended);
    QVERIFY(logger.said(text(qm::link::kMeterNotReadyMessage)));
  }
};

QTEST_GUILESS_MAIN(TestLogReconnect)
#include "tst_log_reconnect.moc"
