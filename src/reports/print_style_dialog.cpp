#include "reports/print_style_dialog.h"

namespace qm::reports {

PrintStyleDialog::PrintStyleDialog(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Frmprint"));
  setWindowTitle(QStringLiteral("Print Style"));
}

}  // namespace qm::reports
