#include "reports/print_style_dialog.h"

#include "reports/report_picture.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QStyle>

namespace qm::reports {
namespace {

QFont arial(int points, bool bold, bool italic) {
  QFont font(QStringLiteral("Arial"));
  font.setPointSize(points);
  font.setBold(bold);
  font.setItalic(italic);
  return font;
}

void setTextColour(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::WindowText, colour);
  palette.setColor(QPalette::ButtonText, colour);
  widget->setPalette(palette);
}

QRadioButton* addChoice(QWidget* group, const char* name, const QString& caption, int top, int width) {
  auto* radio = new QRadioButton(caption, group);
  radio->setObjectName(QLatin1String(name));
  radio->setGeometry(16, top, width, 28);
  radio->setFont(arial(14, true, true));
  setTextColour(radio, QColor(128, 0, 128));
  return radio;
}

QPushButton* addPictureButton(QWidget* group, const char* name, int left, int top) {
  auto* button = new QPushButton(QStringLiteral("..."), group);
  button->setObjectName(QLatin1String(name));
  button->setGeometry(left, top, 21, 21);
  button->setToolTip(QStringLiteral("Select Graph"));
  button->setCursor(Qt::PointingHandCursor);
  button->setAutoDefault(false);
  button->setFont(arial(9, true, false));
  setTextColour(button, QColor(0, 128, 0));
  return button;
}

QString runModally(QFileDialog& dialog) {
  return dialog.exec() == QDialog::Accepted && !dialog.selectedFiles().isEmpty() ? dialog.selectedFiles().constFirst()
                                                                               : QString();
}

// The picture dialog starts at the root of drive C: on Windows; elsewhere at the home folder,
// where the chart's snapshot folder lies.
QString initialPictureFolder() {
#ifdef Q_OS_WIN
  return QStringLiteral("c:\\");
#else
  return QDir::homePath();
#endif
}

}  // namespace

const QString PrintStyleDialog::kNoPictureWarning = QStringLiteral(" Warning:Please select graph to print! ");

PrintStyleDialog::PrintStyleDialog(QWidget* parent, ReportOpener openReport)
    : QDialog(parent), openReport_(std::move(openReport)), runFileDialog_(runModally) {
  setObjectName(QStringLiteral("Frmprint"));
  setWindowTitle(QStringLiteral("Print Style"));
  setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint);
  setFixedSize(297, 236);

  auto* group = new QGroupBox(QStringLiteral("Select  Style"), this);
  group->setObjectName(QStringLiteral("GroupBox1"));
  group->setGeometry(16, 16, 265, 169);
  group->setFont(arial(9, true, true));
  setTextColour(group, QColor(0, 0, 255));

  dataReport_ = addChoice(group, "RadioButton1", QStringLiteral("Data Report"), 36, 150);
  graphReport_ = addChoice(group, "RadioButton2", QStringLiteral("Graph Report"), 72, 150);
  dataGraphReport_ = addChoice(group, "RadioButton3", QStringLiteral("Data+Graph Report"), 108, 205);
  dataReport_->setChecked(true);
  QPushButton* graphPicture = addPictureButton(group, "Button1", 172, 76);
  QPushButton* dataGraphPicture = addPictureButton(group, "Button2", 224, 116);
  // The "..." buttons lie on their choices' captions: raised, so that they take the clicks.
  graphPicture->raise();
  dataGraphPicture->raise();
  connect(graphPicture, &QPushButton::clicked, this, &PrintStyleDialog::choosePicture);
  connect(dataGraphPicture, &QPushButton::clicked, this, &PrintStyleDialog::choosePicture);

  auto* ok = new QPushButton(style()->standardIcon(QStyle::SP_DialogOkButton), QStringLiteral("OK"), this);
  ok->setObjectName(QStringLiteral("BitBtn1"));
  ok->setGeometry(28, 192, 73, 29);
  ok->setDefault(true);
  connect(ok, &QPushButton::clicked, this, &PrintStyleDialog::accept);
  // Esc rejects the dialog as the Cancel button does.
  auto* cancel = new QPushButton(style()->standardIcon(QStyle::SP_DialogCancelButton), QStringLiteral("Cancel"), this);
  cancel->setObjectName(QStringLiteral("BitBtn2"));
  cancel->setGeometry(176, 192, 81, 33);
  cancel->setAutoDefault(false);
  connect(cancel, &QPushButton::clicked, this, &PrintStyleDialog::reject);
}

ReportKind PrintStyleDialog::choice() const {
  if (graphReport_->isChecked()) {
    return ReportKind::Graph;
  }
  return dataGraphReport_->isChecked() ? ReportKind::DataGraph : ReportKind::Data;
}

void PrintStyleDialog::choosePicture() {
  QFileDialog dialog(this);
  dialog.setObjectName(QStringLiteral("OpenPictureDialog1"));
  dialog.setAcceptMode(QFileDialog::AcceptOpen);
  dialog.setFileMode(QFileDialog::ExistingFile);
  dialog.setNameFilter(reportPictureFilter());
  dialog.setDirectory(graphPictureFile_.isEmpty() ? initialPictureFolder() : QFileInfo(graphPictureFile_).absolutePath());
  if (const QString chosen = runFileDialog_(dialog); !chosen.isEmpty()) {
    graphPictureFile_ = QFileInfo(chosen).absoluteFilePath();
  }
}

void PrintStyleDialog::accept() {
  openChosenReport();
  QDialog::accept();
}

void PrintStyleDialog::openChosenReport() {
  const ReportKind kind = choice();
  if (kind == ReportKind::Data) {
    openReport_(kind, {});
    return;
  }
  if (graphPictureFile_.isEmpty()) {
    QMessageBox box(QMessageBox::Information, QApplication::applicationName(), kNoPictureWarning, QMessageBox::Ok, this);
    box.exec();
    return;
  }
  const LoadedPicture picture = loadReportPicture(graphPictureFile_);
  if (picture.image.isNull()) {
    QMessageBox box(QMessageBox::Critical, QApplication::applicationName(), picture.error, QMessageBox::Ok, this);
    box.exec();
    return;
  }
  openReport_(kind, picture.image);
}

}  // namespace qm::reports
