#pragma once

// Output files that the commands fill only once there is something to write, so that a command
// which ends early leaves an old file as it was.

#include <QString>

namespace qm::cli {

// Why `fileName` cannot be written later, or nothing when it can, found out without changing it:
// an existing file must open for writing, a new one must be creatable in its folder.
QString whyNotWritableLater(const QString& fileName);

}  // namespace qm::cli
