#pragma once

// The insulation test analysis window (Analysis > "Insulation Test..."): the resistance-time curve
// of the chosen run on a logarithmic axis with marks at 30 s, 60 s and 600 s, its indices and its
// verdict, and the test record. It follows the reading table as readings are logged, so a test in
// progress grows on screen (DAR once it has passed a minute, PI once ten). It keeps the test record
// in step with the table file that "Open" and "Save As..." read and write. The analysis itself
// lives in src/analysis; this window only shows it. "Save Report..." saves the insulation test
// report of every run (src/reports) as a PDF, as `qm-cli report --layout insulation` does, under
// the window's limits.

#include "analysis/insulation_indices.h"
#include "analysis/run_tracker.h"
#include "analysis/test_record_keeper.h"

#include <QWidget>

#include <array>
#include <functional>
#include <string>

QT_BEGIN_NAMESPACE
class QChart;
class QComboBox;
class QLabel;
class QLineSeries;
class QLogValueAxis;
class QValueAxis;
QT_END_NAMESPACE

namespace qm::log {
class ReadingTable;
}

namespace qm::app {

class TableFileCommands;
class TestRecordDialog;

class AnalysisWindow : public QWidget {
  Q_OBJECT
public:
  // Shows a prepared test record dialog; true when the user accepted it. Tests answer it without
  // a dialog on screen.
  using RecordDialogRunner = std::function<bool(TestRecordDialog& dialog)>;
  // Tells the user something went wrong with the test record's file or a saved report.
  using ProblemShower = std::function<void(const QString& text)>;
  // Asks where to save the report; empty when the user cancelled. Tests answer it without a dialog.
  using ReportFileAsker = std::function<QString()>;

  AnalysisWindow(const log::ReadingTable& table, TableFileCommands& tableFiles, const std::string& decimalSeparator,
                 QWidget* parent);

  void setRecordDialogRunner(RecordDialogRunner runner) { runRecordDialog_ = std::move(runner); }
  void setProblemShower(ProblemShower shower) { showProblem_ = std::move(shower); }
  void setReportFileAsker(ReportFileAsker asker) { askReportFile_ = std::move(asker); }

  const analysis::TestRecordKeeper& testRecords() const { return records_; }
  // The record dialog, and the record written when the user accepts it.
  void editTestRecord();
  // The insulation test report of every run, as a PDF where the user says; ".pdf" is added to a
  // name without it.
  void saveReport();

protected:
  void showEvent(QShowEvent* event) override;

private:
  void buildChart();
  void followRuns();
  void showRun();
  void showIndices(const analysis::TestRun* run);
  void showCurve(const analysis::TestRun* run);
  void showRecordSummary();
  void reportProblem(const QString& problem);

  analysis::RunTracker tracker_;
  analysis::TestRecordKeeper records_;
  analysis::AnalysisSettings settings_;
  // The run list follows the newest run until the user picks an earlier one.
  bool followNewest_ = true;

  QComboBox* runList_;
  QComboBox* windingChoice_;
  QComboBox* darChoice_;
  QChart* chart_;
  QLineSeries* curve_;
  QValueAxis* timeAxis_;
  QLogValueAxis* resistanceAxis_;
  std::array<QLineSeries*, 3> marks_{};
  QLabel* recordSummary_;
  std::array<QLabel*, 8> values_{};  // R15, R30, R60, R600, DAR, PI, meter's PI, R60 at 40 °C
  QLabel* verdict_;
  QLabel* reasons_;

  RecordDialogRunner runRecordDialog_;
  ProblemShower showProblem_;
  ReportFileAsker askReportFile_;
};

}  // namespace qm::app
