#include "reports/report_document.h"

#include "core/ansi_text.h"
#include "reports/page_painter.h"

#include <QDate>
#include <QLocale>

#include <algorithm>

namespace qm::reports {
namespace {

// Between a page number and the "Of" after it when a long number pushes "Of" to the right.
constexpr Tenths kPageNumberGap = mm(1.0);
// Between a field cut to its room and the next item.
constexpr Tenths kFieldGap = mm(1.0);

// A field may take the width up to the next item on its right, or to the band's right edge: a
// table text can be twenty characters, wider than its column.
Tenths fieldRoom(const Band& band, const BandItem& field) {
  Tenths right = PageSetup::kBandWidth;
  for (const BandItem& other : band.items) {
    if (other.left > field.left) {
      right = std::min(right, other.left - kFieldGap);
    }
  }
  return std::max<Tenths>(right - field.left, 1);
}

// A report bound to the table prints a detail band per row, and one with empty fields for an
// empty table; any other report prints it once.
std::size_t detailBands(const TableSnapshot* rows) { return rows != nullptr ? std::max<std::size_t>(1, rows->rowCount()) : 1; }

}  // namespace

QString todayInShortDateFormat() { return QLocale::system().toString(QDate::currentDate(), QLocale::ShortFormat); }

ReportDocument::ReportDocument(ReportKind kind, const log::ReadingTable* table, ReportOptions options)
    : layout_(reportLayout(kind)),
      snapshot_(layout_.boundToTable && table != nullptr ? std::make_unique<TableSnapshot>(*table) : nullptr),
      plan_(layout_, detailBands(snapshot_.get())),
      printDate_(options.printDate.isEmpty() ? todayInShortDateFormat() : std::move(options.printDate)),
      timeFormat_(options.timeFormat ? std::move(*options.timeFormat) : log::TimeOfDayFormat::systemLongTime()),
      picture_(std::move(options.picture)) {}

ReportDocument::~ReportDocument() = default;

std::size_t ReportDocument::rowCount() const { return snapshot_ ? snapshot_->rowCount() : 0; }

log::RowFields ReportDocument::row(std::size_t index) const { return snapshot_ ? snapshot_->row(index) : log::RowFields{}; }

QString ReportDocument::fieldText(const log::RowFields& row, ReportField field) const {
  switch (field) {
    case ReportField::No:
      return row.No ? QString::number(*row.No) : QString();
    case ReportField::Time:
      return row.Time ? fromAnsi(timeFormat_.format(*row.Time)) : QString();
    default: {
      const auto& text = row.texts[static_cast<std::size_t>(field) - 2];
      return text ? fromAnsi(*text) : QString();
    }
  }
}

PageContent ReportDocument::pageContent(std::size_t page) const {
  PageContent content;
  const PagePlan::Page span = plan_.page(std::min(page, plan_.pageCount() - 1));
  Tenths top = PageSetup::kMargin;
  const auto place = [&](BandKind kind, const std::optional<log::RowFields>& row = std::nullopt) {
    if (const Band* band = layout_.band(kind)) {
      placeBand(content, *band, top, page, row);
      top += band->height;
    }
  };
  if (span.title) {
    place(BandKind::Title);
  }
  place(BandKind::PageHeader);
  place(BandKind::ColumnHeader);
  for (std::size_t detail = span.firstDetail; detail < span.firstDetail + span.detailCount; ++detail) {
    place(BandKind::Detail, layout_.boundToTable ? std::optional<log::RowFields>(row(detail)) : std::nullopt);
  }
  if (span.summary) {
    place(BandKind::Summary);
  }
  top = PageSetup::kPaperHeight - PageSetup::kMargin - layout_.bandHeight(BandKind::PageFooter);
  place(BandKind::PageFooter);
  return content;
}

void ReportDocument::placeBand(PageContent& content, const Band& band, Tenths top, std::size_t page,
                               const std::optional<log::RowFields>& row) const {
  content.bands.push_back({band.kind, top, band.height});
  const Tenths left = PageSetup::kMargin;
  // A page number too long for its place pushes the items after it to the right.
  Tenths shift = 0;
  for (const BandItem& item : band.items) {
    QString text;
    switch (item.content) {
      case ItemContent::FixedText: text = item.text; break;
      case ItemContent::Field: text = row ? fieldText(*row, item.field) : QString(); break;
      case ItemContent::PrintDate: text = printDate_; break;
      case ItemContent::PageNumber: text = QString::number(page + 1); break;
      case ItemContent::PageTotal: text = QString::number(pageTotal()); break;
      case ItemContent::Picture:
        content.pictures.push_back({left + item.left, top + item.top, item.width, item.height});
        continue;
    }
    if (text.isEmpty()) {
      continue;
    }
    content.texts.push_back({text, left + item.left + shift, top + item.top, item.width, &item.style,
                             item.content == ItemContent::Field ? fieldRoom(band, item) : 0});
    if (item.content == ItemContent::PageNumber) {
      std::optional<Tenths> nextLeft;
      for (const BandItem& other : band.items) {
        if (other.left > item.left && (!nextLeft || other.left < *nextLeft)) {
          nextLeft = other.left;
        }
      }
      if (nextLeft) {
        shift = std::max<Tenths>(0, item.left + textWidth(item.style, text) + kPageNumberGap - *nextLeft);
      }
    }
  }
}

QSizeF ReportDocument::pageSize(std::size_t) const {
  return {toMillimetres(PageSetup::kPaperWidth), toMillimetres(PageSetup::kPaperHeight)};
}

void ReportDocument::paintPage(QPainter& painter, std::size_t page, double pixelsPerMm) const {
  PagePainter(painter, pixelsPerMm).paint(pageContent(page), picture_);
}

}  // namespace qm::reports
