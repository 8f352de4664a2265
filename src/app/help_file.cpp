#include "app/help_file.h"

#include <QDir>
#include <QFileInfo>

namespace qm::app {

QString helpFileFor(const QString& programFolder) {
  const QString besideProgram = programFolder + QStringLiteral("qm310.hlp");
  const QString installed = QDir::cleanPath(programFolder + QStringLiteral("../share/qm-interface/qm310.hlp"));
  for (const QString& candidate : {besideProgram, installed}) {
    if (QFileInfo::exists(candidate)) {
      return candidate;
    }
  }
  return besideProgram;
}

}  // namespace qm::app
