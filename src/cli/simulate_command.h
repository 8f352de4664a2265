#pragma once

// qm-cli simulate: prints the frame texts that the simulated meter sends, one per line, ready for
// qm-cli decode or the screenshot helper.
//
//   qm-cli simulate [--from SECONDS] [--count N] [--interval MS]

#include <iosfwd>
#include <string>
#include <vector>

namespace qm::cli {

// Exit status 0, or 2 for a usage error.
int runSimulate(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace qm::cli
