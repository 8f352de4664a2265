// The live meter as its listeners meet it: every logged reading reaches every listener, readings
// held during a file operation arrive afterwards, and nothing read before a disconnect is logged
// after it.

#include "link/virtual_bus_fixture.h"
#include "meter/live_meter.h"
#include "sim/simulated_desk.h"

#include <QtTest>

#include <numeric>
#include <vector>

using qm::meter::LiveMeter;

namespace {

std::unique_ptr<LiveMeter> fastMeter(std::chrono::milliseconds holdLength) {
  auto meter = std::make_unique<LiveMeter>(qm::sim::simulatedDesk(qm::sim::VirtualCable::Pace::AsFastAsRead));
  meter->frameHold().setHoldLength(holdLength);
  return meter;
}

// The logged rows as a listener saw them: row index and value.
struct Listener {
  std::vector<std::size_t> rows;
  QStringList values;

  void attach(LiveMeter& meter) {
    QObject::connect(&meter, &LiveMeter::readingLogged, [this, &meter](std::size_t row) {
      rows.push_back(row);
      values << QString::fromLatin1(meter.table().row(row).texts[0].value_or(""));
    });
  }
};

}  // namespace

class TestLiveMeter : public QObject {
  Q_OBJECT

private slots:
  void everyListenerSeesEveryLoggedReading() {
    const auto meter = fastMeter(std::chrono::milliseconds(0));
    Listener first;
    Listener second;
    first.attach(*meter);
    second.attach(*meter);
    meter->connectCable();
    QVERIFY(meter->connection().isConnected());
    QVERIFY(runUntil([&] { return meter->table().rowCount() >= 20; }));

    // Readings that arrive while a file operation holds them reach the listeners once released.
    std::size_t held = 0;
    QObject::connect(meter.get(), &LiveMeter::readingNotLogged, [&held](qm::log::ReadingLogger::Outcome why) {
      held += why == qm::log::ReadingLogger::Outcome::Held ? 1 : 0;
    });
    meter->holdReadings();
    const std::size_t before = meter->table().rowCount();
    QVERIFY(runUntil([&] { return held >= 5; }));
    QCOMPARE(meter->table().rowCount(), before);
    meter->releaseReadings();
    QCOMPARE(meter->table().rowCount(), before + held);
    meter->disconnectCable();

    std::vector<std::size_t> everyRow(meter->table().rowCount());
    std::iota(everyRow.begin(), everyRow.end(), std::size_t{0});
    QCOMPARE(first.rows, everyRow);
    QCOMPARE(second.rows, everyRow);
    QCOMPARE(first.values, second.values);
    QVERIFY(!first.values.contains(QString()));
  }

  // A frame waiting in the half-second hold when the user disconnects was read before the
  // disconnect: it is dropped, and no reading is logged after it.
  void disconnectDropsTheWaitingFrame() {
    const auto meter = fastMeter(std::chrono::milliseconds(300));
    meter->connectCable();
    QVERIFY(runUntil([&] { return meter->table().rowCount() >= 1 && meter->frameHold().hasWaitingFrame(); }));
    meter->disconnectCable();
    const std::size_t rows = meter->table().rowCount();
    QVERIFY(!meter->frameHold().hasWaitingFrame());
    QTest::qWait(800);  // past the hold's end
    QCOMPARE(meter->table().rowCount(), rows);
  }
};

QTEST_GUILESS_MAIN(TestLiveMeter)
#include "tst_live_meter.moc"
