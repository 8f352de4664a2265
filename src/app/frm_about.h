#pragma once

// The about window "FrmAbout": created hidden at start-up; only the hidden menu item "  About..."
// would show it.

#include <QDialog>

namespace qm::app {

class TFrmAbout : public QDialog {
  Q_OBJECT
public:
  explicit TFrmAbout(QWidget* parent);
};

}  // namespace qm::app
