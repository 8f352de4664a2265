#pragma once

// qm-cli snapshot: loads a table file and writes the trend chart's picture of it as a BMP file,
// drawn headless by the same chart as the window's, at the window's chart size.
//
//   qm-cli snapshot TABLEFILE OUT.bmp [--page N] [--page-size P] [--whole]
//
// --page-size sets the points per page (100 unless given; 0 puts all on one page), --page the
// page to draw (1 unless given), --whole puts every point on one page as " Save Whole" does.

#include <iosfwd>
#include <string>
#include <vector>

namespace qm::cli {

// Exit status 0, 1 when the table cannot be loaded or the picture not written, 2 for a usage
// error. Needs a QApplication.
int runSnapshot(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Runs the command as qm-cli's main does, with the QApplication that the chart needs, on the
// offscreen platform so that no display is needed.
int snapshotMain(int argc, char* argv[]);

}  // namespace qm::cli
