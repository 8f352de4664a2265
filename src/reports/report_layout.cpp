#include "reports/report_layout.h"

#include <array>

namespace qm::reports {
namespace {

const QColor kBlue(0, 0, 255);

TextStyle arial(double points, QColor color = Qt::black) { return {QStringLiteral("Arial"), points, false, false, color}; }

// The reports' base font, which the "I_Range" column uses instead of Arial.
TextStyle baseFont() { return {QStringLiteral("Times New Roman"), 10, false, false, Qt::black}; }

TextStyle titleStyle() { return {QStringLiteral("Arial"), 14, true, true, kBlue}; }

BandItem fixedText(const char* name, const QString& text, double left, double top, TextStyle style) {
  BandItem item;
  item.name = QLatin1String(name);
  item.text = text;
  item.left = mm(left);
  item.top = mm(top);
  item.style = std::move(style);
  return item;
}

BandItem field(const QString& name, ReportField which, double left, double top, TextStyle style) {
  BandItem item;
  item.name = name;
  item.content = ItemContent::Field;
  item.field = which;
  item.left = mm(left);
  item.top = mm(top);
  item.style = std::move(style);
  return item;
}

BandItem picture(const char* name, double left, double top, double width, double height) {
  BandItem item;
  item.name = QLatin1String(name);
  item.content = ItemContent::Picture;
  item.left = mm(left);
  item.top = mm(top);
  item.width = mm(width);
  item.height = mm(height);
  return item;
}

BandItem systemItem(const char* name, ItemContent content, double left, double top, TextStyle style) {
  BandItem item = fixedText(name, {}, left, top, std::move(style));
  item.content = content;
  return item;
}

// The page header of every report: the title centred in its box, "Print Date:" and the date.
Band pageHeader(const QString& title, double titleLeft, double titleTop, double titleWidth) {
  BandItem titleItem = fixedText("RpLabel1", title, titleLeft, titleTop, titleStyle());
  titleItem.width = mm(titleWidth);
  return {BandKind::PageHeader,
          mm(10.6),
          {titleItem, fixedText("RpLabel9", QStringLiteral("Print Date:"), 158.8, 5.3, arial(7)),
           systemItem("RpSysData1", ItemContent::PrintDate, 171.4, 5.3, arial(7))}};
}

// "The Page" n "Of" total.
Band pageFooter(const char* totalName) {
  return {BandKind::PageFooter,
          mm(10.6),
          {fixedText("RpLabel8", QStringLiteral("The Page"), 8.5, 4.2, arial(10)),
           systemItem("RpSysData2", ItemContent::PageNumber, 24.3, 4.2, arial(8, kBlue)),
           fixedText("RpLabel10", QStringLiteral("Of"), 31.8, 4.2, arial(10)),
           systemItem(totalName, ItemContent::PageTotal, 37.0, 4.2, arial(9, kBlue))}};
}

struct Column {
  const char* heading;
  double headingLeft;
  double fieldLeft;
};

// Column headings over the detail band's fields; the last column ("I_Range" in the store and
// data+graph reports) may use the base font.
Band columnHeader(const std::array<Column, kReportFieldCount>& columns, bool baseFontLast) {
  Band band{BandKind::ColumnHeader, mm(10.6), {}};
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const bool base = baseFontLast && i + 1 == columns.size();
    const QByteArray name = "RpLabel" + QByteArray::number(static_cast<int>(i + 2));
    band.items.push_back(fixedText(name.constData(), QLatin1String(columns[i].heading), columns[i].headingLeft, 4.2,
                                   base ? baseFont() : arial(10)));
  }
  return band;
}

Band detail(const std::array<Column, kReportFieldCount>& columns, const char* namePrefix, bool baseFontLast) {
  Band band{BandKind::Detail, mm(6.6), {}};
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const auto which = static_cast<ReportField>(i);
    const bool base = baseFontLast && i + 1 == columns.size();
    // The function column sits half a millimetre higher than its neighbours.
    const double top = which == ReportField::VRange ? 1.6 : 2.1;
    const QString name = QLatin1String(namePrefix) + QString::number(static_cast<int>(i + 1));
    band.items.push_back(field(name, which, columns[i].fieldLeft, top, base ? baseFont() : arial(10)));
  }
  return band;
}

constexpr std::array<Column, kReportFieldCount> kDataColumns{{{"No", 8.5, 8.5},
                                                             {"Time", 33.9, 33.9},
                                                             {"Value", 64.3, 65.6},
                                                             {"Unit", 99.5, 99.5},
                                                             {"Function", 123.8, 123.8},
                                                             {"Remark", 163.0, 164.0}}};

constexpr std::array<Column, kReportFieldCount> kStoreColumns{{{"No", 8.5, 8.5},
                                                              {"Time", 33.9, 33.9},
                                                              {"Value", 64.3, 65.6},
                                                              {"Unit", 99.5, 99.5},
                                                              {"V_Range", 132.3, 132.3},
                                                              {"I_Range", 163.0, 163.0}}};

ReportLayout dataReport() {
  return {ReportKind::Data,
          true,
          {pageHeader(QStringLiteral(" TEST DATA REPORT"), 55.8, 2.1, 78.3), columnHeader(kDataColumns, false),
           detail(kDataColumns, "RpDBText", false), pageFooter("Allpage")}};
}

ReportLayout storeReport() {
  return {ReportKind::Store,
          false,
          {pageHeader(QStringLiteral("QM310 STORE DATA REPORT"), 0, 1.1, 190), columnHeader(kStoreColumns, true),
           detail(kStoreColumns, "SDBText", true), pageFooter("Sallpage")}};
}

ReportLayout graphReport() {
  Band headings{BandKind::ColumnHeader,
                mm(5.0),
                {fixedText("RpLabel6", QStringLiteral("V_Range"), 132.3, 4.2, arial(10)),
                 fixedText("RpLabel7", QStringLiteral("I_Range"), 163.0, 4.2, baseFont())}};
  return {ReportKind::Graph,
          false,
          {pageHeader(QStringLiteral("QM310 GRAPH REPORT"), 0, 3.2, 190), std::move(headings),
           Band{BandKind::Detail, mm(156.6), {picture("RpImage1", 2.1, 6.3, 181.2, 151.6)}}}};
}

ReportLayout dataGraphReport() {
  return {ReportKind::DataGraph,
          true,
          {Band{BandKind::Title, mm(0.3), {}},
           pageHeader(QStringLiteral("QM310 TEST DATA+GRAPH  REPORT"), 60.1, 2.1, 69.6), columnHeader(kStoreColumns, true),
           detail(kStoreColumns, "RpDBText", true),
           Band{BandKind::Summary, mm(91.3), {picture("RpImage2", 7.4, 9.5, 143.1, 77.5)}},
           Band{BandKind::PageFooter, mm(9.8), {}}}};
}

}  // namespace

const Band* ReportLayout::band(BandKind which) const {
  for (const Band& candidate : bands) {
    if (candidate.kind == which) {
      return &candidate;
    }
  }
  return nullptr;
}

Tenths ReportLayout::bandHeight(BandKind which) const {
  const Band* found = band(which);
  return found != nullptr ? found->height : 0;
}

const ReportLayout& reportLayout(ReportKind kind) {
  static const std::array<ReportLayout, 4> layouts{dataReport(), storeReport(), graphReport(), dataGraphReport()};
  return layouts[static_cast<std::size_t>(kind)];
}

}  // namespace qm::reports
