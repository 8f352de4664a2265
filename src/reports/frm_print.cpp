#include "reports/frm_print.h"

namespace qm::reports {

TFrmprint::TFrmprint(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Frmprint"));
  setWindowTitle(QStringLiteral("Print Style"));
}

}  // namespace qm::reports
