#pragma once

// What both programs print for --version, in the shape GNU programs use: "NAME VERSION" on the
// first line (scripts read that one), then the copyright and the licence.

#include <string>
#include <string_view>

namespace qm {

std::string versionText(std::string_view programName);

}  // namespace qm
