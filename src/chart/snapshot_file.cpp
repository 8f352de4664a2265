#include "chart/snapshot_file.h"

#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QSaveFile>

namespace qm::chart {

QString snapshotStamp(const QDateTime& at) { return at.toString(QStringLiteral("yyMMddHHmm")); }

QString pageSnapshotName(const QDateTime& at, const QString& pageCaption) {
  return snapshotStamp(at) + QStringLiteral("page") + pageCaption + QStringLiteral(".bmp");
}

QString wholeSnapshotName(const QDateTime& at) { return snapshotStamp(at) + QStringLiteral("Fullpage.bmp"); }

QString defaultSnapshotFolder() {
#ifdef Q_OS_WIN
  return QStringLiteral("c:\\TestGraph\\");
#else
  return QDir::homePath() + QStringLiteral("/TestGraph/");
#endif
}

std::optional<QString> writeBitmap(const QImage& picture, const QString& path) {
  const auto refused = [&path](const QString& reason) {
    return QStringLiteral("Cannot create file \"%1\". %2").arg(QDir::toNativeSeparators(path), reason);
  };
  const QString folder = QFileInfo(path).absolutePath();
  if (!QFileInfo(folder).isDir()) {
    return refused(QStringLiteral("The folder \"%1\" does not exist.").arg(QDir::toNativeSeparators(folder)));
  }
  // Written aside and renamed into place, so a failure leaves any earlier file of that name whole.
  // An unfinished QSaveFile is discarded when it goes out of scope.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    return refused(file.errorString());
  }
  if (!picture.save(&file, "BMP")) {
    return refused(file.error() != QFileDevice::NoError ? file.errorString()
                                                        : QStringLiteral("The picture could not be written."));
  }
  if (!file.commit()) {
    return refused(file.errorString());
  }
  return std::nullopt;
}

SnapshotOutcome saveSnapshot(const QImage& picture, const QString& folder, const QString& fileName) {
  const QString path = folder + fileName;
  if (const std::optional<QString> error = writeBitmap(picture, path)) {
    return {false, *error};
  }
  return {true, QStringLiteral("graphic has saved on ") + QDir::toNativeSeparators(path)};
}

}  // namespace qm::chart
