// Checks what a Linux guest printed after running qm-cli's real HID path against the virtual cable
// qm-uhid-cable (see guest-init for the run and run-guest-test for the guest). The transcript is
// the guest's console: sections between "@@ begin NAME" and "@@ end NAME", one for each output
// file of the run, a status file holding a program's exit status.

#include "cli/decode_command.h"
#include "sim/cable_report_stream.h"
#include "sim/frame_encoder.h"
#include "sim/meter_model.h"

#include <QFile>
#include <QMap>
#include <QRegularExpression>
#include <QtTest>

#include <sstream>

namespace {

using qm::sim::CableReportStream;

constexpr char kLineSettings[] = "00 60 09 00 00 03 00 00 00 00";

QMap<QString, QStringList> readSections(const QString& path) {
  QFile file(path);
  QMap<QString, QStringList> sections;
  if (!file.open(QIODevice::ReadOnly)) {
    return sections;
  }
  // The serial console ends its lines with CR LF.
  const QStringList lines = QString::fromUtf8(file.readAll()).remove('\r').split('\n');
  QString open;
  for (const QString& line : lines) {
    if (line.startsWith("@@ begin ")) {
      open = line.mid(9);
      sections[open];
    } else if (line.startsWith("@@ end ")) {
      open.clear();
    } else if (!open.isEmpty()) {
      sections[open].append(line);
    }
  }
  return sections;
}

// Stream time in ms from the cable's "plugged 2 at T" and the like.
std::optional<long long> eventTime(const QStringList& cableLines, const QString& event) {
  for (const QString& line : cableLines) {
    if (line.startsWith(event + " at ")) {
      return line.mid(event.size() + 4).toLongLong();
    }
  }
  return std::nullopt;
}

// The reading (value, unit, function, mode) of every frame the cable encoded up to `lastMs` of its
// stream, in order, for the frames whose reading is offered for logging; others give an empty text.
QStringList encodedReadings(long long lastMs) {
  const qm::sim::MeterModel meter;
  std::ostringstream frames;
  const long long period = CableReportStream::kDefaultFramePeriod.count();
  for (long long at = 0; at <= lastMs; at += period) {
    frames << qm::sim::frameText(qm::sim::encodeFrame(meter.displayAt(std::chrono::milliseconds(at)))) << '\n';
  }
  std::istringstream in(frames.str());
  std::ostringstream decoded;
  std::ostringstream errors;
  qm::cli::runDecode({"--decimal-separator", "."}, in, decoded, errors);
  QStringList readings;
  for (const QString& line : QString::fromStdString(decoded.str()).split('\n', Qt::SkipEmptyParts)) {
    const QStringList fields = line.split('\t');
    readings.append(fields.value(4) == "1" ? QStringList(fields.mid(0, 4)).join('\t') : QString());
  }
  return readings;
}

// The reading of a logged line: fields 3 to 6 after the number and the time of day.
QString loggedReading(const QString& line) { return QStringList(line.split('\t').mid(2, 4)).join('\t'); }

// For each logged line, the earliest frame it can come from with the lines in the order the
// frames were sent; empty when a line matches no frame at its place.
std::vector<qsizetype> matchInOrder(const QStringList& logged, const QStringList& encoded, QString& unmatched) {
  std::vector<qsizetype> frames;
  qsizetype next = 0;
  for (const QString& line : logged) {
    const qsizetype found = encoded.indexOf(loggedReading(line), next);
    if (found < 0) {
      unmatched = line;
      return {};
    }
    frames.push_back(found);
    next = found + 1;
  }
  return frames;
}

// The first line from `from` on in which `pattern` matches, or -1.
qsizetype indexOfMatch(const QStringList& lines, const QString& pattern, qsizetype from) {
  const QRegularExpression expression(pattern);
  for (qsizetype i = std::max<qsizetype>(from, 0); i < lines.size(); ++i) {
    if (expression.match(lines[i]).hasMatch()) {
      return i;
    }
  }
  return -1;
}

}  // namespace

