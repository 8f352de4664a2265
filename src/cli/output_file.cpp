#include "cli/output_file.h"

#include <QFile>
#include <QFileInfo>

namespace qm::cli {

bool canWriteLater(const QString& fileName) {
  const QFileInfo file(fileName);
  if (file.exists()) {
    QFile probe(fileName);
    return !file.isDir() && probe.open(QIODevice::ReadWrite);
  }
  return QFileInfo(file.absolutePath()).isWritable();
}

}  // namespace qm::cli
