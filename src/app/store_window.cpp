#include "app/store_window.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace qm::app {

StoreWindow::StoreWindow(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("Frmstore"));
  setWindowTitle(QStringLiteral("Store "));

  auto* caption = new QLabel(QStringLiteral("STORE DATA"), this);
  caption->setAlignment(Qt::AlignCenter);
  QFont bold = caption->font();
  bold.setBold(true);
  caption->setFont(bold);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close, this);
  connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

  auto* layout = new QVBoxLayout(this);
  layout->addWidget(caption);
  layout->addWidget(buttons);
  setFixedSize(240, 110);
}

}  // namespace qm::app
