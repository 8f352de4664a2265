#pragma once

// A saved PDF report loaded back into the preview: its pages rendered by Qt PDF at the size they
// are shown, the last few kept so that scrolling does not render a page again.

#include "reports/page_source.h"

#include <QImage>
#include <QString>

#include <cstddef>
#include <deque>
#include <memory>

QT_BEGIN_NAMESPACE
class QPdfDocument;
QT_END_NAMESPACE

namespace qm::reports {

class PdfPages : public PageSource {
public:
  ~PdfPages() override;

  // The loaded file, or null with `error` naming the file and the reason.
  static std::unique_ptr<PdfPages> load(const QString& fileName, QString& error);

  const QString& fileName() const { return fileName_; }

  std::size_t pageCount() const override;
  QSizeF pageSize(std::size_t page) const override;
  void paintPage(QPainter& painter, std::size_t page, double pixelsPerMm) const override;

private:
  PdfPages(std::unique_ptr<QPdfDocument> document, QString fileName);

  struct Rendered {
    std::size_t page;
    QImage image;
  };

  std::unique_ptr<QPdfDocument> document_;
  QString fileName_;
  mutable std::deque<Rendered> rendered_;
};

}  // namespace qm::reports
