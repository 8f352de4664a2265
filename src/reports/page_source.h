#pragma once

// What the preview shows, the printer prints and the PDF writer writes: a number of pages, each
// painted when asked for. A report is one kind of page source, a PDF report loaded from disk
// another; the preview and the printing code see only this.

#include <QSizeF>

#include <cstddef>

QT_BEGIN_NAMESPACE
class QPainter;
QT_END_NAMESPACE

namespace qm::reports {

class PageSource {
public:
  virtual ~PageSource() = default;

  virtual std::size_t pageCount() const = 0;
  // The paper of page `page`, in millimetres.
  virtual QSizeF pageSize(std::size_t page) const = 0;
  // Paints page `page` with the paper's top-left corner at the painter's origin, at `pixelsPerMm`
  // device pixels to the millimetre. The background is left to the caller.
  virtual void paintPage(QPainter& painter, std::size_t page, double pixelsPerMm) const = 0;
};

}  // namespace qm::reports
