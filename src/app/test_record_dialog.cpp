#include "app/test_record_dialog.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QVBoxLayout>

namespace qm::app {
namespace {

template <typename Widget>
Widget* named(Widget* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

QLineEdit* lineEdit(QWidget* parent, const char* name, const QString& text) {
  return named(new QLineEdit(text, parent), name);
}

QString measurementText(const std::optional<double>& value) {
  return value ? QLocale::system().toString(*value) : QString();
}

}  // namespace

TestRecordDialog::TestRecordDialog(const analysis::TestRecord& record, QWidget* parent)
    : QDialog(parent),
      record_(record),
      assetId_(lineEdit(this, "AssetId", record.assetId)),
      assetDescription_(lineEdit(this, "AssetDescription", record.assetDescription)),
      site_(lineEdit(this, "Site", record.site)),
      operatorName_(lineEdit(this, "Operator", record.operatorName)),
      ambient_(lineEdit(this, "AmbientTemperature", measurementText(record.ambientCelsius))),
      humidity_(lineEdit(this, "Humidity", measurementText(record.humidityPercent))),
      insulationClass_(named(new QComboBox(this), "InsulationClass")),
      notes_(named(new QPlainTextEdit(record.notes, this), "Notes")),
      error_(named(new QLabel(this), "RecordError")) {
  setObjectName(QStringLiteral("TestRecordDialog"));
  setWindowTitle(QStringLiteral("Test Record"));
  insulationClass_->setEditable(true);
  insulationClass_->addItems({QString(), QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("F"), QStringLiteral("H")});
  insulationClass_->setCurrentText(record.insulationClass);
  notes_->setTabChangesFocus(true);
  error_->setStyleSheet(QStringLiteral("color: #b00000"));
  error_->setWordWrap(true);

  auto* form = new QFormLayout;
  form->addRow(QStringLiteral("Asset ID:"), assetId_);
  form->addRow(QStringLiteral("Asset description:"), assetDescription_);
  form->addRow(QStringLiteral("Site:"), site_);
  form->addRow(QStringLiteral("Operator:"), operatorName_);
  form->addRow(QStringLiteral("Ambient temperature (°C):"), ambient_);
  form->addRow(QStringLiteral("Relative humidity (%):"), humidity_);
  form->addRow(QStringLiteral("Insulation class:"), insulationClass_);
  form->addRow(QStringLiteral("Notes:"), notes_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &TestRecordDialog::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(error_);
  layout->addWidget(buttons);
  resize(420, sizeHint().height());
}

void TestRecordDialog::accept() {
  analysis::TestRecord entered;
  if (!analysis::parseMeasurement(ambient_->text(), analysis::kLowestAmbientCelsius, analysis::kHighestAmbientCelsius,
                                  entered.ambientCelsius)) {
    error_->setText(QStringLiteral("The ambient temperature must be a number of degrees Celsius from %1 to %2, or blank.")
                        .arg(analysis::kLowestAmbientCelsius)
                        .arg(analysis::kHighestAmbientCelsius));
    ambient_->setFocus();
    return;
  }
  if (!analysis::parseMeasurement(humidity_->text(), 0.0, analysis::kHighestHumidityPercent, entered.humidityPercent)) {
    error_->setText(QStringLiteral("The relative humidity must be a number of percent from 0 to %1, or blank.")
                        .arg(analysis::kHighestHumidityPercent));
    humidity_->setFocus();
    return;
  }
  entered.assetId = assetId_->text().trimmed();
  entered.assetDescription = assetDescription_->text().trimmed();
  entered.site = site_->text().trimmed();
  entered.operatorName = operatorName_->text().trimmed();
  entered.insulationClass = insulationClass_->currentText().trimmed();
  entered.notes = notes_->toPlainText();
  record_ = entered;
  QDialog::accept();
}

}  // namespace qm::app
