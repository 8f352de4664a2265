#pragma once

// Tables and reports for the reports' tests: rows by their fields, a log of any length built
// quickly, and reports with a fixed date and a 24-hour time format so that texts are exact.

#include "log/reading_table.h"
#include "log/row_fixtures.h"
#include "log/time_of_day_format.h"
#include "reports/report_document.h"

#include <QLocale>

#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace reports_test {

using qm::log::ReadingTable;
using qm::log::RowFields;
using qm::log::TextField;
using qm::log::TimeOfDay;

using row_fixtures::at;
using row_fixtures::rowOf;

// Rows numbered from `firstNo`, half a second apart from 08:00, an insulation reading each.
inline void appendLog(ReadingTable& table, std::size_t rows, int firstNo = 1) {
  std::string value;
  for (std::size_t i = 0; i < rows; ++i) {
    value = std::to_string(i % 10000);
    table.appendAdded(rowOf(firstNo + static_cast<int>(i), static_cast<TimeOfDay>((at(8, 0, 0) + i * 500) % qm::log::kMillisecondsPerDay),
                            value, "M\xA6\xB8", "IR:500V 20G\xA6\xB8", "Continuous"));
  }
}

inline qm::log::TimeOfDayFormat fixedTimeFormat() { return {QStringLiteral("HH:mm:ss"), QLocale::c()}; }

inline std::unique_ptr<qm::reports::ReportDocument> reportOf(qm::reports::ReportKind kind, const ReadingTable* table,
                                                             QImage picture = {}) {
  qm::reports::ReportOptions options;
  options.printDate = QStringLiteral("2024-05-17");
  options.timeFormat = fixedTimeFormat();
  options.picture = std::move(picture);
  return std::make_unique<qm::reports::ReportDocument>(kind, table, std::move(options));
}

// A picture of one colour, as the graph reports stretch it.
inline QImage plainPicture(QColor colour = QColor(0, 160, 0)) {
  QImage picture(64, 48, QImage::Format_RGB32);
  picture.fill(colour);
  return picture;
}

}  // namespace reports_test
