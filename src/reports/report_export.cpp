#include "reports/report_export.h"

#include "core/ansi_text.h"
#include "log/chunked_output.h"

#include <QBuffer>
#include <QFileInfo>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>
#include <QSaveFile>

#include <algorithm>
#include <array>
#include <charconv>

namespace qm::reports {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kOhmUtf8 = "\xCE\xA9";
constexpr std::uint64_t kProgressRows = 64 * 1024;
// Between two columns of the plain text.
constexpr std::size_t kColumnGap = 2;

std::string utf8(const QString& text) { return text.toUtf8().toStdString(); }

// Characters, not bytes, of UTF-8 text: every byte but the continuation bytes starts one.
std::size_t characterCount(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

template <typename Item>
std::vector<const Item*> leftToRight(const std::vector<Item>& items) {
  std::vector<const Item*> sorted;
  for (const Item& item : items) {
    sorted.push_back(&item);
  }
  std::stable_sort(sorted.begin(), sorted.end(), [](const Item* a, const Item* b) { return a->left < b->left; });
  return sorted;
}

// What the exports take from a layout: the title and the "Print Date:" label of the page header,
// the column headings, and the fields of the detail band, each row left to right.
struct ExportShape {
  std::string title;
  std::string dateLabel;
  std::vector<std::string> headings;
  std::vector<ReportField> fields;
};

ExportShape exportShape(const ReportLayout& layout) {
  ExportShape shape;
  if (const Band* header = layout.band(BandKind::PageHeader)) {
    for (const BandItem& item : header->items) {
      if (item.content == ItemContent::FixedText) {
        (item.width > 0 ? shape.title : shape.dateLabel) = utf8(item.text);
      }
    }
  }
  if (const Band* headings = layout.band(BandKind::ColumnHeader)) {
    for (const BandItem* item : leftToRight(headings->items)) {
      shape.headings.push_back(utf8(item->text));
    }
  }
  if (const Band* detail = layout.band(BandKind::Detail)) {
    for (const BandItem* item : leftToRight(detail->items)) {
      if (item->content == ItemContent::Field) {
        shape.fields.push_back(item->field);
      }
    }
  }
  return shape;
}

// The fields of one row as UTF-8, in the export's column order; buffers kept from row to row.
class RowCells {
public:
  RowCells(const ReportDocument& report, const std::vector<ReportField>& fields) : report_(report), fields_(fields) {}

  void fill(const log::RowFields& row) {
    for (std::size_t i = 0; i < fields_.size(); ++i) {
      std::string& cell = cells_[i];
      cell.clear();
      switch (const ReportField field = fields_[i]) {
        case ReportField::No:
          if (row.No) {
            char digits[12];
            cell.append(digits, std::to_chars(digits, digits + sizeof digits, *row.No).ptr);
          }
          break;
        case ReportField::Time:
          if (row.Time) {
            time_.clear();
            report_.appendTime(time_, *row.Time);
            appendUtf8(cell, time_);
          }
          break;
        default:
          if (const auto& text = row.texts[static_cast<std::size_t>(field) - 2]) {
            appendUtf8(cell, *text);
          }
          break;
      }
    }
  }

  std::size_t size() const { return fields_.size(); }
  const std::string& operator[](std::size_t i) const { return cells_[i]; }

private:
  const ReportDocument& report_;
  const std::vector<ReportField>& fields_;
  std::array<std::string, kReportFieldCount> cells_;
  std::string time_;
};

// Hands every row of the report to `writeRow`, telling `progress` now and then; false when it
// cancelled. Row texts are read one row at a time: nothing of a row is kept across `progress`,
// which may let the table change under the report.
template <typename WriteRow>
bool writeRows(const ReportDocument& report, const ExportShape& shape, log::ChunkedOutput& out,
               const ExportProgress& progress, WriteRow&& writeRow) {
  RowCells cells(report, shape.fields);
  const std::size_t count = shape.fields.empty() ? 0 : report.rowCount();
  for (std::size_t index = 0; index < count; ++index) {
    if (progress && index % kProgressRows == 0 && !progress(index, count)) {
      return false;
    }
    cells.fill(report.row(index));
    writeRow(out.buffer(), cells);
    out.flushIfFull();
  }
  return !progress || progress(count, count);
}

void appendHtmlEscaped(std::string& out, std::string_view text) {
  for (const char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      default: out += c; break;
    }
  }
}

void appendCsvField(std::string& out, std::string_view text) {
  if (text.find_first_of(",\"\r\n") == std::string_view::npos) {
    out += text;
    return;
  }
  out += '"';
  for (const char c : text) {
    out += c;
    if (c == '"') {
      out += '"';
    }
  }
  out += '"';
}

// The picture as a PNG data URL, so that the HTML file stands alone.
std::string pngDataUrl(const QImage& picture) {
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  picture.save(&buffer, "PNG");
  return "data:image/png;base64," + png.toBase64().toStdString();
}

std::string millimetres(Tenths length) { return QString::number(toMillimetres(length), 'f', 1).toStdString() + "mm"; }

// The plain text's columns: each as wide as its heading and the widest text its field can hold,
// plus the gap. The last column is not padded.
std::vector<std::size_t> textColumnWidths(const ReportDocument& report, const ExportShape& shape) {
  std::vector<std::size_t> widths;
  for (std::size_t i = 0; i < shape.headings.size(); ++i) {
    std::size_t widest = characterCount(shape.headings[i]);
    if (i < shape.fields.size()) {
      switch (shape.fields[i]) {
        case ReportField::No: widest = std::max<std::size_t>(widest, 11); break;  // -2147483648
        case ReportField::Time:
          // Hours of two digits, before and after noon.
          for (const log::TimeOfDay time : {log::TimeOfDay{37'230'000}, log::TimeOfDay{80'430'000}}) {
            std::string text;
            appendUtf8(text, report.timeFormat().format(time));
            widest = std::max(widest, characterCount(text));
          }
          break;
        default: widest = std::max(widest, log::kTextFieldBytes); break;
      }
    }
    widths.push_back(widest + kColumnGap);
  }
  return widths;
}

void appendTextLine(std::string& out, const std::vector<std::size_t>& widths, std::size_t count,
                    const auto& cellAt) {
  const std::size_t start = out.size();
  for (std::size_t i = 0; i < count; ++i) {
    const std::string_view cell = cellAt(i);
    // A TAB or a line break inside a text would break the columns or the line: each becomes a blank.
    for (const char c : cell) {
      out += c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
    }
    if (i + 1 < count) {
      const std::size_t shown = characterCount(cell);
      out.append(widths[i] > shown ? widths[i] - shown : 1, ' ');
    }
  }
  // No blanks at the end of a line whose last fields are empty.
  const std::size_t end = out.find_last_not_of(' ');
  out.resize(end == std::string::npos || end < start ? start : end + 1);
  out += kCrLf;
}

std::string titleOf(const ReportDocument& report) { return exportShape(report.layout()).title; }

}  // namespace

