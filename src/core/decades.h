#pragma once

// The whole decades around positive values, as a logarithmic axis shows them: from the power of
// ten at or below the smallest to the one at or above the largest. The trend chart, the analysis
// window and the printed insulation report all scale resistances this way.

#include <QString>

namespace qm {

struct Decades {
  double low = 1;
  double high = 10;
};

// `smallest` <= `largest`, both above 0; at least one decade. A value within a millionth of a
// power of ten counts as that power: readings kept as floats sit a hair off the digits they show.
Decades decadesAround(double smallest, double largest);

// The meter's unit that an axis of resistances is labelled in, picked by the largest of them: its
// decades then read "0.1", "1" and "10" under "GΩ", as the meter shows them, not "1e+09" ohms.
struct OhmsUnit {
  double ohms = 1;  // one of the unit, in ohms
  QString name;
};
OhmsUnit ohmsUnitFor(double largestOhms);

}  // namespace qm
