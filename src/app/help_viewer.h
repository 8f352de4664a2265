#pragma once

// The program's help viewer: one window that shows the contents page of an HTML help file. The
// window only names the file; the viewer reads it and reports a file it cannot read.

#include <QDialog>

QT_BEGIN_NAMESPACE
class QTextBrowser;
QT_END_NAMESPACE

namespace qm::app {

class HelpViewer : public QDialog {
  Q_OBJECT
public:
  explicit HelpViewer(QWidget* parent);

  // Shows the file's contents page. A missing or unreadable file is reported in a message box that
  // does not block the caller, and the viewer stays hidden.
  void showContents(const QString& helpFile);

private:
  void reportUnreadable(const QString& message);

  QTextBrowser* browser_;
};

}  // namespace qm::app
