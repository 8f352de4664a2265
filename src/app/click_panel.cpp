#include "app/click_panel.h"

#include <QMouseEvent>

namespace qm::app {

ClickPanel::ClickPanel(const QString& caption, QWidget* parent) : QLabel(caption, parent) {
  setFrameStyle(QFrame::Panel | QFrame::Raised);
  setAlignment(Qt::AlignCenter);
}

void ClickPanel::mousePressEvent(QMouseEvent* event) {
  // Accepting the press is what makes the release come here.
  event->setAccepted(event->button() == Qt::LeftButton);
}

void ClickPanel::mouseReleaseEvent(QMouseEvent* event) {
  // Like a button: the click counts only if the mouse is let go over the panel.
  if (event->button() == Qt::LeftButton && rect().contains(event->position().toPoint())) {
    emit clicked();
  }
}

}  // namespace qm::app
