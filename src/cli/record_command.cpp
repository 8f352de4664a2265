#include "cli/record_command.h"

#include "cli/command_usage.h"
#include "cli/link_session.h"
#include "cli/output_file.h"
#include "cli/reading_output.h"
#include "meter/live_meter.h"

#include <QCoreApplication>
#include <QFile>

#include <optional>
#include <ostream>

namespace qm::cli {

std::string reportLine(const QByteArray& data) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string line;
  line.reserve(static_cast<std::size_t>(data.size()) * 3);
  for (const char c : data) {
    const auto byte = static_cast<unsigned char>(c);
    if (!line.empty()) {
      line += ' ';
    }
    line += kHex[byte >> 4];
    line += kHex[byte & 0x0F];
  }
  return line;
}

int runRecord(const std::vector<std::string>& args, std::ostream& out, std::ostream& err,
              std::unique_ptr<link::HidPlatform> platform) {
  bool simulate = false;
  std::optional<long long> seconds;
  std::optional<long long> count;
  std::vector<std::string> files;
  const auto refuse = [&err](const std::string& why) {
    err << "qm-cli record: " << why << '\n' << usage::synopsis(usage::kRecord);
    return 2;
  };
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--simulate") {
      simulate = true;
    } else if (arg == "--seconds" || arg == "--count") {
      std::optional<long long>& target = arg == "--seconds" ? seconds : count;
      target = i + 1 < args.size() ? wholeNumber(args[i + 1], 1, 1'000'000'000) : std::nullopt;
      if (!target) {
        return refuse(arg + " needs a whole number from 1 to 1000000000");
      }
      ++i;
    } else if (arg.size() > 1 && arg[0] == '-') {
      return refuse("unknown option '" + arg + "'");
    } else {
      files.push_back(arg);
    }
  }
  if (files.size() != 1) {
    return refuse("expected one output file");
  }
  const std::string& outName = files.front();
  const bool toStandardOutput = outName == "-";
  QFile file(QFile::decodeName(QByteArray::fromStdString(outName)));
  if (const QString whyNot = toStandardOutput ? QString() : whyNotWritableLater(file.fileName()); !whyNot.isEmpty()) {
    err << "qm-cli record: cannot write '" << outName << "': " << whyNot.toStdString() << '\n';
    return 1;
  }

  try {
    meter::LiveMeter meter(platform ? std::move(platform) : platformFor(simulate));
    long long recorded = 0;
    QObject::connect(&meter, &meter::LiveMeter::reportRead, [&](quint8, const QByteArray& data) {
      const std::string line = reportLine(data) + '\n';
      if (toStandardOutput) {
        out << line << std::flush;
      } else if ((!file.isOpen() && !file.open(QIODevice::WriteOnly | QIODevice::Truncate)) ||
                 file.write(line.data(), static_cast<qint64>(line.size())) != static_cast<qint64>(line.size()) ||
                 !file.flush()) {
        err << "qm-cli record: cannot write '" << outName << "': " << file.errorString().toStdString() << '\n';
        QCoreApplication::exit(1);
        return;
      }
      if (count && ++recorded >= *count) {
        QCoreApplication::exit(0);
      }
    });
    return runConnected(meter, "record", seconds, err);
  } catch (const link::HidControllerError& error) {
    err << "qm-cli record: " << error.what() << '\n';
    return 1;
  }
}

}  // namespace qm::cli
