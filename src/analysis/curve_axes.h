#pragma once

// The time axis of a run's resistance-time curve, as the analysis window and the printed report
// both draw it: marks at the times the indices read, and an end that leaves room for the marks a
// run still has to reach (a minute and a bit, then ten minutes and a bit, then the whole run).

#include "analysis/test_runs.h"

#include <array>

namespace qm::analysis {

inline constexpr std::array<Milliseconds, 3> kCurveMarks = {30'000, 60'000, 600'000};

// The axis's end in seconds for a run that has lasted `elapsed`.
double curveEndSeconds(Milliseconds elapsed);

// Seconds between the axis's labelled ticks, from 0 to `endSeconds`.
double curveTickSeconds(double endSeconds);

}  // namespace qm::analysis
