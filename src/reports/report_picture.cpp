#include "reports/report_picture.h"

#include <QImageReader>

namespace qm::reports {

QString reportPictureFilter() {
  return QStringLiteral("Pictures (*.bmp *.png *.jpg *.jpeg);;Bitmaps (*.bmp);;PNG (*.png);;JPEG (*.jpg *.jpeg)");
}

LoadedPicture loadReportPicture(const QString& fileName) {
  QImageReader reader(fileName);
  // A picture's own orientation tag is how a person expects to see it.
  reader.setAutoTransform(true);
  LoadedPicture loaded{reader.read(), {}};
  if (loaded.image.isNull()) {
    loaded.error = QStringLiteral("Cannot load the picture \"%1\": %2").arg(fileName, reader.errorString());
  }
  return loaded;
}

}  // namespace qm::reports
