#include "analysis/insulation_indices.h"

#include <array>
#include <cmath>

namespace qm::analysis {
namespace {

constexpr Milliseconds kAt15s = 15'000;
constexpr Milliseconds kAt30s = 30'000;
constexpr Milliseconds kAt60s = 60'000;
constexpr Milliseconds kAt600s = 600'000;

QString ratioText(double ratio) { return QString::number(ratio, 'f', 2); }
QString secondsText(Milliseconds elapsed) { return QString::number(static_cast<double>(elapsed) / 1000.0, 'f', 1); }

// The worse of two verdicts: a failure outweighs a doubt, a doubt a pass.
Verdict worse(Verdict a, Verdict b) {
  if (a == Verdict::Fail || b == Verdict::Fail) {
    return Verdict::Fail;
  }
  return a == Verdict::Questionable || b == Verdict::Questionable ? Verdict::Questionable : Verdict::Pass;
}

QString windingText(AnalysisSettings::Winding winding) {
  return winding == AnalysisSettings::Winding::FormWound ? QStringLiteral("form-wound windings")
                                                         : QStringLiteral("random-wound windings and machines under 1 kV");
}

QString classText(const QString& insulationClass) {
  const QString name = insulationClass.trimmed().toUpper();
  if (name == QLatin1String("A") || name == QLatin1String("B") || name == QLatin1String("F") || name == QLatin1String("H")) {
    return QStringLiteral("class ") + name;
  }
  return QStringLiteral("classes B, F, H (no class given)");
}

}  // namespace

double correctedTo40C(double ohms, double ambientCelsius, double halvingDegrees) {
  return ohms * std::exp2((ambientCelsius - 40.0) / halvingDegrees);
}

double minimumPolarisationIndex(const QString& insulationClass, const AnalysisSettings& settings) {
  return insulationClass.trimmed().compare(QLatin1String("A"), Qt::CaseInsensitive) == 0 ? settings.minimumPiClassA
                                                                                         : settings.minimumPiOtherClasses;
}

InsulationIndices analyseRun(const TestRun& run, std::optional<double> ambientCelsius, const QString& insulationClass,
                             const AnalysisSettings& settings) {
  InsulationIndices indices;
  indices.r15 = resistanceAt(run.points, kAt15s);
  indices.r30 = resistanceAt(run.points, kAt30s);
  indices.r60 = resistanceAt(run.points, kAt60s);
  indices.r600 = resistanceAt(run.points, kAt600s);
  const bool sixty15 = settings.absorptionRatio == AnalysisSettings::AbsorptionRatio::Sixty15;
  const std::optional<double> darBase = sixty15 ? indices.r15 : indices.r30;
  if (indices.r60 && darBase && *darBase > 0) {
    indices.dar = *indices.r60 / *darBase;
  }
  if (indices.r600 && indices.r60 && *indices.r60 > 0) {
    indices.pi = *indices.r600 / *indices.r60;
  }
  indices.piMeaningful = !indices.r60 || *indices.r60 <= settings.piMeaningfulUpToOhms;
  if (indices.r60 && ambientCelsius) {
    indices.r60At40C = correctedTo40C(*indices.r60, *ambientCelsius, settings.halvingDegrees);
  }

  Verdict verdict = Verdict::Pass;
  QStringList& reasons = indices.reasons;
  if (!indices.r60) {
    verdict = Verdict::Questionable;
    reasons << QStringLiteral("no reading at 60 s: the run ends at %1 s").arg(secondsText(run.elapsed));
  } else if (!indices.r60At40C) {
    reasons << QStringLiteral("no verdict: the ambient temperature is not known");
  } else {
    const bool formWound = settings.winding == AnalysisSettings::Winding::FormWound;
    const double minimum = formWound ? settings.minimumOhmsFormWound : settings.minimumOhmsRandomWound;
    const bool enough = *indices.r60At40C >= minimum;
    verdict = worse(verdict, enough ? Verdict::Pass : Verdict::Fail);
    reasons << QStringLiteral("R60 at 40 °C is %1, %2 the minimum of %3 for %4")
                   .arg(ohmsText(*indices.r60At40C), enough ? QStringLiteral("at least") : QStringLiteral("below"),
                        ohmsText(minimum), windingText(settings.winding));
  }

  if (!indices.piMeaningful) {
    reasons << QStringLiteral("PI not meaningful: R60 is above %1").arg(ohmsText(settings.piMeaningfulUpToOhms));
  } else if (!indices.pi) {
    if (indices.r60) {
      verdict = worse(verdict, Verdict::Questionable);
      reasons << QStringLiteral("no PI: the run ends at %1 s, before 600 s").arg(secondsText(run.elapsed));
    }
  } else {
    const double minimum = minimumPolarisationIndex(insulationClass, settings);
    const bool enough = *indices.pi >= minimum;
    verdict = worse(verdict, enough ? Verdict::Pass : Verdict::Fail);
    reasons << QStringLiteral("PI is %1, %2 the minimum of %3 for %4")
                   .arg(ratioText(*indices.pi), enough ? QStringLiteral("at least") : QStringLiteral("below"),
                        QString::number(minimum, 'f', 1), classText(insulationClass));
  }

  if (indices.dar) {
    const bool enough = *indices.dar >= settings.darGuideMinimum;
    verdict = worse(verdict, enough ? Verdict::Pass : Verdict::Questionable);
    reasons << QStringLiteral("DAR (%1) is %2, %3 the guide value %4")
                   .arg(sixty15 ? QStringLiteral("R60/R15") : QStringLiteral("R60/R30"), ratioText(*indices.dar),
                        enough ? QStringLiteral("at least") : QStringLiteral("below"), ratioText(settings.darGuideMinimum));
  }

  if (ambientCelsius) {
    indices.verdict = verdict;
  }
  return indices;
}

QString verdictText(Verdict verdict) {
  switch (verdict) {
    case Verdict::Pass:
      return QStringLiteral("PASS");
    case Verdict::Fail:
      return QStringLiteral("FAIL");
    case Verdict::Questionable:
      break;
  }
  return QStringLiteral("QUESTIONABLE");
}

QString ohmsText(double ohms) {
  static constexpr std::array<const char*, 5> kPrefixes = {"", "k", "M", "G", "T"};
  std::size_t prefix = 0;
  double scaled = ohms;
  while (prefix + 1 < kPrefixes.size() && std::abs(scaled) >= 999.95) {
    scaled /= 1000.0;
    ++prefix;
  }
  const double magnitude = std::abs(scaled);
  const int decimals = magnitude == 0 ? 0 : magnitude < 9.9995 ? 3 : magnitude < 99.995 ? 2 : magnitude < 999.95 ? 1 : 0;
  return QString::number(scaled, 'f', decimals) + QLatin1Char(' ') + QLatin1String(kPrefixes[prefix]) + QStringLiteral("Ω");
}

}  // namespace qm::analysis
