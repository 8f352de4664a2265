#pragma once

// What a logged reading measures, as a number: the value text read as a number, and the unit
// text turned into its base unit (volts or ohms) with the factor that gets there. The chart and
// the insulation analysis both read rows this way.

#include <cstdint>
#include <optional>
#include <string_view>

namespace qm {

enum class Quantity { Voltage, Resistance };

struct BaseUnit {
  Quantity quantity;
  double factor;  // value in this unit x factor = value in V or Ω
};

// The units the meter shows, in a byte: the chart keeps one with each of its millions of points.
enum class UnitCode : std::uint8_t { Unknown, Volt, Ohm, MegaOhm, GigaOhm };

// "V", "Ω", "MΩ" and "GΩ" as the table stores them (code page 936). Any other text, the empty
// one included, measures nothing known.
UnitCode unitCodeOf(std::string_view unit);
std::optional<BaseUnit> baseUnitOf(UnitCode unit);
std::optional<BaseUnit> baseUnitOf(std::string_view unit);

// A logged value text as a number: an optional sign, then digits with at most one decimal
// separator among them. The meter's other values ("L", "-", an empty display) are no number.
std::optional<double> readingNumber(std::string_view value, std::string_view decimalSeparator);

}  // namespace qm
