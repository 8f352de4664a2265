#pragma once

// The print-style dialog "Frmprint": created hidden at start-up; the hidden File menu item
// "  Print" is the only command that shows it.

#include <QDialog>

namespace qm::reports {

class PrintStyleDialog : public QDialog {
  Q_OBJECT
public:
  explicit PrintStyleDialog(QWidget* parent);
};

}  // namespace qm::reports
