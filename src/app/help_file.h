#pragma once

// Where F1 finds the help file "qm310.hlp". It lies beside the program file in the build tree;
// an installed program finds it where Unix keeps a program's data, in share/qm-interface/ beside
// the bin/ folder that holds the program (/usr/share/qm-interface/ for /usr/bin/qm-interface).

#include <QString>

namespace qm::app {

// The first of those places that holds the file; the place beside the program when none does, so
// that a missing help file is reported where the program looks first. `programFolder` ends in '/'.
QString helpFileFor(const QString& programFolder);

}  // namespace qm::app
