#include "sim/meter_model.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <string>

namespace qm::sim {
namespace {

using E = PanelElement;
using Seconds = double;

constexpr std::array<Digit, 4> kValueDigits = {Digit::LabelA, Digit::LabelB, Digit::LabelC, Digit::LabelD};
constexpr std::array<Digit, 4> kTestVoltageDigits = {Digit::Label3, Digit::Label7, Digit::Label10, Digit::Label9};

struct Scene {
  std::string_view name;
  Seconds length;
  void (*draw)(DisplayImage&, Seconds elapsed);
};

// Four significant digits, as the meter shows a resistance in MΩ or GΩ.
std::string fourDigits(double value) {
  const int decimals = value < 10 ? 3 : value < 100 ? 2 : value < 1000 ? 1 : 0;
  char text[16];
  std::snprintf(text, sizeof text, "%.*f", decimals, value);
  return text;
}

void showResistance(DisplayImage& image, double ohms) {
  const bool giga = ohms >= 1e9;
  showValue(image, fourDigits(giga ? ohms / 1e9 : ohms / 1e6));
  image.set(giga ? E::Labgo1 : E::Labmo1);
  showBarGraph(image, ohms);
}

// Insulation resistance under test voltage: the dielectric absorbs charge, so the reading climbs
// steeply at first and levels off towards the true value.
double absorptionCurve(double finalOhms, Seconds elapsed, Seconds timeConstant) {
  return finalOhms * (1.0 - 0.97 * std::exp(-elapsed / timeConstant));
}

void insulationTest(DisplayImage& image, std::string_view testVoltage, double ohms, Seconds elapsed) {
  showTestVoltage(image, testVoltage);
  showResistance(image, ohms);
  showTimer(image, static_cast<int>(elapsed));
  image.set(E::IMmike);
}

void insulation500V(DisplayImage& image, Seconds t) {
  insulationTest(image, " 500", absorptionCurve(2.2e9, t, 18.0), t);
}

// A voltage reading in tenths of a volt, with the DC or AC sign (the frame bit of its first element).
void showVoltage(DisplayImage& image, double volts, PanelElement sign) {
  char text[16];
  std::snprintf(text, sizeof text, "%.1f", volts);
  showValue(image, text);
  image.set(sign);
  image.set(E::Labv);
}

void dcVolts(DisplayImage& image, Seconds t) {
  showVoltage(image, 229.6 + 0.8 * std::sin(t * 1.7) + 2.0 * std::exp(-t), E::labdc);
}

void acVolts(DisplayImage& image, Seconds t) {
  showVoltage(image, 231.0 + 1.5 * std::sin(t * 0.9) + 0.4 * std::sin(t * 5.3), E::labt);
}

// Timed tests: the timer symbol is on and the meter steps through its test voltages.
void timedTests(DisplayImage& image, Seconds t) {
  struct Step {
    std::string_view voltage;
    double finalOhms;
  };
  static constexpr std::array<Step, 3> kSteps = {{{"1000", 8.6e9}, {"2500", 36.0e9}, {"5000", 142.0e9}}};
  constexpr Seconds kStepLength = 10.0;
  const auto step = std::min<std::size_t>(static_cast<std::size_t>(t / kStepLength), kSteps.size() - 1);
  const Seconds inStep = t - static_cast<double>(step) * kStepLength;
  insulationTest(image, kSteps[step].voltage, absorptionCurve(kSteps[step].finalOhms, inStep, 4.0), inStep);
  image.digit(Digit::Label3).flag = true;  // high-voltage warning above 500 V
  image.set(E::power);
}

// Polarisation index: the resistance is taken after one minute (Time1) and after ten (Time2);
// the meter then shows their ratio. The simulation runs the clock fast.
void polarisationIndex(DisplayImage& image, Seconds t) {
  if (t < 10.0) {
    insulationTest(image, "1000", absorptionCurve(5.1e9, t * 60.0, 120.0), t * 60.0);
    image.digit(Digit::Label3).flag = true;
    image.set(t < 1.0 ? E::labTIME1 : E::labtime2);
  } else {
    showTestVoltage(image, "1000");
    image.digit(Digit::Label3).flag = true;
    showValue(image, "2.47");
    showTimer(image, 600);
    image.set(E::labTIME1);
    image.set(E::labtime2);
  }
  image.set(E::labp1);
}

// The ten-minute PI test. The absorption current of the dielectric dies away as a power of time
// (Curie - von Schweidler), on top of a steady leakage current; the leakage's share follows from
// the PI the test is to have.
constexpr double kPolarisationTestR60 = 2.0e9;
constexpr double kAbsorptionExponent = 0.6;
constexpr Seconds kPolarisationTestLength = 600.0;
constexpr Seconds kFinalReadingHeld = 1.0;

void polarisationTest(DisplayImage& image, Seconds t) {
  showTestVoltage(image, "1000");
  image.set(E::labp1);
  if (t < kPolarisationTestLength + kFinalReadingHeld) {
    const Seconds shown = std::min(t, kPolarisationTestLength);
    insulationTest(image, "1000", MeterModel::polarisationTestOhms(shown), shown);
    image.digit(Digit::Label3).flag = true;
    image.set(shown < 60.0 ? E::labTIME1 : E::labtime2);
    return;
  }
  // The test voltage is off; no unit is lit for a ratio.
  showValue(image, "3.20");
  showTimer(image, static_cast<int>(kPolarisationTestLength));
  image.set(E::labTIME1);
  image.set(E::labtime2);
}

// Compare test against a limit of 50 MΩ: a good winding, then a damp one.
void compareTest(DisplayImage& image, Seconds t) {
  const bool good = t < 8.0;
  const Seconds inTest = good ? t : t - 8.0;
  insulationTest(image, " 500", absorptionCurve(good ? 820e6 : 31e6, inTest, 2.0), inTest);
  image.digit(Digit::M_Time1).flag = true;  // COMP
  image.digit(good ? Digit::Label10 : Digit::Label7).flag = true;
  if (inTest > 5.0) {
    image.set(E::labsave);
  }
}

constexpr std::array<Scene, 7> kScenes = {{
    {"insulation 500 V", 75.0, insulation500V},
    {"DC volts", 15.0, dcVolts},
    {"AC volts", 15.0, acVolts},
    {"timed tests 1000/2500/5000 V", 30.0, timedTests},
    {"polarisation index", 15.0, polarisationIndex},
    {"compare", 16.0, compareTest},
    {"PI test 1000 V", kPolarisationTestLength + 15.0, polarisationTest},
}};

constexpr Seconds kProgrammeSeconds = [] {
  Seconds total = 0;
  for (const Scene& scene : kScenes) {
    total += scene.length;
  }
  return total;
}();

// The scene at that time and how long it has been running.
std::pair<const Scene*, Seconds> locate(MeterModel::Duration sinceStart) {
  const auto programmeMs = static_cast<std::int64_t>(kProgrammeSeconds * 1000);
  const std::int64_t ms = ((sinceStart.count() % programmeMs) + programmeMs) % programmeMs;
  Seconds t = static_cast<double>(ms) / 1000.0;
  for (const Scene& scene : kScenes) {
    if (t < scene.length) {
      return {&scene, t};
    }
    t -= scene.length;
  }
  return {&kScenes.back(), kScenes.back().length};
}

}  // namespace

void showValue(DisplayImage& image, std::string_view text) {
  std::array<DigitImage, 4> digits{};
  std::size_t count = 0;
  bool negative = false;
  std::array<DigitImage, 8> parsed{};
  for (const char c : text) {
    if (c == '-') {
      negative = true;
    } else if (c == '.' && count > 0) {
      parsed[count - 1].flag = true;
    } else if (((c >= '0' && c <= '9') || c == 'L') && count < parsed.size()) {
      parsed[count++].shown = c == 'L' ? '@' : c;
    }
  }
  // The meter right-aligns the value and blanks the leading positions.
  const std::size_t shown = std::min<std::size_t>(count, digits.size());
  std::copy_n(parsed.begin(), shown, digits.end() - static_cast<std::ptrdiff_t>(shown));
  for (std::size_t i = 0; i < digits.size(); ++i) {
    image.digit(kValueDigits[i]) = digits[i];
  }
  image.set(E::LabelF, negative);
}

void showTestVoltage(DisplayImage& image, std::string_view digits) {
  for (std::size_t i = 0; i < kTestVoltageDigits.size(); ++i) {
    const char c = i < digits.size() ? digits[i] : ' ';
    image.digit(kTestVoltageDigits[i]) = DigitImage{c, false};
  }
  image.digit(Digit::Label9).flag = !digits.empty();  // the "V" after the test voltage
}

void showTimer(DisplayImage& image, int seconds) {
  const int minutes = std::min(seconds / 60, 99);
  const int rest = seconds % 60;
  image.digit(Digit::H_Time1) = DigitImage{static_cast<char>('0' + minutes / 10), false};
  image.digit(Digit::H_Time2) = DigitImage{static_cast<char>('0' + minutes % 10), true};
  image.digit(Digit::M_Time1) = DigitImage{static_cast<char>('0' + rest / 10), false};
  image.digit(Digit::M_Time2) = DigitImage{static_cast<char>('0' + rest % 10), false};
}

void showBarGraph(DisplayImage& image, double ohms) {
  // Segment 1 marks 100 kΩ and every fourth segment one decade more, up to 1 TΩ at segment 29.
  const double position = ohms <= 1e5 ? ohms / 1e5 : 1.0 + 4.0 * std::log10(ohms / 1e5);
  const auto lastLit = static_cast<std::size_t>(std::clamp(position, 0.0, 30.0));
  for (std::size_t n = 0; n <= lastLit; ++n) {
    image.set(display::barSegment(n));
  }
}

void showBattery(DisplayImage& image, int bars) {
  image.set(E::IGPower);
  image.set(E::powerV1, bars >= 1);
  image.set(E::powerv2, bars >= 2);
  image.set(E::powerv3, bars >= 3);
}

DisplayImage MeterModel::displayAt(Duration sinceStart) const {
  const auto [scene, elapsed] = locate(sinceStart);
  DisplayImage image;
  scene->draw(image, elapsed);

  // Memory slot 3 is selected; the battery loses a bar every third of the programme.
  image.digit(Digit::stor2) = DigitImage{'3', false};
  image.set(E::IMoff);
  const auto programmeMs = static_cast<std::int64_t>(kProgrammeSeconds * 1000);
  const auto inProgramme = ((sinceStart.count() % programmeMs) + programmeMs) % programmeMs;
  showBattery(image, 3 - static_cast<int>(3 * inProgramme / programmeMs));
  return image;
}

MeterModel::Duration MeterModel::programmeLength() {
  return Duration(static_cast<std::int64_t>(kProgrammeSeconds * 1000));
}

std::string_view MeterModel::sceneAt(Duration sinceStart) { return locate(sinceStart).first->name; }

MeterModel::Duration MeterModel::polarisationTestStart() {
  Seconds start = 0;
  for (const Scene& scene : kScenes) {
    if (scene.draw == polarisationTest) {
      break;
    }
    start += scene.length;
  }
  return Duration(static_cast<std::int64_t>(start * 1000));
}

double MeterModel::polarisationTestOhms(double secondsIntoTest) {
  const double absorptionGone = 1.0 - std::pow(10.0, -kAbsorptionExponent);  // from one to ten minutes
  const double leakage = 1.0 - (1.0 - 1.0 / kPolarisationTestIndex) / absorptionGone;
  // The first half second charges the winding's capacitance: the reading starts from there.
  const double minutes = std::max(secondsIntoTest, 0.5) / 60.0;
  return kPolarisationTestR60 / (leakage + (1.0 - leakage) * std::pow(minutes, -kAbsorptionExponent));
}

}  // namespace qm::sim
