#pragma once

// What an insulation test run says about the winding: its resistance at 15 s, 30 s, 60 s and 10
// min, the dielectric absorption ratio and the polarisation index, the one-minute resistance
// corrected to 40 °C, and a verdict against limits. The defaults are those of IEEE 43 for rotating
// machines; every limit is a setting.

#include "analysis/test_runs.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace qm::analysis {

struct AnalysisSettings {
  enum class AbsorptionRatio { Sixty30, Sixty15 };  // DAR = R60/R30 or R60/R15
  enum class Winding { FormWound, RandomWoundOrBelow1kV };

  AbsorptionRatio absorptionRatio = AbsorptionRatio::Sixty30;
  // Temperature correction: the resistance halves for every this many degrees of rise.
  double halvingDegrees = 10.0;
  Winding winding = Winding::FormWound;
  // Minimum one-minute resistance at 40 °C.
  double minimumOhmsFormWound = 100e6;
  double minimumOhmsRandomWound = 5e6;
  // Minimum PI by thermal class: A, and B, F, H (also when the class is not given).
  double minimumPiClassA = 1.5;
  double minimumPiOtherClasses = 2.0;
  // Above this one-minute resistance the PI says little about the insulation.
  double piMeaningfulUpToOhms = 5e9;
  // Below this DAR the absorption is weak: worth a closer look, not a failure by itself.
  double darGuideMinimum = 1.25;
};

enum class Verdict { Pass, Fail, Questionable };

struct InsulationIndices {
  std::optional<double> r15, r30, r60, r600;  // Ω
  std::optional<double> dar;
  std::optional<double> pi;
  bool piMeaningful = true;          // false when R60 is above the settings' limit
  std::optional<double> r60At40C;    // Ω, with a known ambient temperature
  std::optional<Verdict> verdict;    // none without an ambient temperature
  QStringList reasons;               // in words, one finding a line
};

// The one-minute resistance at `ambientCelsius` brought to 40 °C.
double correctedTo40C(double ohms, double ambientCelsius, double halvingDegrees);

// The minimum PI for a thermal class ("A", "B", "F", "H"; any other or none counts as B, F, H).
double minimumPolarisationIndex(const QString& insulationClass, const AnalysisSettings& settings);

// Everything above for one run. `ambientCelsius` and `insulationClass` come from the test record.
InsulationIndices analyseRun(const TestRun& run, std::optional<double> ambientCelsius, const QString& insulationClass,
                             const AnalysisSettings& settings);

// "PASS", "FAIL", "QUESTIONABLE".
QString verdictText(Verdict verdict);

// A resistance as a person reads it: four significant digits in Ω, kΩ, MΩ, GΩ or TΩ.
QString ohmsText(double ohms);

}  // namespace qm::analysis