void appendUtf8(std::string& out, std::string_view cp936) {
  for (std::size_t i = 0; i < cp936.size();) {
    const char c = cp936[i];
    if (static_cast<unsigned char>(c) < 0x80) {
      out += c;
      ++i;
    } else if (cp936.substr(i, kOhmSign.size()) == kOhmSign) {
      out += kOhmUtf8;
      i += kOhmSign.size();
    } else {
      out += utf8(fromAnsi(cp936.substr(i)));
      return;
    }
  }
}

std::optional<ExportFormat> exportFormatForFileName(const QString& fileName) {
  const QString suffix = QFileInfo(fileName).suffix().toLower();
  if (suffix == u"pdf") {
    return ExportFormat::Pdf;
  }
  if (suffix == u"html" || suffix == u"htm") {
    return ExportFormat::Html;
  }
  if (suffix == u"txt") {
    return ExportFormat::Text;
  }
  if (suffix == u"csv") {
    return ExportFormat::Csv;
  }
  return std::nullopt;
}

bool writeCsv(const ReportDocument& report, log::ChunkedOutput& out, const ExportProgress& progress) {
  const ExportShape shape = exportShape(report.layout());
  std::string& head = out.buffer();
  for (std::size_t i = 0; i < shape.headings.size(); ++i) {
    if (i > 0) {
      head += ',';
    }
    appendCsvField(head, shape.headings[i]);
  }
  head += kCrLf;
  return writeRows(report, shape, out, progress, [](std::string& lines, const RowCells& cells) {
    for (std::size_t i = 0; i < cells.size(); ++i) {
      if (i > 0) {
        lines += ',';
      }
      appendCsvField(lines, cells[i]);
    }
    lines += kCrLf;
  });
}

bool writeText(const ReportDocument& report, log::ChunkedOutput& out, const ExportProgress& progress) {
  const ExportShape shape = exportShape(report.layout());
  const std::vector<std::size_t> widths = textColumnWidths(report, shape);
  std::string& head = out.buffer();
  head += shape.title;
  head += kCrLf;
  head += shape.dateLabel + ' ' + utf8(report.printDate());
  head += kCrLf;
  head += kCrLf;
  appendTextLine(head, widths, shape.headings.size(), [&shape](std::size_t i) -> std::string_view { return shape.headings[i]; });
  return writeRows(report, shape, out, progress, [&widths](std::string& lines, const RowCells& cells) {
    appendTextLine(lines, widths, cells.size(), [&cells](std::size_t i) -> std::string_view { return cells[i]; });
  });
}

