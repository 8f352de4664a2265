#include "core/decades.h"

#include <cmath>

namespace qm {
namespace {

constexpr double kOnAPower = 1e-6 / 2.302585092994046;  // a millionth, as a step of log10

}  // namespace

Decades decadesAround(double smallest, double largest) {
  const double lowPower = std::floor(std::log10(smallest) + kOnAPower);
  double highPower = std::ceil(std::log10(largest) - kOnAPower);
  if (highPower <= lowPower) {
    highPower = lowPower + 1;
  }
  return {std::pow(10.0, lowPower), std::pow(10.0, highPower)};
}

OhmsUnit ohmsUnitFor(double largestOhms) {
  if (largestOhms >= 1e9) {
    return {1e9, QStringLiteral("GΩ")};
  }
  if (largestOhms >= 1e6) {
    return {1e6, QStringLiteral("MΩ")};
  }
  return {1, QStringLiteral("Ω")};
}

}  // namespace qm
