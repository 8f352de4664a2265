#pragma once

// The test record of the table being worked on, and its side file. Opening a table file brings
// that file's record (none when it has no side file); saving the table writes the record beside
// the new file; a record entered while the table has a file is written at once. Until the table
// has a file the record is only kept here, and is written with the first save.

#include "analysis/test_record.h"

#include <QString>

namespace qm::analysis {

class TestRecordKeeper {
public:
  const TestRecord& record() const { return record_; }
  const QString& tableFileName() const { return tableFile_; }

  // Each returns what went wrong, naming the side file, or an empty text.
  // A record the user entered.
  QString setRecord(const TestRecord& record);
  // The table was read from `fileName`: a bad side file leaves an empty record.
  QString tableOpened(const QString& fileName);
  // The table was written to `fileName`. A side file left there by an earlier table is removed
  // when there is no record to write, so it cannot be read back with the new table.
  QString tableSaved(const QString& fileName);

private:
  QString writeBeside();

  TestRecord record_;
  QString tableFile_;
};

}  // namespace qm::analysis
