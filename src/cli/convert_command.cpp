#include "cli/convert_command.h"

#include "cli/command_usage.h"
#include "log/table_files.h"

#include <QFile>

#include <ostream>

namespace qm::cli {
int runConvert(const std::vector<std::string>& args, std::ostream& err) {
  for (const std::string& arg : args) {
    // A mistyped option must not become a file name.
    if (arg.size() > 1 && arg[0] == '-') {
      err << "qm-cli convert: unknown option '" << arg << "'\n" << usage::synopsis(usage::kConvert);
      return 2;
    }
  }
  if (args.size() != 2) {
    err << "qm-cli convert: expected two file names\n" << usage::synopsis(usage::kConvert);
    return 2;
  }
  const QString in = QFile::decodeName(QByteArray::fromStdString(args[0]));
  const QString out = QFile::decodeName(QByteArray::fromStdString(args[1]));
  const log::TimeOfDayFormat timeFormat = log::TimeOfDayFormat::systemLongTime();

  log::ReadingTable table;
  const log::TableFileOutcome loaded = log::loadTableFromFile(in, table, timeFormat);
  if (!loaded.ok) {
    err << "qm-cli convert: " << args[0] << ": " << loaded.detail.toStdString() << '\n';
    return 1;
  }
  const log::TableFileOutcome saved = log::saveTableToFile(table, out, timeFormat);
  if (!saved.ok) {
    err << "qm-cli convert: cannot write '" << args[1] << "': " << saved.detail.toStdString() << '\n';
    return 1;
  }
  return 0;
}

}  // namespace qm::cli
