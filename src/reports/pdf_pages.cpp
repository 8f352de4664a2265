#include "reports/pdf_pages.h"

#include <QFile>
#include <QPainter>
#include <QPdfDocument>

#include <algorithm>
#include <cmath>

namespace qm::reports {
namespace {

constexpr double kMillimetresPerPoint = 25.4 / 72;
// Pages are rendered at most this finely; a printer at 1200 dpi gets them scaled up.
constexpr double kMostPixelsPerMm = 300 / 25.4;
constexpr std::size_t kRenderedKept = 6;
constexpr qint64 kPdfHeaderWithin = 1024;

QString loadError(QPdfDocument::Error error) {
  switch (error) {
    case QPdfDocument::Error::FileNotFound: return QStringLiteral("the file was not found");
    case QPdfDocument::Error::InvalidFileFormat: return QStringLiteral("it is not a PDF file");
    case QPdfDocument::Error::IncorrectPassword:
    case QPdfDocument::Error::UnsupportedSecurityScheme: return QStringLiteral("it is protected by a password");
    case QPdfDocument::Error::DataNotYetAvailable:
    case QPdfDocument::Error::Unknown:
    case QPdfDocument::Error::None: break;
  }
  return QStringLiteral("it cannot be read");
}

}  // namespace

PdfPages::PdfPages(std::unique_ptr<QPdfDocument> document, QString fileName)
    : document_(std::move(document)), fileName_(std::move(fileName)) {}

PdfPages::~PdfPages() = default;

std::unique_ptr<PdfPages> PdfPages::load(const QString& fileName, QString& error) {
  const auto refuse = [&](const QString& why) {
    error = QStringLiteral("Cannot load the report \"%1\": %2").arg(fileName, why);
    return nullptr;
  };
  // A PDF says so in its first kilobyte. Other files never reach Qt PDF, which keeps a little
  // memory of every load that fails.
  QFile file(fileName);
  if (!file.open(QIODevice::ReadOnly)) {
    return refuse(file.error() == QFileDevice::OpenError && !file.exists() ? loadError(QPdfDocument::Error::FileNotFound)
                                                                          : file.errorString());
  }
  if (!file.read(kPdfHeaderWithin).contains("%PDF-")) {
    return refuse(loadError(QPdfDocument::Error::InvalidFileFormat));
  }
  auto document = std::make_unique<QPdfDocument>();
  const QPdfDocument::Error outcome = document->load(fileName);
  if (outcome != QPdfDocument::Error::None) {
    return refuse(loadError(outcome));
  }
  if (document->pageCount() <= 0) {
    return refuse(QStringLiteral("it has no pages"));
  }
  return std::unique_ptr<PdfPages>(new PdfPages(std::move(document), fileName));
}

std::size_t PdfPages::pageCount() const { return static_cast<std::size_t>(document_->pageCount()); }

QSizeF PdfPages::pageSize(std::size_t page) const {
  return document_->pagePointSize(static_cast<int>(page)) * kMillimetresPerPoint;
}

void PdfPages::paintPage(QPainter& painter, std::size_t page, double pixelsPerMm) const {
  const QSizeF paper = pageSize(page) * pixelsPerMm;
  const QSize wanted = (pageSize(page) * std::min(pixelsPerMm, kMostPixelsPerMm)).toSize();
  auto found = std::find_if(rendered_.begin(), rendered_.end(),
                            [&](const Rendered& kept) { return kept.page == page && kept.image.size() == wanted; });
  if (found == rendered_.end()) {
    rendered_.push_front({page, document_->render(static_cast<int>(page), wanted)});
    if (rendered_.size() > kRenderedKept) {
      rendered_.pop_back();
    }
    found = rendered_.begin();
  }
  painter.drawImage(QRectF(QPointF(0, 0), paper), found->image);
}

}  // namespace qm::reports
