#include "app/help_viewer.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QMessageBox>
#include <QTextBrowser>
#include <QVBoxLayout>

namespace qm::app {

HelpViewer::HelpViewer(QWidget* parent) : QDialog(parent), browser_(new QTextBrowser(this)) {
  setObjectName(QStringLiteral("HelpViewer"));
  setWindowTitle(QStringLiteral("Help"));
  browser_->setObjectName(QStringLiteral("HelpText"));
  browser_->setOpenExternalLinks(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::close);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(browser_);
  layout->addWidget(buttons);
  resize(560, 480);
}

void HelpViewer::showContents(const QString& helpFile) {
  QFile file(helpFile);
  if (!file.exists()) {
    reportUnreadable(QStringLiteral("Cannot find the help file %1").arg(helpFile));
    return;
  }
  if (!file.open(QIODevice::ReadOnly)) {
    reportUnreadable(QStringLiteral("Cannot open the help file %1: %2").arg(helpFile, file.errorString()));
    return;
  }
  // Read afresh on every request: the file may have been replaced since the last one.
  browser_->setHtml(QString::fromUtf8(file.readAll()));
  show();
  raise();
  activateWindow();
}

void HelpViewer::reportUnreadable(const QString& message) {
  hide();
  auto* box = new QMessageBox(QMessageBox::Warning, windowTitle(), message, QMessageBox::Ok, parentWidget());
  box->setObjectName(QStringLiteral("HelpError"));
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->open();
}

}  // namespace qm::app
