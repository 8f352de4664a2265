#pragma once

// A believable QM840 for people and tests without a meter: a fixed programme of measurements that
// repeats, each moment a pure function of the time since the programme started. See scenes() in
// meter_model.cpp for the programme: an insulation test at 500 V whose resistance rises over a
// minute, DC and AC volts, timed tests at 1000, 2500 and 5000 V, a polarisation index in fast
// motion, a compare test with its GOOD and NG verdicts, and last a real ten-minute PI test. The
// battery gauge drains over the programme and the bar graph follows the resistance on its
// logarithmic scale.

#include "sim/display_image.h"

#include <chrono>
#include <string_view>

namespace qm::sim {

class MeterModel {
public:
  using Duration = std::chrono::milliseconds;

  DisplayImage displayAt(Duration sinceStart) const;

  // Length of one pass through the programme; after it the programme starts again.
  static Duration programmeLength();
  // Name of the scene shown at that time ("insulation 500 V", "DC volts", ...).
  static std::string_view sceneAt(Duration sinceStart);

  // The ten-minute PI test at 1000 V that ends the programme. Its resistance follows dielectric
  // absorption: steep in the first minute, slow after; R60 is 2 GΩ and PI = R600/R60 = 3.20. At
  // ten minutes the meter keeps its last reading on the display for a second, then shows its
  // PI ("3.20", no unit) until the scene ends.
  static Duration polarisationTestStart();
  static constexpr double kPolarisationTestIndex = 3.2;
  static double polarisationTestOhms(double secondsIntoTest);
};

// Building blocks of the model, also useful to tests that need a particular display.
void showValue(DisplayImage& image, std::string_view text);        // "523.4", "-12.5", "0L", "" (blank)
void showTestVoltage(DisplayImage& image, std::string_view digits);  // " 500", "1000", "" (blank, no V)
void showTimer(DisplayImage& image, int seconds);                    // mm:ss with colon and " min : sec"
void showBarGraph(DisplayImage& image, double ohms);                 // 0 Ω .. 1 TΩ on the log scale
void showBattery(DisplayImage& image, int bars);                     // outline plus 0..3 bars

}  // namespace qm::sim
