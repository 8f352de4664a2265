#include "chart/value_axis_plan.h"

#include "core/decades.h"

#include <algorithm>
#include <cmath>

namespace qm::chart {
namespace {

constexpr double kFixedLimit = 11000.0;

}  // namespace

ValueAxisPlan valueAxisFor(PlottedQuantity quantity, const QList<QPointF>& shown) {
  if (quantity == PlottedQuantity::FixedScaleDigits) {
    return {false, -kFixedLimit, kFixedLimit, false, {}, QStringLiteral("%.0f")};
  }
  const auto [lowest, highest] = std::minmax_element(shown.cbegin(), shown.cend(),
                                                     [](const QPointF& a, const QPointF& b) { return a.y() < b.y(); });
  if (quantity == PlottedQuantity::Ohms) {
    const OhmsUnit unit = ohmsUnitFor(shown.isEmpty() ? 0 : highest->y());
    const Decades decades = shown.isEmpty() ? Decades{} : decadesAround(lowest->y() / unit.ohms, highest->y() / unit.ohms);
    return {true, decades.low, decades.high, false, unit.name, QStringLiteral("%g"), unit.ohms};
  }
  double low = shown.isEmpty() ? -1.0 : lowest->y();
  double high = shown.isEmpty() ? 1.0 : highest->y();
  if (high == low) {
    // A steady reading sits in the middle of a span that still shows its digits.
    const double room = std::max(1.0, std::abs(low) / 100.0);
    low -= room;
    high += room;
  }
  return {false, low, high, true, quantity == PlottedQuantity::Volts ? QStringLiteral("V") : QString(), QStringLiteral("%g")};
}

}  // namespace qm::chart
