#pragma once

// The trend chart's value axis for the page it shows. On the fixed scale it is the chart's old
// axis, -11000 to 11000 whatever the readings. Otherwise it is fitted to the points the page
// plots and titled with their unit: resistances on a logarithmic axis in whole decades (they
// span decades within one test) of the meter's unit for the largest of them, voltages and
// readings of no known unit on a linear one.

#include "chart/point_store.h"

#include <QList>
#include <QPointF>
#include <QString>

namespace qm::chart {

struct ValueAxisPlan {
  bool logarithmic = false;
  double low = 0;
  double high = 0;
  // A fitted linear axis moves its ends out to round numbers; the fixed one and the decades keep
  // theirs.
  bool roundEnds = false;
  QString title;  // "V", "Ω", "MΩ", "GΩ", or none
  QString labelFormat;
  // What one of the axis is in the points' own unit: the points are divided by it to be drawn.
  double unitSize = 1;
};

// `shown`: the page's points as the chart draws them (see PointStore::drawnPoints).
ValueAxisPlan valueAxisFor(PlottedQuantity quantity, const QList<QPointF>& shown);

}  // namespace qm::chart
