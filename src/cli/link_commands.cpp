#include "cli/link_commands.h"

#include "cli/command_usage.h"
#include "cli/link_session.h"
#include "cli/reading_file_writer.h"
#include "cli/reading_output.h"
#include "core/locale_text.h"
#include "meter/live_meter.h"
#include "sim/simulated_desk.h"

#include <QCoreApplication>

#include <iterator>
#include <limits>
#include <optional>
#include <ostream>

namespace qm::cli {
namespace {

// Beyond this the read thread's hand-overs can no longer keep pace with the simulated cable.
constexpr long long kFastestSimulation = 100;

}  // namespace

int runList(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  bool simulate = false;
  for (const std::string& arg : args) {
    if (arg != "--simulate") {
      err << "qm-cli list: unknown argument '" << arg << "'\n" << usage::synopsis(usage::kList);
      return 2;
    }
    simulate = true;
  }
  try {
    const meter::LiveMeter meter(platformFor(simulate));
    const link::CableConnection& connection = meter.connection();
    for (std::size_t i = 0; i < connection.devices().size(); ++i) {
      out << (connection.cableIndex() == i ? '*' : ' ') << ' ' << i << '\t';
      writeUtf8(out, connection.devices()[i].name);
      out << '\n';
    }
    if (!connection.cableIndex()) {
      err << "qm-cli list: no \"USB to Serial\" cable without a serial number is plugged in\n";
    }
  } catch (const link::HidControllerError& error) {
    err << "qm-cli list: " << error.what() << '\n';
    return 1;
  }
  out.flush();
  return 0;
}

int runLog(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
           std::unique_ptr<link::HidPlatform> platform) {
  bool simulate = false;
  std::optional<long long> count;
  std::optional<long long> seconds;
  std::optional<long long> limit = log::kStartupRecordLimit;
  std::optional<long long> interval;
  std::optional<long long> from;
  std::optional<long long> speed;
  bool repeatAllowed = true;
  std::optional<std::string> outFile;
  OutputOptions options;
  const bool parsed = parseArguments(
      args, "log", usage::synopsis(usage::kLog), options, err, [&](const std::vector<std::string>& all, std::size_t& i) -> std::optional<std::string> {
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
        } else if (all[i] == "--from") {
          return number(from, 0, 1'000'000'000);
        } else if (all[i] == "--speed") {
          return number(speed, 1, kFastestSimulation);
        } else {
          return "unknown argument '" + all[i] + "'";
        }
        return std::nullopt;
      });
  if (!parsed) {
    return 2;
  }
  if (options.printState) {
    err << "qm-cli log: --state is not an option of log\n" << usage::synopsis(usage::kLog);
    return 2;
  }
  if ((from || speed) && !simulate) {
    err << "qm-cli log: --from and --speed run the simulated meter: they need --simulate\n" << usage::synopsis(usage::kLog);
    return 2;
  }
  // Elsewhere in the simulated meter's programme, or faster: a cable of its own, whose time the
  // log then follows.
  std::shared_ptr<sim::VirtualCable> cable;
  if (from || speed) {
    cable = std::make_shared<sim::VirtualCable>(
        sim::VirtualCable::Pace::RealTime, sim::CableReportStream::kDefaultFramePeriod,
        sim::ProgrammeRun{std::chrono::seconds(from.value_or(0)), static_cast<double>(speed.value_or(1))});
    platform = sim::simulatedDesk(cable);
  }
  const bool meterTime = speed.value_or(1) > 1;

  std::unique_ptr<ReadingFileWriter> file;
  if (outFile) {
    QString whyNot;
    file = ReadingFileWriter::open(QString::fromLocal8Bit(outFile->c_str()), whyNot);
    if (!file) {
      err << "qm-cli log: cannot write '" << *outFile << "': " << whyNot.toLocal8Bit().constData() << '\n';
      return 1;
    }
  }

  try {
    meter::LiveMeter meter(platform ? std::move(platform) : platformFor(simulate));
    meter.setDecimalSeparator(options.decimalSeparator ? *options.decimalSeparator : systemDecimalSeparator());
    if (meterTime) {
      meter.followMeterTime(static_cast<int>(*speed), [cable] { return cable->meterTime(); });
      // The meter's seconds, not the wall clock's, end the log.
      const auto endAtMeterTime = [cable, seconds] {
        if (seconds && cable->meterTime() >= std::chrono::seconds(*seconds)) {
          QCoreApplication::exit(0);
        }
      };
      QObject::connect(&meter, &meter::LiveMeter::frameDecoded, endAtMeterTime);
      QObject::connect(&meter, &meter::LiveMeter::linkTimerTicked, endAtMeterTime);
    }
    log::ReadingLogger& logger = meter.logger();
    logger.setRecordLimit(static_cast<std::int32_t>(*limit));
    logger.setRepeatAllowed(repeatAllowed);
    if (interval) {
      logger.setIntervalOn(true);
      logger.setStartingIntervalText(std::to_string(*interval));
    }
    QObject::connect(&meter, &meter::LiveMeter::readingNotLogged, [&](log::ReadingLogger::Outcome why) {
      if (why == log::ReadingLogger::Outcome::OverLimit) {
        err << "qm-cli log: the record limit of " << logger.recordLimit() << " readings is reached\n";
        QCoreApplication::exit(0);
      }
    });
    QObject::connect(&meter, &meter::LiveMeter::readingLogged, [&](std::size_t row) {
      const log::RowFields fields = meter.table().row(row);
      writeLoggedRow(out, fields);
      out << std::flush;
      if (file && !file->add(fields)) {
        err << "qm-cli log: writing the reading to '" << *outFile << "' failed\n";
        QCoreApplication::exit(1);
      }
      if (count && static_cast<long long>(meter.table().rowCount()) >= *count) {
        QCoreApplication::exit(0);
      }
    });

    int status = runConnected(meter, "log", meterTime ? std::nullopt : seconds, err);
    if (file) {
      if (const QString failure = file->finish(meter.table()); !failure.isEmpty()) {
        err << "qm-cli log: cannot write '" << *outFile << "': " << failure.toLocal8Bit().constData() << '\n';
        status = 1;
      }
    }
    return status;
  } catch (const link::HidControllerError& error) {
    err << "qm-cli log: " << error.what() << '\n';
    return 1;
  }
}

}  // namespace qm::cli
