#pragma once

// The print preview: a window of its own, not modal, so the main window goes on logging while it
// is open. It shows a report's pages (or those of a PDF report loaded from disk), zooms them to
// the page, to their actual size or to the window's width, pages through them, and prints, saves
// and loads. Long saves and prints show their progress and can be cancelled.
//
// A report shows the rows the table held when it was opened, and keeps them: readings logged since
// are not in it, and a Clear All, an Open or a deleted row leaves its pages as they were (the
// report then reads a copy of its rows; see TableSnapshot). A new "Print Data" shows the new rows.

#include "reports/pdf_pages.h"
#include "reports/report_document.h"
#include "reports/report_export.h"

#include <QMainWindow>
#include <QPrinter>

#include <functional>
#include <memory>

QT_BEGIN_NAMESPACE
class QAction;
class QFileDialog;
class QLabel;
class QSpinBox;
QT_END_NAMESPACE

namespace qm::reports {

class PageView;

class ReportPreview : public QMainWindow {
  Q_OBJECT
public:
  // Shows a prepared file dialog and returns the chosen full name, or an empty text when the user
  // cancelled. Tests put their own in place to answer without a dialog on screen.
  using FileDialogRunner = std::function<QString(QFileDialog& dialog)>;

  ReportPreview(std::unique_ptr<ReportDocument> report, QWidget* parent = nullptr);
  ~ReportPreview() override;

  void setFileDialogRunner(FileDialogRunner runner) { runFileDialog_ = std::move(runner); }

  // The report it was opened with, and the pages it shows now (the report's, or a loaded PDF's).
  const ReportDocument& report() const { return *report_; }
  const PageSource& pages() const;
  bool showsLoadedFile() const { return loaded_ != nullptr; }
  PageView& view() { return *view_; }
  QPrinter& printer() { return printer_; }

  // The commands of its tool bar.
  void goToFirstPage();
  void goToPreviousPage();
  void goToNextPage();
  void goToLastPage();
  void printerSetup();
  void print();
  void save();
  void load();

  // What print, save and load do once the user has chosen: each reports its failure in a message
  // box and shows its progress when it takes long. Pages count from 0.
  bool printPages(QPrinter& printer, std::size_t first, std::size_t last);
  ExportOutcome saveTo(const QString& fileName);
  bool loadFrom(const QString& fileName);

signals:
  // The user closed the window (it deletes itself next).
  void closed();

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  void buildToolBar();
  void showPageNumber(std::size_t page);
  void updateCommands();
  ExportOutcome copyLoadedFile(const QString& fileName, const ExportProgress& progress);
  // Runs `work` with a progress dialog that appears once it takes long, and whose Cancel button
  // `work` hears of through its progress.
  ExportOutcome withProgress(const QString& label, const std::function<ExportOutcome(const ExportProgress&)>& work);

  std::unique_ptr<ReportDocument> report_;
  std::unique_ptr<PdfPages> loaded_;
  PageView* view_ = nullptr;
  QSpinBox* pageBox_ = nullptr;
  QLabel* pageTotal_ = nullptr;
  QAction* firstPage_ = nullptr;
  QAction* previousPage_ = nullptr;
  QAction* nextPage_ = nullptr;
  QAction* lastPage_ = nullptr;
  QPrinter printer_;
  FileDialogRunner runFileDialog_;
};

}  // namespace qm::reports
