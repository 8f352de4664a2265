#pragma once

// The reading that the last decoded frame showed, as the texts the reading table stores. All texts
// are code page 936 bytes; the ohm sign is A6 B8.

#include <string_view>

namespace qm {

namespace unit {
inline constexpr std::string_view kVolt = "V";
inline constexpr std::string_view kOhm = "\xA6\xB8";
inline constexpr std::string_view kMegaOhm = "M\xA6\xB8";
inline constexpr std::string_view kGigaOhm = "G\xA6\xB8";
}  // namespace unit

namespace function {
inline constexpr std::string_view kDcVolts = "DCV  600V";
inline constexpr std::string_view kAcVolts = "ACV  600V";
inline constexpr std::string_view kInsulation500V = "IR:500V 20G\xA6\xB8";
inline constexpr std::string_view kInsulation1000V = "IR:1000V 40G\xA6\xB8";
inline constexpr std::string_view kInsulation2500V = "IR:2500 100G\xA6\xB8";
inline constexpr std::string_view kInsulation5000V = "IR:5000V 1000G\xA6\xB8";
}  // namespace function

namespace mode {
inline constexpr std::string_view kContinuous = "Continuous";
inline constexpr std::string_view kTimed = "Timed";
inline constexpr std::string_view kPolarisationIndex = "PI";
inline constexpr std::string_view kCompareNotGood = "COMP:NG";
inline constexpr std::string_view kCompareGood = "COMP:GOOD";
// What the mode reads before the first frame; no logged row ever carries it.
inline constexpr std::string_view kStartup = "40.0A";
}  // namespace mode

inline constexpr std::string_view kStartupValue = "0000";

struct CurrentReading {
  std::string_view value;     // currentValue
  std::string_view unit;      // currentUnit
  std::string_view function;  // currentFunction
  std::string_view mode;      // currentMode
};

}  // namespace qm
