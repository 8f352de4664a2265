#pragma once

// The about window "FrmAbout": created hidden at start-up; only the hidden menu item "  About..."
// would show it.

#include <QDialog>

namespace qm::app {

class AboutWindow : public QDialog {
  Q_OBJECT
public:
  explicit AboutWindow(QWidget* parent);
};

}  // namespace qm::app
