#include "cli/link_commands.h"

#include "cli/hid_session.h"
#include "cli/reading_output.h"
#include "link/frame_hold.h"

#include <QCoreApplication>
#include <QTime>
#include <QTimer>

#include <csignal>
#include <fstream>
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
      "usage: qm-cli log [--simulate] [--count N] [--seconds S] [--out FILE] [--decimal-separator SEP]\n";
  bool simulate = false;
  std::optional<long long> count;
  std::optional<long long> seconds;
  std::optional<std::string> outFile;
  OutputOptions options;
  const bool parsed = parseArguments(args, "log", kUsage, options, err,
                                     [&](const std::vector<std::string>& all, std::size_t& i) -> std::optional<std::string> {
                                       if (all[i] == "--simulate") {
                                         simulate = true;
                                       } else if (all[i] == "--out") {
                                         if (i + 1 == all.size()) {
                                           return std::string("--out needs a file name");
                                         }
                                         outFile = all[++i];
                                       } else if (all[i] == "--count" || all[i] == "--seconds") {
                                         std::optional<long long>& target = all[i] == "--count" ? count : seconds;
                                         target = i + 1 < all.size() ? wholeNumber(all[i + 1], 1, 1'000'000'000) : std::nullopt;
                                         if (!target) {
                                           return all[i] + " needs a whole number from 1 to 1000000000";
                                         }
                                         ++i;
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

  std::ofstream file;
  if (outFile) {
    file.open(*outFile, std::ios::binary | std::ios::trunc);
    if (!file) {
      err << "qm-cli log: cannot write '" << *outFile << "'\n";
      return 1;
    }
  }
  std::ostream& lines = outFile ? file : out;

  DecodingPrinter printer(options);
  long long logged = 0;
  int status = 0;
  printer.decoder().setLogRequest([&] {
    ++logged;
    const display::CurrentReading reading = printer.decoder().currentReading();
    lines << logged << '\t' << QTime::currentTime().toString("HH:mm:ss.zzz").toStdString() << '\t';
    for (const std::string_view field : {reading.value, reading.unit, reading.function}) {
      writeUtf8(lines, field);
      lines << '\t';
    }
    writeUtf8(lines, reading.mode);
    lines << '\n' << std::flush;
    if (!lines) {
      err << "qm-cli log: writing the reading failed\n";
      QCoreApplication::exit(1);
    }
    if (count && logged >= *count) {
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
      } else if (!connection.USBCon()) {
        status = 1;  // the watchdog dropped the link and said why
        QCoreApplication::exit(1);
      } else if (connection.CurrentDevice() == nullptr || !connection.CurrentDevice()->Present()) {
        err << "qm-cli log: the cable was unplugged\n";
        status = 1;
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
  } catch (const link::EControllerError& error) {
    err << "qm-cli log: " << error.what() << '\n';
    return 1;
  }
  return status;
}

}  // namespace qm::cli
