#include "core/reading_quantity.h"

#include "core/current_reading.h"

#include <charconv>
#include <string>

namespace qm {

UnitCode unitCodeOf(std::string_view unitText) {
  if (unitText == unit::kVolt) {
    return UnitCode::Volt;
  }
  if (unitText == unit::kOhm) {
    return UnitCode::Ohm;
  }
  if (unitText == unit::kMegaOhm) {
    return UnitCode::MegaOhm;
  }
  if (unitText == unit::kGigaOhm) {
    return UnitCode::GigaOhm;
  }
  return UnitCode::Unknown;
}

std::optional<BaseUnit> baseUnitOf(UnitCode unit) {
  switch (unit) {
    case UnitCode::Volt: return BaseUnit{Quantity::Voltage, 1.0};
    case UnitCode::Ohm: return BaseUnit{Quantity::Resistance, 1.0};
    case UnitCode::MegaOhm: return BaseUnit{Quantity::Resistance, 1e6};
    case UnitCode::GigaOhm: return BaseUnit{Quantity::Resistance, 1e9};
    case UnitCode::Unknown: break;
  }
  return std::nullopt;
}

std::optional<BaseUnit> baseUnitOf(std::string_view unitText) { return baseUnitOf(unitCodeOf(unitText)); }

std::optional<double> readingNumber(std::string_view value, std::string_view decimalSeparator) {
  // Rewritten with a '.' for from_chars, which reads the same way in every locale.
  std::string number;
  std::size_t at = 0;
  if (at < value.size() && (value[at] == '-' || value[at] == '+')) {
    if (value[at] == '-') {
      number += '-';
    }
    ++at;
  }
  bool hasDigit = false;
  bool hasSeparator = false;
  while (at < value.size()) {
    if (value[at] >= '0' && value[at] <= '9') {
      number += value[at];
      hasDigit = true;
      ++at;
    } else if (!hasSeparator && !decimalSeparator.empty() && value.substr(at).starts_with(decimalSeparator)) {
      number += '.';
      hasSeparator = true;
      at += decimalSeparator.size();
    } else {
      return std::nullopt;
    }
  }
  if (!hasDigit) {
    return std::nullopt;
  }
  double result = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), result);
  if (error != std::errc() || end != number.data() + number.size()) {
    return std::nullopt;
  }
  return result;
}

}  // namespace qm
