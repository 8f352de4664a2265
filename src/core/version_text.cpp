#include "core/version_text.h"

#include "core/version.h"

namespace qm {

std::string versionText(std::string_view programName) {
  std::string text(programName);
  text += ' ';
  text += kProgramVersion;
  text +=
      "\n"
      "Copyright (C) 2026 The QM830/QM840 Interface Program developers.\n"
      "License MIT: <https://spdx.org/licenses/MIT.html>.\n"
      "This is free software: you are free to change and redistribute it.\n"
      "There is NO WARRANTY, to the extent permitted by law.\n";
  return text;
}

}  // namespace qm