class TestKernelHid : public QObject {
  Q_OBJECT

private slots:
  void initTestCase() {
    const QString path = qEnvironmentVariable("QM_GUEST_TRANSCRIPT");
    QVERIFY2(!path.isEmpty(), "QM_GUEST_TRANSCRIPT names the guest's transcript");
    sections_ = readSections(path);
    QVERIFY2(sections_.contains("cable"), "the guest ran to its report");
    const std::optional<long long> end = eventTime(sections_["cable"], "ended");
    QVERIFY2(end, qPrintable(sections_["cable"].join('\n')));
    encoded_ = encodedReadings(*end);
  }

  void cableRanCleanly() {
    QCOMPARE(sections_["cable.status"], QStringList{"0"});
    QCOMPARE(sections_["cable.err"], QStringList());
  }

  // The only HID device of the guest is the cable, found by its product string although hidapi
  // reports no USB bus and no manufacturer for it.
  void listSelectsTheCable() {
    QCOMPARE(sections_["list.status"], QStringList{"0"});
    QCOMPARE(sections_["list"], QStringList{"* 0\tUSB to Serial"});
    QCOMPARE(sections_["list.err"], QStringList());
  }

  // Every connect sends the line settings once, and the kernel carries them to the cable byte for
  // byte: twice during the first plug (one for each logger), once after the cable came back.
  void lineSettingsArriveOnEveryConnect() {
    QStringList features;
    for (const QString& line : sections_["cable"]) {
      if (line.startsWith("feature ")) {
        features.append(line);
      }
    }
    const QString settings = kLineSettings;
    QCOMPARE(features, (QStringList{"feature 1 " + settings, "feature 1 " + settings, "feature 2 " + settings}));
  }

  void logsTheEncodedReadings_data() {
    QTest::addColumn<QString>("run");
    QTest::addColumn<int>("count");
    QTest::newRow("one plug") << "log" << 5;
    QTest::newRow("across an unplug") << "relog" << 12;
  }
  void logsTheEncodedReadings() {
    QFETCH(QString, run);
    QFETCH(int, count);
    QCOMPARE(sections_[run + ".status"], QStringList{"0"});
    const QStringList logged = sections_[run];
    QCOMPARE(logged.size(), count);
    for (int i = 0; i < count; ++i) {
      QCOMPARE(logged[i].section('\t', 0, 0), QString::number(i + 1));
    }
    QString unmatched;
    QVERIFY2(!matchInOrder(logged, encoded_, unmatched).empty(),
             qPrintable("not a reading the cable encoded, in its order: " + unmatched));
  }

  // The unplug reaches the read-error path; the logger waits, reconnects by itself when the cable
  // is back, sends the line settings again (see above) and logs readings sent after the replug.
  void unplugIsSurvivedAndLoggingGoesOn() {
    const QStringList errors = sections_["relog.err"];
    const qsizetype readError = indexOfMatch(errors, "^READ ERROR: .+ \\([0-9A-F]+\\)$", 0);
    const qsizetype waiting = indexOfMatch(errors, "waiting for it to be plugged in again", readError);
    const qsizetype reconnected = indexOfMatch(errors, "reconnected to the cable", waiting);
    QVERIFY2(readError >= 0 && waiting > readError && reconnected > waiting, qPrintable(errors.join('\n')));

    const std::optional<long long> unplugged = eventTime(sections_["cable"], "unplugged 1");
    const std::optional<long long> replugged = eventTime(sections_["cable"], "plugged 2");
    QVERIFY(unplugged && replugged && *replugged > *unplugged);
    QString unmatched;
    const std::vector<qsizetype> frames = matchInOrder(sections_["relog"], encoded_, unmatched);
    QVERIFY2(!frames.empty(), qPrintable("not a reading the cable encoded, in its order: " + unmatched));
    const long long period = CableReportStream::kDefaultFramePeriod.count();
    const qsizetype firstFrameAfterReplug = static_cast<qsizetype>((*replugged + period - 1) / period);
    QVERIFY2(frames.back() >= firstFrameAfterReplug,
             qPrintable(QString("last reading from frame %1, the cable came back at frame %2")
                            .arg(frames.back())
                            .arg(firstFrameAfterReplug)));
  }

private:
  QMap<QString, QStringList> sections_;
  QStringList encoded_;
};

QTEST_GUILESS_MAIN(TestKernelHid)
#include "tst_kernel_hid.moc"
