#pragma once

// qm-cli report: loads a table file and writes one of the printed reports headless, through the
// same reports engine as the window's preview:
//
//   qm-cli report TABLEFILE OUT [--layout data|store|graph|data+graph|insulation] [--picture FILE]
//
// OUT's extension chooses the format: .pdf (the pages as printed), .html/.htm, .txt or .csv (the
// exports). The layout is the data report unless given; the graph layouts need --picture (BMP, PNG
// or JPEG). The insulation layout is a PDF of one page per insulation test run of the table, with
// the test record of its side file. Times and the print date follow the system locale, as in the
// window.

#include <iosfwd>
#include <string>
#include <vector>

namespace qm::cli {

// Exit status 0, with a line on `out` naming OUT, its pages and rows (runs for the insulation
// layout); 1 when the table file or the picture cannot be read (saying what was wrong), the table
// holds no insulation test run for the insulation layout, or OUT cannot be written (OUT is then
// left as it was); 2 for a usage error. Needs a QGuiApplication.
int runReport(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// Runs the command as qm-cli's main does, with the QGuiApplication that fonts and PDF need, on the
// offscreen platform so that no display is needed.
int reportMain(int argc, char* argv[]);

}  // namespace qm::cli