bool writeHtml(const ReportDocument& report, log::ChunkedOutput& out, const ExportProgress& progress) {
  const ExportShape shape = exportShape(report.layout());
  std::string& head = out.buffer();
  head +=
      "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>";
  appendHtmlEscaped(head, shape.title);
  head +=
      "</title>\n<style>\n"
      "body { font: 10pt Arial, sans-serif; }\n"
      "h1 { font: bold 14pt Arial, sans-serif; color: #0000ff; text-decoration: underline; text-align: center; "
      "white-space: pre; }\n"
      "p.date { font-size: 7pt; text-align: right; }\n"
      "th, td { text-align: left; font-weight: normal; padding: 0 2em 0 0; white-space: pre; }\n"
      "</style>\n</head>\n<body>\n<h1>";
  appendHtmlEscaped(head, shape.title);
  head += "</h1>\n<p class=\"date\">";
  appendHtmlEscaped(head, shape.dateLabel + ' ' + utf8(report.printDate()));
  head += "</p>\n<table>\n<thead>\n<tr>";
  for (const std::string& heading : shape.headings) {
    head += "<th>";
    appendHtmlEscaped(head, heading);
    head += "</th>";
  }
  head += "</tr>\n</thead>\n<tbody>\n";
  const bool complete = writeRows(report, shape, out, progress, [](std::string& lines, const RowCells& cells) {
    lines += "<tr>";
    for (std::size_t i = 0; i < cells.size(); ++i) {
      lines += "<td>";
      appendHtmlEscaped(lines, cells[i]);
      lines += "</td>";
    }
    lines += "</tr>\n";
  });
  if (!complete) {
    return false;
  }
  std::string& tail = out.buffer();
  tail += "</tbody>\n</table>\n";
  for (const Band& band : report.layout().bands) {
    for (const BandItem& item : band.items) {
      if (item.content == ItemContent::Picture && !report.picture().isNull()) {
        tail += "<p><img alt=\"graph\" style=\"width: " + millimetres(item.width) + "; height: " +
                millimetres(item.height) + ";\" src=\"" + pngDataUrl(report.picture()) + "\"></p>\n";
      }
    }
  }
  tail += "</body>\n</html>\n";
  return true;
}

bool paintPages(const PageSource& source, QPagedPaintDevice& device, QPainter& painter, std::size_t first,
                std::size_t last, const ExportProgress& progress) {
  const double pixelsPerMm = device.logicalDpiX() / 25.4;
  const std::uint64_t total = last - first + 1;
  for (std::size_t page = first; page <= last; ++page) {
    if (progress && !progress(page - first, total)) {
      return false;
    }
    if (page > first && !device.newPage()) {
      return false;
    }
    source.paintPage(painter, page, pixelsPerMm);
  }
  return !progress || progress(total, total);
}

ExportOutcome saveReport(const ReportDocument& report, const QString& fileName, ExportFormat format,
                         const ExportProgress& progress) {
  QSaveFile file(fileName);
  const auto failed = [&] {
    return ExportOutcome{ExportOutcome::Status::Failed,
                         QStringLiteral("Cannot write \"%1\": %2").arg(fileName, file.errorString())};
  };
  if (!file.open(QIODevice::WriteOnly)) {
    return failed();
  }
  bool complete = true;
  bool writeFailed = false;
  if (format == ExportFormat::Pdf) {
    QPdfWriter writer(&file);
    writer.setPageSize(QPageSize(QPageSize::A4));
    writer.setPageOrientation(QPageLayout::Portrait);
    writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
    writer.setTitle(QString::fromStdString(titleOf(report)).trimmed());
    writer.setCreator(QStringLiteral("QM830/QM840 Interface Program V2.00"));
    QPainter painter;
    if (!painter.begin(&writer)) {
      return failed();
    }
    complete = paintPages(report, writer, painter, 0, report.pageCount() - 1, progress);
    painter.end();
  } else {
    log::ChunkedOutput out([&file](std::string_view bytes) {
      const auto size = static_cast<qint64>(bytes.size());
      return file.write(bytes.data(), size) == size;
    });
    complete = format == ExportFormat::Html ? writeHtml(report, out, progress)
               : format == ExportFormat::Text ? writeText(report, out, progress)
                                              : writeCsv(report, out, progress);
    writeFailed = !out.finish();
  }
  if (!complete) {
    file.cancelWriting();
    return {ExportOutcome::Status::Cancelled, {}};
  }
  if (writeFailed || !file.commit()) {
    return failed();
  }
  return {};
}

}  // namespace qm::reports
