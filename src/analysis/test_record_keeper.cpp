#include "analysis/test_record_keeper.h"

#include <QFile>

namespace qm::analysis {

QString TestRecordKeeper::setRecord(const TestRecord& record) {
  record_ = record;
  return tableFile_.isEmpty() ? QString() : writeBeside();
}

QString TestRecordKeeper::tableOpened(const QString& fileName) {
  tableFile_ = fileName;
  TestRecordRead read = readTestRecord(fileName);
  record_ = read.record.value_or(TestRecord{});
  return read.error;
}

QString TestRecordKeeper::tableSaved(const QString& fileName) {
  tableFile_ = fileName;
  return writeBeside();
}

QString TestRecordKeeper::writeBeside() {
  if (!record_.isEmpty()) {
    return writeTestRecord(tableFile_, record_);
  }
  const QString sideFile = testRecordFileName(tableFile_);
  if (QFile::exists(sideFile) && !QFile::remove(sideFile)) {
    return QStringLiteral("cannot remove %1, which belongs to the table the save replaced").arg(sideFile);
  }
  return {};
}

}  // namespace qm::analysis
