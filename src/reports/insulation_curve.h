#pragma once

// The resistance-time curve of an insulation test run as the printed report draws it inside a box
// on the page: resistance on a logarithmic axis in whole decades labelled in Ω, kΩ, MΩ or GΩ,
// time in seconds with the analysis window's axis end and ticks, dashed marks at 30, 60 and 600 s
// where the axis reaches them, and the readings joined by a line.

#include "analysis/test_runs.h"
#include "reports/report_document.h"

namespace qm::reports {

// Adds the curve's lines and labels to `content`. `box` is the plot area; the resistance labels go
// to its left and the time labels below it.
void placeResistanceCurve(PageContent& content, const analysis::TestRun& run, const PlacedRect& box);

// A power of ten of ohms as the axis labels it: "100 MΩ", "1 GΩ", "10 kΩ".
QString decadeLabel(double ohms);

}  // namespace qm::reports
