#pragma once

// qm-cli convert: reads a table file as "Open" does into an empty table and writes it as
// "Save As..." does, the format of each chosen by its extension (".xml" is the XML data packet,
// any other name the TAB-separated text). The bytes written are those the window writes. Other
// tools call it, so its form is fixed:
//
//   qm-cli convert IN OUT
//
// Texts in the text format, times included, follow the system locale as in the window.

#include <iosfwd>
#include <string>
#include <vector>

namespace qm::cli {

// Exit status 0; 1 when IN cannot be read (`err` names it and says where and why: "qm-cli convert:
// IN: line 5: ...") or OUT cannot be written (the window's message), OUT then left as it was; 2
// for a usage error.
int runConvert(const std::vector<std::string>& args, std::ostream& err);

}  // namespace qm::cli
