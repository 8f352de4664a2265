#pragma once

// The four printed reports as band layouts: which bands a report has, how tall each is, and what
// each band holds where. A layout is plain data; ReportDocument turns it into pages and PagePainter
// draws them.
//
// Every length is a whole number of tenths of a millimetre, measured from the top-left corner of
// the band (items) or of the paper (page setup). The layouts' own measures are all multiples of
// 0.1 mm, so pages break by integer arithmetic and no rounding decides whether a row still fits.

#include <QColor>
#include <QString>

#include <cstddef>
#include <vector>

namespace qm::reports {

using Tenths = int;

constexpr Tenths mm(double millimetres) { return static_cast<Tenths>(millimetres * 10 + 0.5); }
constexpr double toMillimetres(Tenths length) { return length / 10.0; }

// A4 portrait, 10 mm margins on all four sides; one column, so every band is 190 mm wide.
struct PageSetup {
  static constexpr Tenths kPaperWidth = mm(210);
  static constexpr Tenths kPaperHeight = mm(297);
  static constexpr Tenths kMargin = mm(10);
  static constexpr Tenths kBandWidth = kPaperWidth - 2 * kMargin;
  static constexpr Tenths kBodyHeight = kPaperHeight - 2 * kMargin;
};

enum class ReportKind { Data, Store, Graph, DataGraph };

// The fields a detail band shows, in the reading table's field order.
enum class ReportField { No, Time, Value, Unit, VRange, IRange };
inline constexpr std::size_t kReportFieldCount = 6;

struct TextStyle {
  QString family;
  double points = 10;
  bool bold = false;
  bool underline = false;
  QColor color = Qt::black;
};

enum class ItemContent {
  FixedText,   // `text`
  Field,       // the row's `field` as displayed
  PrintDate,   // the date the report was opened, in the system's short date format
  PageNumber,  // the page's number, from 1
  PageTotal,   // the report's page total (the number printed after "Of")
  Picture,     // the report's picture, stretched over width x height
};

struct BandItem {
  QString name;  // the item's name in the report design: RpLabel1, RpDBText3, Allpage, ...
  ItemContent content = ItemContent::FixedText;
  QString text;
  ReportField field = ReportField::No;
  Tenths left = 0;
  Tenths top = 0;
  // A text with a width is centred in a box that wide starting at `left`; without one it starts
  // at `left`. A picture fills width x height.
  Tenths width = 0;
  Tenths height = 0;
  TextStyle style;
};

// The order of the kinds is the order in which a page prints them (the page footer at the foot).
enum class BandKind { Title, PageHeader, ColumnHeader, Detail, Summary, PageFooter };

struct Band {
  BandKind kind = BandKind::Detail;
  Tenths height = 0;
  std::vector<BandItem> items;
};

struct ReportLayout {
  ReportKind kind = ReportKind::Data;
  // A report bound to the reading table prints its detail band once per row (and once, with
  // empty fields, for an empty table); one bound to no table prints it exactly once.
  bool boundToTable = false;
  std::vector<Band> bands;

  // The band of that kind, or null when the report has none.
  const Band* band(BandKind kind) const;
  Tenths bandHeight(BandKind kind) const;
};

// The layout of each report, as designed: texts, places, fonts and colours.
const ReportLayout& reportLayout(ReportKind kind);

}  // namespace qm::reports
