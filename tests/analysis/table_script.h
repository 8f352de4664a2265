#pragma once

// Reading tables written as a line of text, so a test case shows its rows at a glance:
//   "1 10:00:00 975.6 M 500; 2 10:00:01.5 L M 500 PI; x3 10:00:02 1.020 G 1k"
// Each row: No, time of day (H:mm:ss with an optional .zzz of three digits, or "-" for none), value ("''" for an
// empty one), unit (V, O for Ω, M for MΩ, G for GΩ), function (500, 1k, 2.5k, 5k for the
// insulation tests, dc, ac), and optionally the mode (default Continuous). A leading "x" marks a
// row deleted through the grid.

#include "core/current_reading.h"
#include "log/reading_table.h"

#include <QString>
#include <QStringList>
#include <QTime>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

namespace table_script {

inline std::string_view unitText(const QString& code) {
  static const std::map<QString, std::string_view> units = {
      {"V", qm::unit::kVolt}, {"O", qm::unit::kOhm}, {"M", qm::unit::kMegaOhm}, {"G", qm::unit::kGigaOhm}};
  return units.at(code);
}

inline std::string_view functionText(const QString& code) {
  static const std::map<QString, std::string_view> functions = {
      {"500", qm::function::kInsulation500V},   {"1k", qm::function::kInsulation1000V},
      {"2.5k", qm::function::kInsulation2500V}, {"5k", qm::function::kInsulation5000V},
      {"dc", qm::function::kDcVolts},           {"ac", qm::function::kAcVolts}};
  return functions.at(code);
}

// Appends the rows of `script` to `table` as logged rows, and deletes those marked "x".
inline void fill(qm::log::ReadingTable& table, const QString& script) {
  std::vector<std::size_t> deleted;
  for (const QString& line : script.split(';', Qt::SkipEmptyParts)) {
    QStringList fields = line.split(' ', Qt::SkipEmptyParts);
    const bool remove = fields[0].startsWith('x');
    if (remove) {
      fields[0].remove(0, 1);
    }
    qm::log::RowFields row;
    row.No = fields[0].toInt();
    if (fields[1] != "-") {
      const QTime time = QTime::fromString(fields[1], fields[1].contains('.') ? "H:mm:ss.zzz" : "H:mm:ss");
      if (!time.isValid()) {
        throw std::invalid_argument("bad time in table script");
      }
      row.Time = time.msecsSinceStartOfDay();
    }
    const std::string value = fields[2] == "''" ? std::string() : fields[2].toStdString();
    row.text(qm::log::TextField::Value) = value;
    row.text(qm::log::TextField::Unit) = unitText(fields[3]);
    row.text(qm::log::TextField::V_Range) = functionText(fields[4]);
    const std::string mode = fields.size() > 5 ? fields[5].toStdString() : std::string(qm::mode::kContinuous);
    row.text(qm::log::TextField::I_Range) = mode;
    table.appendAdded(row);
    if (remove) {
      deleted.push_back(table.rowCount() - 1);
    }
  }
  for (auto at = deleted.rbegin(); at != deleted.rend(); ++at) {
    table.deleteRow(*at);
  }
}

}  // namespace table_script
