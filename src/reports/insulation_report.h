#pragma once

// The insulation test report: one A4 page per test run, drawn by the report engine's page painter
// like the band reports and saved as PDF the same way. A page holds the test record, the run's
// resistance-time curve, its indices with the one-minute resistance corrected to 40 °C, the verdict
// and its reasons, and lines to sign and date for the test and for its check. Pages are placed
// when asked for.

#include "analysis/insulation_indices.h"
#include "analysis/test_record.h"
#include "analysis/test_runs.h"
#include "log/time_of_day_format.h"
#include "reports/page_source.h"
#include "reports/report_document.h"

#include <QString>

#include <optional>
#include <vector>

namespace qm::reports {

struct InsulationReportOptions {
  // As "Print Date:" shows it. Empty: today, in the system's short date format.
  QString printDate;
  // The user's long time format, for the time a run started.
  std::optional<log::TimeOfDayFormat> timeFormat;
  // The limits the verdict is given against; IEEE 43's unless changed.
  analysis::AnalysisSettings settings;
};

class InsulationReport : public PageSource {
public:
  // `runs` holds at least one run; their indices follow from `record`'s ambient temperature and
  // insulation class.
  InsulationReport(std::vector<analysis::TestRun> runs, analysis::TestRecord record, InsulationReportOptions options);

  static QString title();

  // The texts, lines and curve of the page of run `page`.
  PageContent pageContent(std::size_t page) const;

  std::size_t pageCount() const override { return runs_.size(); }
  QSizeF pageSize(std::size_t page) const override;
  void paintPage(QPainter& painter, std::size_t page, double pixelsPerMm) const override;

private:
  std::vector<analysis::TestRun> runs_;
  std::vector<analysis::InsulationIndices> indices_;
  analysis::TestRecord record_;
  QString printDate_;
  log::TimeOfDayFormat timeFormat_;
  analysis::AnalysisSettings settings_;
};

}  // namespace qm::reports
