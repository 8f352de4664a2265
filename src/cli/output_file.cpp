#include "cli/output_file.h"

#include <QFile>
#include <QFileInfo>

namespace qm::cli {

QString whyNotWritableLater(const QString& fileName) {
  const QFileInfo file(fileName);
  if (file.isDir()) {
    return QStringLiteral("it is a folder");
  }
  if (file.exists()) {
    QFile probe(fileName);
    return probe.open(QIODevice::ReadWrite) ? QString() : probe.errorString();
  }
  const QFileInfo folder(file.absolutePath());
  if (folder.exists() && !folder.isDir()) {
    return QStringLiteral("%1 is not a folder").arg(folder.filePath());
  }
  if (!folder.isDir()) {
    return QStringLiteral("the folder %1 does not exist").arg(folder.filePath());
  }
  return folder.isWritable() ? QString() : QStringLiteral("the folder %1 cannot be written to").arg(folder.filePath());
}

}  // namespace qm::cli
