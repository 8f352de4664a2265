#include "reports/report_export.h"

#include "reports/export_rows.h"
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
#include <cstring>
#include <string>
#include <vector>

namespace qm::reports {
namespace {

constexpr std::string_view kCrLf = "\r\n";
// Between two columns of the plain text.
constexpr std::size_t kColumnGap = 2;

// The encoders write into the file's buffer (headings) and into the text of a cell.
template <typename Bytes>
void appendHtmlEscaped(Bytes& out, std::string_view text) {
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

template <typename Bytes>
void appendCsvField(Bytes& out, std::string_view text) {
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

// A TAB or a line break inside a text would break the plain text's columns or its line: each
// becomes a blank.
template <typename Bytes>
void appendTextColumn(Bytes& out, std::string_view text) {
  for (const char c : text) {
    out += c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
  }
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

char* put(char* at, std::string_view bytes) {
  // Most framing is one character or none; copying those by hand spares a library call each.
  if (bytes.size() <= 1) {
    if (!bytes.empty()) {
      *at++ = bytes.front();
    }
    return at;
  }
  return std::copy(bytes.begin(), bytes.end(), at);
}

// How the comma-separated text and the HTML write a row: the cells in order, each framed.
struct RowFormat {
  std::string_view rowStart;
  std::string_view cellStart;
  std::string_view separator;  // between two cells
  std::string_view cellEnd;
  std::string_view rowEnd;
};

constexpr RowFormat kCsvRow{"", "", ",", "", kCrLf};
constexpr RowFormat kHtmlRow{"<tr>", "<td>", "", "</td>", "</tr>\n"};

// Rows are written in place into room for the whole row, then cut to length: a row of ten million
// is a few copies, not a dozen appends.
void appendRow(log::OutputBytes& out, const RowFormat& format, const ExportCell* const* cells, std::size_t count) {
  std::size_t size = format.rowStart.size() + format.rowEnd.size() + ExportCell::kShort +
                     count * (format.cellStart.size() + format.separator.size() + format.cellEnd.size());
  for (std::size_t i = 0; i < count; ++i) {
    size += cells[i]->size();
  }
  const std::size_t start = out.size();
  out.resize(start + size);
  char* at = put(out.data() + start, format.rowStart);
  for (std::size_t i = 0; i < count; ++i) {
    if (i > 0) {
      at = put(at, format.separator);
    }
    at = put(cells[i]->copyTo(put(at, format.cellStart)), format.cellEnd);
  }
  at = put(at, format.rowEnd);
  out.resize(static_cast<std::size_t>(at - out.data()));
}

// One line of the plain text: each cell padded to its column's width (by one blank at least),
// the last one not, and no blanks at the end of a line whose last fields are empty.
void appendTextLine(log::OutputBytes& out, const std::vector<std::size_t>& widths, const ExportCell* const* cells,
                    std::size_t count) {
  static constexpr std::array<char, ExportCell::kShort> kBlanks = [] {
    std::array<char, ExportCell::kShort> blanks{};
    blanks.fill(' ');
    return blanks;
  }();
  std::size_t size = kCrLf.size() + ExportCell::kShort;
  for (std::size_t i = 0; i < count; ++i) {
    size += cells[i]->size() + widths[i] + 1;
  }
  const std::size_t start = out.size();
  out.resize(start + size);
  char* const first = out.data() + start;
  char* at = first;
  for (std::size_t i = 0; i < count; ++i) {
    at = cells[i]->copyTo(at);
    if (i + 1 < count) {
      const std::size_t blanks = widths[i] > cells[i]->characters ? widths[i] - cells[i]->characters : 1;
      if (blanks <= kBlanks.size()) {
        std::memcpy(at, kBlanks.data(), kBlanks.size());
        at += blanks;
      } else {
        at = std::fill_n(at, blanks, ' ');
      }
    }
  }
  while (at != first && at[-1] == ' ') {
    --at;
  }
  at = put(at, kCrLf);
  out.resize(static_cast<std::size_t>(at - out.data()));
}

}  // namespace

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
  log::OutputBytes& head = out.buffer();
  for (std::size_t i = 0; i < shape.headings.size(); ++i) {
    if (i > 0) {
      head += ',';
    }
    appendCsvField(head, shape.headings[i]);
  }
  head += kCrLf;
  ExportRows rows(report, shape.fields, appendCsvField<std::string>);
  return rows.forEachRow(progress, [&out](const ExportCell* const* cells, std::size_t count) {
    appendRow(out.buffer(), kCsvRow, cells, count);
    out.flushIfFull();
  });
}

bool writeText(const ReportDocument& report, log::ChunkedOutput& out, const ExportProgress& progress) {
  const ExportShape shape = exportShape(report.layout());
  const std::vector<std::size_t> widths = textColumnWidths(report, shape);
  log::OutputBytes& head = out.buffer();
  head += shape.title;
  head += kCrLf;
  head += shape.dateLabel + ' ' + utf8(report.printDate());
  head += kCrLf;
  head += kCrLf;
  std::vector<ExportCell> headings;
  for (const std::string& heading : shape.headings) {
    headings.push_back(exportCell(appendTextColumn, heading));
  }
  std::vector<const ExportCell*> headingCells;
  for (const ExportCell& heading : headings) {
    headingCells.push_back(&heading);
  }
  appendTextLine(head, widths, headingCells.data(), headingCells.size());
  ExportRows rows(report, shape.fields, appendTextColumn<std::string>);
  return rows.forEachRow(progress, [&out, &widths](const ExportCell* const* cells, std::size_t count) {
    appendTextLine(out.buffer(), widths, cells, count);
    out.flushIfFull();
  });
}

bool writeHtml(const ReportDocument& report, log::ChunkedOutput& out, const ExportProgress& progress) {
  const ExportShape shape = exportShape(report.layout());
  log::OutputBytes& head = out.buffer();
  head += "<!DOCTYPE html>\n<html>\n<head>\n<meta charset=\"utf-8\">\n<title>";
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
  ExportRows rows(report, shape.fields, appendHtmlEscaped<std::string>);
  const bool complete = rows.forEachRow(progress, [&out](const ExportCell* const* cells, std::size_t count) {
    appendRow(out.buffer(), kHtmlRow, cells, count);
    out.flushIfFull();
  });
  if (!complete) {
    return false;
  }
  log::OutputBytes& tail = out.buffer();
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

namespace {

ExportOutcome cannotWrite(const QString& fileName, const QSaveFile& file) {
  return {ExportOutcome::Status::Failed, QStringLiteral("Cannot write \"%1\": %2").arg(fileName, file.errorString())};
}

// Renames a complete file into place, or drops an incomplete one.
ExportOutcome finish(QSaveFile& file, const QString& fileName, bool complete, bool writeFailed) {
  if (!complete) {
    file.cancelWriting();
    return {ExportOutcome::Status::Cancelled, {}};
  }
  if (writeFailed || !file.commit()) {
    return cannotWrite(fileName, file);
  }
  return {};
}

}  // namespace

ExportOutcome savePdf(const PageSource& source, const QString& title, const QString& fileName,
                      const ExportProgress& progress) {
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly)) {
    return cannotWrite(fileName, file);
  }
  QPdfWriter writer(&file);
  writer.setPageSize(QPageSize(QPageSize::A4));
  writer.setPageOrientation(QPageLayout::Portrait);
  writer.setPageMargins(QMarginsF(0, 0, 0, 0), QPageLayout::Millimeter);
  writer.setTitle(title);
  writer.setCreator(QStringLiteral("QM830/QM840 Interface Program V2.00"));
  QPainter painter;
  if (!painter.begin(&writer)) {
    return cannotWrite(fileName, file);
  }
  const bool complete = paintPages(source, writer, painter, 0, source.pageCount() - 1, progress);
  painter.end();
  return finish(file, fileName, complete, false);
}

ExportOutcome saveReport(const ReportDocument& report, const QString& fileName, ExportFormat format,
                         const ExportProgress& progress) {
  if (format == ExportFormat::Pdf) {
    return savePdf(report, QString::fromStdString(exportShape(report.layout()).title).trimmed(), fileName, progress);
  }
  QSaveFile file(fileName);
  if (!file.open(QIODevice::WriteOnly)) {
    return cannotWrite(fileName, file);
  }
  log::ChunkedOutput out([&file](std::string_view bytes) {
    const auto size = static_cast<qint64>(bytes.size());
    return file.write(bytes.data(), size) == size;
  });
  const bool complete = format == ExportFormat::Html ? writeHtml(report, out, progress)
                        : format == ExportFormat::Text ? writeText(report, out, progress)
                                                       : writeCsv(report, out, progress);
  const bool writeFailed = !out.finish();
  return finish(file, fileName, complete, writeFailed);
}

}  // namespace qm::reports
