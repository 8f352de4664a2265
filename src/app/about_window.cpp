#include "app/about_window.h"

#include "core/version.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QVBoxLayout>

namespace qm::app {

AboutWindow::AboutWindow(QWidget* parent) : QDialog(parent) {
  setObjectName(QStringLiteral("FrmAbout"));
  setWindowTitle(QStringLiteral("About"));

  auto* name = new QLabel(QStringLiteral("QM830/QM840 Interface Program"), this);
  QFont nameFont = name->font();
  nameFont.setBold(true);
  nameFont.setPointSizeF(nameFont.pointSizeF() * 1.3);
  name->setFont(nameFont);
  auto* version = new QLabel(QStringLiteral("Version %1").arg(QLatin1String(qm::kProgramVersion)), this);
  auto* meter = new QLabel(QStringLiteral("Shows, logs, saves and prints the readings of the QM830 and QM840 "
                                          "insulation-resistance testers through their USB cable."),
                           this);
  meter->setWordWrap(true);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok, this);
  connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

  auto* layout = new QVBoxLayout(this);
  for (QLabel* label : {name, version, meter}) {
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
  }
  layout->addWidget(buttons);
  setFixedWidth(320);
}

}  // namespace qm::app
