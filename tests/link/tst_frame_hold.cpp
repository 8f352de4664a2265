#include "link/frame_hold.h"

#include <QtTest>

using namespace std::chrono_literals;

class TestFrameHold : public QObject {
  Q_OBJECT

private slots:
  // Frames that complete during the hold wait; only the newest is decoded when it ends.
  void newestWaitingFrameWins() {
    QStringList decoded;
    qm::link::FrameHold hold([&](std::string_view text) { decoded << QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size())); });
    hold.setHoldLength(100ms);
    hold.offer("A");
    QCOMPARE(decoded, QStringList{"A"});
    hold.offer("B");
    hold.offer("C");
    QCOMPARE(decoded, QStringList{"A"});
    QTRY_COMPARE(decoded, (QStringList{"A", "C"}));
    QVERIFY(hold.holding());  // the decode of C starts a new hold
    QTRY_VERIFY(!hold.holding());
    hold.offer("D");
    QCOMPARE(decoded, (QStringList{"A", "C", "D"}));
  }

  void zeroLengthDecodesEveryFrame() {
    int decoded = 0;
    qm::link::FrameHold hold([&](std::string_view) { ++decoded; });
    hold.setHoldLength(0ms);
    for (int i = 0; i < 5; ++i) {
      hold.offer("F");
    }
    QCOMPARE(decoded, 5);
    QVERIFY(!hold.holding());
  }

  void defaultLengthIsHalfASecond() {
    qm::link::FrameHold hold([](std::string_view) {});
    QCOMPARE(hold.holdLength(), 500ms);
  }
};

QTEST_GUILESS_MAIN(TestFrameHold)
#include "tst_frame_hold.moc"
