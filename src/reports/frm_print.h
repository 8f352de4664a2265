#pragma once

// The print-style dialog "Frmprint": created hidden at start-up; the hidden File menu item
// "  Print" is the only command that shows it.

#include <QDialog>

namespace qm::reports {

class TFrmprint : public QDialog {
  Q_OBJECT
public:
  explicit TFrmprint(QWidget* parent);
};

}  // namespace qm::reports
