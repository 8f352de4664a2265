#include "display/lcd_pictures.h"

#include <QColor>
#include <QLinearGradient>
#include <QPainter>
#include <QPolygonF>

namespace qm::display {
namespace {

// Each picture is drawn in the box it has on the panel; drawPicture() scales that to the box asked
// for.
QSizeF designSize(Picture picture) {
  switch (picture) {
  case Picture::Battery: return {51, 25};
  case Picture::Probe: return {33, 29};
  case Picture::Buzzer: return {41, 25};
  case Picture::LinkUp:
  case Picture::LinkDown: return {32, 32};
  case Picture::HighVoltage: return {27, 37};
  case Picture::Timer: return {27, 29};
  }
  return {1, 1};
}

QPen blackPen(double width) { return QPen(Qt::black, width, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin); }

void drawBattery(QPainter& p) {
  p.setPen(blackPen(2));
  p.setBrush(Qt::NoBrush);
  p.drawRect(QRectF(1, 1, 44, 23));
  p.fillRect(QRectF(46, 7, 5, 11), Qt::black);
}

void drawProbe(QPainter& p) {
  const QPointF centre(19.5, 14.5);
  p.setPen(blackPen(2.5));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(centre, 12, 12);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawEllipse(centre, 5.5, 5.5);
  p.fillRect(QRectF(0, centre.y() - 1.25, centre.x() - 12, 2.5), Qt::black);
}

void drawBuzzer(QPainter& p) {
  const QPointF centre(10, 12.5);
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawEllipse(centre, 3.5, 3.5);
  p.setPen(blackPen(2.2));
  p.setBrush(Qt::NoBrush);
  constexpr int kHalfAngle = 45 * 16;  // sixteenths of a degree, as QPainter counts them
  for (const double radius : {6.5, 11.5, 16.5}) {
    p.drawArc(QRectF(centre.x() - radius, centre.y() - radius, 2 * radius, 2 * radius), -kHalfAngle, 2 * kHalfAngle);
  }
}

// One computer: a monitor with its screen, on a stand.
void drawComputer(QPainter& p, const QRectF& monitor, const QBrush& screen, const QColor& case_) {
  p.fillRect(monitor, case_);
  p.fillRect(monitor.adjusted(2, 2, -2, -2), screen);
  const double middle = monitor.center().x();
  p.fillRect(QRectF(middle - 1.5, monitor.bottom(), 3, 2), case_);
  p.fillRect(QRectF(middle - 5, monitor.bottom() + 2, 10, 2), case_);
}

void drawLink(QPainter& p, bool up) {
  const QColor case_ = up ? QColor(48, 56, 64) : QColor(150, 150, 150);
  const QColor cable = up ? QColor(Qt::black) : QColor(150, 150, 150);
  const auto screen = [up](const QRectF& monitor) -> QBrush {
    if (!up) {
      return QColor(210, 210, 210);
    }
    QLinearGradient lit(monitor.topLeft(), monitor.bottomRight());
    lit.setColorAt(0, QColor(0, 220, 255));
    lit.setColorAt(1, QColor(0, 70, 220));
    return lit;
  };
  const QRectF back(1, 1, 17, 13);
  const QRectF front(13, 13, 18, 13);
  p.setPen(QPen(cable, 1.5, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
  p.drawPolyline(QPolygonF({QPointF(back.center().x(), back.bottom() + 4), QPointF(back.center().x(), 29.5),
                            QPointF(front.center().x() - 5, 29.5)}));
  drawComputer(p, back, screen(back), case_);
  drawComputer(p, front, screen(front), case_);
}

void drawHighVoltage(QPainter& p) {
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawPolygon(QPolygonF({QPointF(15, 0), QPointF(26, 0), QPointF(17, 14), QPointF(24, 14), QPointF(6, 37),
                           QPointF(11, 19), QPointF(3, 19)}));
}

void drawTimer(QPainter& p) {
  const QPointF centre(13.5, 16.5);
  p.fillRect(QRectF(10.5, 0, 6, 2.5), Qt::black);
  p.fillRect(QRectF(12.5, 2.5, 2, 2), Qt::black);
  p.setPen(blackPen(2));
  p.setBrush(Qt::NoBrush);
  p.drawEllipse(centre, 10.5, 10.5);
  // The time gone so far, swept clockwise from twelve o'clock.
  p.setPen(Qt::NoPen);
  p.setBrush(Qt::black);
  p.drawPie(QRectF(centre.x() - 7, centre.y() - 7, 14, 14), 90 * 16, -120 * 16);
}

}  // namespace

void drawPicture(QPainter& painter, const QRect& box, Picture picture) {
  const QSizeF design = designSize(picture);
  painter.save();
  painter.setRenderHint(QPainter::Antialiasing);
  painter.translate(box.topLeft());
  painter.scale(box.width() / design.width(), box.height() / design.height());
  switch (picture) {
  case Picture::Battery: drawBattery(painter); break;
  case Picture::Probe: drawProbe(painter); break;
  case Picture::Buzzer: drawBuzzer(painter); break;
  case Picture::LinkUp: drawLink(painter, true); break;
  case Picture::LinkDown: drawLink(painter, false); break;
  case Picture::HighVoltage: drawHighVoltage(painter); break;
  case Picture::Timer: drawTimer(painter); break;
  }
  painter.restore();
}

}  // namespace qm::display
