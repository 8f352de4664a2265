#pragma once

// The test record dialog: what was tested, where, by whom, and in what conditions. It accepts only
// a temperature and a humidity that are numbers in their ranges (or left blank); anything else is
// said beside the buttons, and the dialog stays open with what was typed.

#include "analysis/test_record.h"

#include <QDialog>

QT_BEGIN_NAMESPACE
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
QT_END_NAMESPACE

namespace qm::app {

class TestRecordDialog : public QDialog {
  Q_OBJECT
public:
  TestRecordDialog(const analysis::TestRecord& record, QWidget* parent);

  // The record as entered, once the dialog was accepted.
  const analysis::TestRecord& record() const { return record_; }

  void accept() override;

private:
  analysis::TestRecord record_;
  QLineEdit* assetId_;
  QLineEdit* assetDescription_;
  QLineEdit* site_;
  QLineEdit* operatorName_;
  QLineEdit* ambient_;
  QLineEdit* humidity_;
  QComboBox* insulationClass_;
  QPlainTextEdit* notes_;
  QLabel* error_;
};

}  // namespace qm::app
