#include "cli/link_commands.h"

#include "cli/hid_session.h"
#include "cli/reading_file_writer.h"
#include "cli/reading_output.h"
#include "link/frame_hold.h"
#include "log/reading_logger.h"
#include "log/reading_table.h"

#include <QCoreApplication>
#include <QTime>
#include <QTimer>

#include <csignal>
#include <iterator>
#include <limits>
#include <optional>
#include <ostream>

namespace qm::cli {
namespace {

std::atomic<bool> interrupted{false};

extern "C" void onInterrupt(int) { interrupted.store(true); }


}  // namespace

int runList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  bool simulate = false;
  for (const std::string& arg : args) {
    if (arg != "--simulate") {
      err << "qm-cli list: unknown argument '" << arg << "'\nusage: qm-cli list [--simulate]\n";
      return 2;
    }
    simulate = true;
  }
  try {
    HidSession session(simulate, {}, err);
    const link::CableConnection& connection = session.connection();
    for (std::size_t i = 0; i < connection.DevListBox().size(); ++i) {
      out << (connection.selectedEntry() == i ? '*' : ' ') << ' ' << i << '\t';
      writeUtf8(out, connection.DevListBox()[i].caption);
      out << '\n';
    }
    if (!connection.selectedEntry()) {
      err << "qm-cli list: no \"USB to Serial\" cable without a serial number is plugged in\n";
    }
  } catch (const link::EControllerError& error) {
    err << "qm-cli list: " << error.what() << '\n';
    return 1;
  }
  out.flush();
  return 0;
}

int runLog(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  constexpr std::string_view kUsage =
      "usage: qm-cli log [--simulate] [--count N] [--seconds S] [--limit N] [--interval S] [--no-repeat]\n"
      "                  [--out FILE] [--decimal-separator SEP]\n"
      "  --limit N      stop logging once N readings were logged (default 10000, at most 10000000)\n"
      "  --interval S   log at most one reading every S seconds (default: every reading)\n"
      "  --no-repeat    leave out a reading whose value equals the last one logged\n"
      "  --out FILE     also write the readings to FILE: an XML data packet at the end for .xml,\n"
      "                 else a TAB-separated table file, a line as each reading is logged\n";
  bool simulate = false;
  std::optional<long long> count;
  std::optional<long long> seconds;
  std::optional<long long> limit = log::kStartupRecordLimit;
  std::optional<long long> interval;
  bool repeatAllowed = true;
  std::optional<std::string> outFile;
  OutputOptions options;
  const bool parsed = parseArguments(
      args, "log", kUsage, options, err, [&](const std::vector<std::string>& all, std::size_t& i) -> std::optional<std::string> {
        const auto number = [&](std::optional<long long>& target, long long lowest, long long highest) -> std::optional<std::string> {
          target = i + 1 < all.size() ? wholeNumber(all[i + 1], lowest, highest) : std::nullopt;
          if (!target) {
            return all[i] + " needs a whole number from " + std::to_string(lowest) + " to " + std::to_string(highest);
          }
          ++i;
          return std::nullopt;
        };
        if (all[i] == "--simulate") {
          simulate = true;
        } else if (all[i] == "--no-repeat") {
          repeatAllowed = false;
        } else if (all[i] == "--out") {
          if (i + 1 == all.size()) {
            return std::string("--out needs a file name");
          }
          outFile = all[++i];
        } else if (all[i] == "--count") {
          return number(count, 1, 1'000'000'000);
        } else if (all[i] == "--seconds") {
          return number(seconds, 1, 1'000'000'000);
        } else if (all[i] == "--limit") {
          return number(limit, 1, log::kRecordLimits[std::size(log::kRecordLimits) - 1]);
        } else if (all[i] == "--interval") {
          return number(interval, 0, std::numeric_limits<std::int32_t>::max());
        } else {
          return "unknown argument '" + all[i] + "'";
        }
        return std::nullopt;
      });
  if (!parsed) {
    return 2;
  }
  if (options.printState) {
    err << "qm-cli log: --state is not an option of log\n" << kUsage;
    return 2;
  }

  log::ReadingTable table;
  log::ReadingLogger logger(table);
  logger.setRecordLimit(static_cast<std::int32_t>(*limit));
  logger.setRepeatAllowed(repeatAllowed);
  if (interval) {
    logger.setIntervalOn(true);
    logger.RecordSITimeChange(std::to_string(*interval));
  }
  QTimer sampleTicks;
  QObject::connect(&sampleTicks, &QTimer::timeout, [&] { logger.SampInterTimeTimer(); });
  sampleTicks.start(1000);

  std::unique_ptr<ReadingFileWriter> file;
  if (outFile) {
    file = ReadingFileWriter::open(QString::fromLocal8Bit(outFile->c_str()));
    if (!file) {
      err << "qm-cli log: cannot write '" << *outFile << "'\n";
      return 1;
    }
  }

  DecodingPrinter printer(options);
  int status = 0;
  printer.decoder().setLogRequest([&] {
    if (logger.INDataToTable(1, printer.decoder().currentReading()) == log::ReadingLogger::Outcome::OverLimit) {
      err << "qm-cli log: the record limit of " << logger.RecordLimit() << " readings is reached\n";
      QCoreApplication::exit(0);
    }
  });
  QObject::connect(&table, &log::ReadingTable::rowsAppended, [&](std::size_t first, std::size_t added) {
    for (std::size_t row = first; row < first + added; ++row) {
      writeLoggedRow(out, table.row(row));
      if (file && !file->add(table.row(row))) {
        err << "qm-cli log: writing the reading to '" << *outFile << "' failed\n";
        QCoreApplication::exit(1);
      }
    }
    out << std::flush;
    if (count && static_cast<long long>(table.rowCount()) >= *count) {
      QCoreApplication::exit(0);
    }
  });
  link::FrameHold hold([&](std::string_view frameText) { printer.decoder().ShowData840(frameText); });

  try {
    HidSession session(simulate, [&](std::string_view frameText) { hold.offer(frameText); }, err);
    link::CableConnection& connection = session.connection();
    if (!connection.selectedEntry()) {
      err << "qm-cli log: no \"USB to Serial\" cable without a serial number is plugged in\n";
      return 1;
    }
    connection.Panel2Click();
    if (!connection.USBCon()) {
      err << "qm-cli log: the cable cannot be opened for reading\n";
      return 1;
    }

    QTimer watchdog;
    QObject::connect(&watchdog, &QTimer::timeout, [&] {
      connection.ConTimerTimer();
      if (interrupted.load()) {
        QCoreApplication::exit(0);
      } else if (session.superviseLink() == HidSession::LinkState::Ended) {
        status = 1;  // it said why
        QCoreApplication::exit(1);
      }
    });
    watchdog.start(100);
    if (seconds) {
      QTimer::singleShot(std::chrono::seconds(*seconds), [] { QCoreApplication::exit(0); });
    }
    std::signal(SIGINT, onInterrupt);
    std::signal(SIGTERM, onInterrupt);
    status = QCoreApplication::exec();
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    if (file) {
      if (const QString failure = file->finish(table); !failure.isEmpty()) {
        err << "qm-cli log: " << failure.toLocal8Bit().constData() << '\n';
        status = 1;
      }
    }
  } catch (const link::EControllerError& error) {
    err << "qm-cli log: " << error.what() << '\n';
    return 1;
  }
  return status;
}

}  // namespace qm::cli
