#pragma once

// A raised panel with a caption that acts on a click, like the "CONNECT" and "EXIT" panels: a
// button in function, a panel in look.

#include <QLabel>

namespace qm::app {

class ClickPanel : public QLabel {
  Q_OBJECT
public:
  ClickPanel(const QString& caption, QWidget* parent);

signals:
  void clicked();

protected:
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
};

}  // namespace qm::app
