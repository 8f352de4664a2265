#pragma once

// qm-cli analyse: the insulation test runs of a table file, with their indices and verdict. Other
// tools read its output, so its form is fixed:
//
//   qm-cli analyse TABLEFILE [--temperature C] [--json]
//
// One TAB-separated line per run, or with --json one JSON object {"runs": [...]} whose runs have
// the keys first_no, last_no, function, seconds, r15, r30, r60, r600 (Ω, null when the run does
// not reach that time), dar, pi, r60_40c, verdict ("PASS", "FAIL", "QUESTIONABLE", or null without
// an ambient temperature) and reasons (texts). The ambient temperature and the insulation class
// come from the table's test record (TABLEFILE.test.json) when there is one; --temperature
// overrides the record's temperature.

#include <iosfwd>
#include <string>
#include <vector>

namespace qm::cli {

// Exit status 0; 1 when TABLEFILE cannot be read, saying why on `err`; 2 for a usage error. A test
// record that cannot be read is reported on `err` and left out.
int runAnalyse(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace qm::cli
