#pragma once

// The picture of the graph reports: any picture file the user picks, such as a chart snapshot
// (a Windows bitmap), or a PNG or JPEG picture.

#include <QImage>
#include <QString>

namespace qm::reports {

// The picture dialog's filter.
QString reportPictureFilter();

struct LoadedPicture {
  QImage image;
  QString error;  // why the file could not be read, naming it; empty when `image` holds it
};

LoadedPicture loadReportPicture(const QString& fileName);

}  // namespace qm::reports
