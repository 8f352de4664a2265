#pragma once

// One opened report: a layout, the rows it shows (a snapshot of the reading table taken when it
// was opened), the print date, and the picture of the graph reports. Pages are computed, never
// laid out ahead: pageContent(k) places the items of page k from the page plan and the rows of that
// page alone, and the page painter draws what it places. The preview, the printer, the PDF writer
// and the exports all read the report through this object, so they agree on every row and total.

#include "log/time_of_day_format.h"
#include "reports/page_plan.h"
#include "reports/page_source.h"
#include "reports/report_layout.h"
#include "reports/table_snapshot.h"

#include <QColor>
#include <QImage>
#include <QPolygonF>
#include <QString>

#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace qm::reports {

// A text as a page prints it. Places are on the paper, in tenths of a millimetre.
struct PlacedText {
  QString text;
  Tenths left = 0;
  Tenths top = 0;
  Tenths boxWidth = 0;  // > 0: centred in a box this wide starting at `left`
  const TextStyle* style = nullptr;
  // > 0: what is wider is cut off, so that a long field never prints over its neighbour.
  Tenths room = 0;
};

struct PlacedRect {
  Tenths left = 0;
  Tenths top = 0;
  Tenths width = 0;
  Tenths height = 0;
};

// A drawn line (a frame, a rule, a curve) through points on the paper, in tenths of a millimetre
// but not rounded to them, so that a curve stays smooth.
struct PlacedLine {
  QPolygonF points;
  double widthMm = 0.2;
  QColor colour = Qt::black;
  Qt::PenStyle style = Qt::SolidLine;
};

struct PlacedBand {
  BandKind kind = BandKind::Detail;
  Tenths top = 0;
  Tenths height = 0;
};

struct PageContent {
  std::vector<PlacedBand> bands;  // in the order they print, top to bottom
  std::vector<PlacedText> texts;
  std::vector<PlacedRect> pictures;
  std::vector<PlacedLine> lines;  // drawn under the texts
};

struct ReportOptions {
  // The report's date, as "Print Date:" shows it. Empty: today, in the system's short date format.
  QString printDate;
  // The user's long time format, for the Time column.
  std::optional<log::TimeOfDayFormat> timeFormat;
  // The graph reports' picture, stretched over its box.
  QImage picture;
};

class ReportDocument : public PageSource {
public:
  // `table` is read for the reports bound to it (data, data+graph) and ignored by the others.
  ReportDocument(ReportKind kind, const log::ReadingTable* table, ReportOptions options);
  ~ReportDocument() override;

  const ReportLayout& layout() const { return layout_; }
  ReportKind kind() const { return layout_.kind; }
  const QString& printDate() const { return printDate_; }
  const log::TimeOfDayFormat& timeFormat() const { return timeFormat_; }
  const QImage& picture() const { return picture_; }

  // The rows the report shows; none for a report bound to no table.
  std::size_t rowCount() const;
  log::RowFields row(std::size_t index) const;
  const TableSnapshot* snapshot() const { return snapshot_.get(); }

  // The total the footer prints after "Of": for the data report DataReportPages (1 up to 37 rows,
  // then the rows divided by 37, rounded up), for the store report StoreReportPages (always 1).
  std::size_t pageTotal() const { return plan_.pageCount(); }
  const PagePlan& plan() const { return plan_; }

  // The field as the report prints it: the number in decimal, the time in the long time format,
  // the texts as Unicode; empty for a null field.
  QString fieldText(const log::RowFields& row, ReportField field) const;
  // The time as the report prints it, as code page 936 bytes (what the exports convert).
  void appendTime(std::string& out, log::TimeOfDay time) const { timeFormat_.appendTo(out, time); }

  PageContent pageContent(std::size_t page) const;

  std::size_t pageCount() const override { return plan_.pageCount(); }
  QSizeF pageSize(std::size_t page) const override;
  void paintPage(QPainter& painter, std::size_t page, double pixelsPerMm) const override;

private:
  void placeBand(PageContent& content, const Band& band, Tenths top, std::size_t page,
                 const std::optional<log::RowFields>& row) const;

  const ReportLayout& layout_;
  std::unique_ptr<TableSnapshot> snapshot_;
  PagePlan plan_;
  QString printDate_;
  log::TimeOfDayFormat timeFormat_;
  QImage picture_;
};

// Today in the system's short date format, as the reports print it.
QString todayInShortDateFormat();

}  // namespace qm::reports
