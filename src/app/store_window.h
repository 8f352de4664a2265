#pragma once

// The store window "Frmstore": created hidden at start-up; only the hidden tool button
// "SpeedButton5" shows it.

#include <QDialog>

namespace qm::app {

class StoreWindow : public QDialog {
  Q_OBJECT
public:
  explicit StoreWindow(QWidget* parent);
};

}  // namespace qm::app
