#pragma once

// The print-style dialog "Frmprint": created hidden at start-up; the hidden File menu item
// "  Print" is the only command that shows it. The user picks the data, the graph or the
// data+graph report and, with "...", the picture the graph reports print. The choice and the
// picture's path stay from one opening to the next, for as long as the program runs.
//
// OK opens the chosen report through the opener the window gives it, after checking the picture
// of the graph reports: none chosen gives a warning, one that cannot be read gives the loader's
// error; neither opens a report. The dialog closes with OK whatever happened.

#include "reports/report_layout.h"

#include <QDialog>
#include <QImage>
#include <QString>

#include <functional>

QT_BEGIN_NAMESPACE
class QFileDialog;
class QRadioButton;
QT_END_NAMESPACE

namespace qm::reports {

class PrintStyleDialog : public QDialog {
  Q_OBJECT
public:
  // Opens report `kind`, with `picture` for the graph reports.
  using ReportOpener = std::function<void(ReportKind kind, const QImage& picture)>;
  // Shows the prepared picture dialog and returns the chosen full name, or an empty text when the
  // user cancelled. Tests put their own in place.
  using FileDialogRunner = std::function<QString(QFileDialog& dialog)>;

  static const QString kNoPictureWarning;

  PrintStyleDialog(QWidget* parent, ReportOpener openReport);

  void setFileDialogRunner(FileDialogRunner runner) { runFileDialog_ = std::move(runner); }

  // GraphPictureFile: the full path of the chosen picture; empty until one is chosen.
  const QString& graphPictureFile() const { return graphPictureFile_; }
  ReportKind choice() const;

  // "...": the picture dialog; a confirmed file becomes the picture, a cancel keeps the old one.
  void choosePicture();
  // OK: opens the chosen report, then closes the dialog with OK.
  void accept() override;

private:
  void openChosenReport();

  ReportOpener openReport_;
  FileDialogRunner runFileDialog_;
  QString graphPictureFile_;
  QRadioButton* dataReport_ = nullptr;
  QRadioButton* graphReport_ = nullptr;
  QRadioButton* dataGraphReport_ = nullptr;
};

}  // namespace qm::reports
