#include "analysis/curve_axes.h"

#include <cmath>

namespace qm::analysis {
namespace {

constexpr double kPastTheMinute = 70.0;
constexpr double kPastTenMinutes = 660.0;

}  // namespace

double curveEndSeconds(Milliseconds elapsed) {
  const double seconds = static_cast<double>(elapsed) / 1000.0 * 1.05;
  for (const double end : {kPastTheMinute, kPastTenMinutes}) {
    if (seconds <= end) {
      return end;
    }
  }
  return seconds;
}

double curveTickSeconds(double endSeconds) {
  if (endSeconds <= kPastTheMinute) {
    return 10;
  }
  if (endSeconds <= kPastTenMinutes) {
    return 60;
  }
  return std::pow(10.0, std::floor(std::log10(endSeconds / 2)));
}

}  // namespace qm::analysis
