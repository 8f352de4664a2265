#pragma once

// The test runs of a reading table, kept up to date while the table changes: rows appended by
// logging or a text load extend the runs as they come (the last run grows while a test is being
// logged), and a deleted row or a wholesale change (Clear All, a packet load) finds them afresh.

#include "analysis/test_runs.h"
#include "log/reading_table.h"

#include <QObject>

#include <string>
#include <vector>

namespace qm::analysis {

class RunTracker : public QObject {
  Q_OBJECT
public:
  // The table must outlive the tracker.
  RunTracker(const log::ReadingTable& table, std::string decimalSeparator, QObject* parent = nullptr);

  const std::vector<TestRun>& runs() const { return finder_.runs(); }
  bool lastRunOpen() const { return finder_.lastRunOpen(); }

signals:
  void runsChanged();

private:
  void appendRows(std::size_t first);
  void findAgain();

  const log::ReadingTable& table_;
  RunFinder finder_;
};

}  // namespace qm::analysis
