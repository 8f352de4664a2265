#pragma once

// Chart snapshots on disk: their time-stamped names, their folder, and writing the picture as a
// Windows bitmap without ever leaving a half-written file behind.

#include <QDateTime>
#include <QString>

#include <optional>

QT_BEGIN_NAMESPACE
class QImage;
QT_END_NAMESPACE

namespace qm::chart {

// The local date and time to the minute as "yymmddhhnn".
QString snapshotStamp(const QDateTime& at);
// stamp + "page" + page caption + ".bmp"
QString pageSnapshotName(const QDateTime& at, const QString& pageCaption);
// stamp + "Fullpage.bmp"
QString wholeSnapshotName(const QDateTime& at);

// "c:\TestGraph\" on Windows; elsewhere the folder TestGraph in the user's home folder. Ends in the
// path separator. The program never creates it.
QString defaultSnapshotFolder();

// Writes `picture` as a BMP file to `path`, replacing a file of that name. Returns the
// file-creation error naming the path and the reason, or nothing when the file was written.
std::optional<QString> writeBitmap(const QImage& picture, const QString& path);

struct SnapshotOutcome {
  bool ok = false;
  // The confirmation "graphic has saved on <path>", or the file-creation error naming the path and
  // the reason.
  QString message;
};

// writeBitmap to `folder` + `fileName`.
SnapshotOutcome saveSnapshot(const QImage& picture, const QString& folder, const QString& fileName);

}  // namespace qm::chart
