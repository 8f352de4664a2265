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
#include <cstring>
#include <string>
#include <vector>

namespace qm::reports {
namespace {

constexpr std::string_view kCrLf = "\r\n";
constexpr std::string_view kOhmUtf8 = "\xCE\xA9";
constexpr std::size_t kProgressRows = 64 * 1024;
// Between two columns of the plain text.
constexpr std::size_t kColumnGap = 2;

std::string utf8(const QString& text) { return text.toUtf8().toStdString(); }

// Code page 936 bytes appended as UTF-8. A log's texts are ASCII and the ohm sign: those are
// converted here; anything else goes through the full conversion.
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

// Characters, not bytes, of UTF-8 text: every byte but the continuation bytes starts one.
std::size_t characterCount(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
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

// A TAB or a line break inside a text would break the plain text's columns or its line: each
// becomes a blank.
void appendTextColumn(std::string& out, std::string_view text) {
  for (const char c : text) {
    out += c == '\t' || c == '\r' || c == '\n' ? ' ' : c;
  }
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

// A field as an export writes it: UTF-8 escaped for the format, and its width in characters (for
// the plain text's columns). Ten million rows copy their fields into the file: a field of up to
// kShort bytes, which is nearly every one, is kept in a fixed buffer that is copied whole (a copy
// of fixed size is a few instructions, one of any size a library call), so the place it is copied
// to needs kShort bytes of room.
struct Cell {
  static constexpr std::size_t kShort = 32;

  void assign(std::string_view text, std::size_t width) {
    size_ = text.size();
    characters = width;
    if (size_ <= kShort) {
      std::copy(text.begin(), text.end(), short_.begin());
    } else {
      long_.assign(text);
    }
  }
  std::size_t size() const { return size_; }
  char* copyTo(char* at) const {
    if (size_ <= kShort) {
      std::memcpy(at, short_.data(), kShort);
      return at + size_;
    }
    return std::copy(long_.begin(), long_.end(), at);
  }

  std::size_t characters = 0;

private:
  std::array<char, kShort> short_{};
  std::string long_;
  std::size_t size_ = 0;
};

// How a format writes a field's UTF-8 text.
using Encode = void (*)(std::string& out, std::string_view utf8);

Cell cellOf(Encode encode, std::string_view utf8) {
  std::string bytes;
  encode(bytes, utf8);
  Cell cell;
  cell.assign(bytes, characterCount(utf8));
  return cell;
}

// The rows of a report, field by field, for an export. The ten million rows of a log hold a few
// thousand distinct texts and at most 86,400 distinct times: each of those is converted and
// escaped once, and the rows are read span by span from the table's storage, so that writing a
// row costs little more than copying its bytes.
class RowCells {
public:
  RowCells(const ReportDocument& report, const std::vector<ReportField>& fields, Encode encode)
      : report_(report), fields_(fields), encode_(encode) {}

  // Hands the cells of every row, in field order, to `writeRow(cells, count)`, telling `progress`
  // every kProgressRows rows; false when it cancelled. Between those calls the table may change
  // under the report (the snapshot then reads its own copy), so the rows are found anew after each.
  template <typename WriteRow>
  bool forEachRow(const ExportProgress& progress, WriteRow&& writeRow) {
    const TableSnapshot* rows = report_.snapshot();
    const std::size_t count = rows == nullptr || fields_.empty() ? 0 : rows->rowCount();
    std::array<const Cell*, kReportFieldCount> cells{};
    for (std::size_t done = 0; done < count;) {
      if (progress && !progress(done, count)) {
        return false;
      }
      const log::ReadingTable* table = rows->table();
      if (table == nullptr) {
        return false;  // the table went, and the rows with it
      }
      if (table != table_) {
        table_ = table;
        texts_.clear();
      }
      const std::size_t batchStart = done;
      const std::size_t batchEnd = std::min(count, done + kProgressRows);
      table->forEachStoredSpan(table->storedIndexOf(done), [&](const log::StoredRowSpan& span) {
        for (std::size_t i = 0; i < span.size() && done < batchEnd; ++i) {
          if (span.isDeleted(i)) {
            continue;
          }
          for (std::size_t field = 0; field < fields_.size(); ++field) {
            cells[field] = &cellAt(span, i, fields_[field]);
          }
          writeRow(cells.data(), fields_.size());
          ++done;
        }
      });
      if (done == batchStart) {
        return false;  // the table holds fewer rows than the snapshot: never so, but never a hang
      }
    }
    return !progress || progress(count, count);
  }

private:
  const Cell& cellAt(const log::StoredRowSpan& span, std::size_t i, ReportField field) {
    switch (field) {
      case ReportField::No: {
        char digits[12];
        const std::optional<std::int32_t> no = span.no(i);
        const char* end = no ? std::to_chars(digits, digits + sizeof digits, *no).ptr : digits;
        const auto size = static_cast<std::size_t>(end - digits);
        number_.assign({digits, size}, size);
        return number_;
      }
      case ReportField::Time: {
        const std::optional<log::TimeOfDay> time = span.time(i);
        return time ? timeCell(*time / 1000) : empty_;
      }
      default: {
        const std::uint32_t id = span.textId(static_cast<std::size_t>(field) - 2, i);
        return id != log::kNoTextId ? textCell(id) : empty_;
      }
    }
  }

  // A time prints to the second.
  const Cell& timeCell(log::TimeOfDay second) {
    if (times_.empty()) {
      times_.resize(log::kMillisecondsPerDay / 1000);
    }
    std::optional<Cell>& cell = times_[static_cast<std::size_t>(second)];
    if (!cell) {
      std::string cp936;
      std::string text;
      report_.appendTime(cp936, second * 1000);
      appendUtf8(text, cp936);
      cell = cellOf(encode_, text);
    }
    return *cell;
  }

  const Cell& textCell(std::uint32_t id) {
    if (id >= texts_.size()) {
      texts_.resize(std::max<std::size_t>(id + 1, table_->textIdCount()));
    }
    std::optional<Cell>& cell = texts_[id];
    if (!cell) {
      std::string text;
      appendUtf8(text, table_->textOfId(id));
      cell = cellOf(encode_, text);
    }
    return *cell;
  }

  const ReportDocument& report_;
  const std::vector<ReportField>& fields_;
  Encode encode_;
  const log::ReadingTable* table_ = nullptr;  // whose text pool `texts_` follows
  std::vector<std::optional<Cell>> texts_;    // by pool id
  std::vector<std::optional<Cell>> times_;    // by second of the day
  Cell number_;
  const Cell empty_;
};

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
void appendRow(std::string& out, const RowFormat& format, const Cell* const* cells, std::size_t count) {
  std::size_t size = format.rowStart.size() + format.rowEnd.size() + Cell::kShort +
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
void appendTextLine(std::string& out, const std::vector<std::size_t>& widths, const Cell* const* cells,
                    std::size_t count) {
  static constexpr std::array<char, Cell::kShort> kBlanks = [] {
    std::array<char, Cell::kShort> blanks{};
    blanks.fill(' ');
    return blanks;
  }();
  std::size_t size = kCrLf.size() + Cell::kShort;
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
  std::string& head = out.buffer();
  for (std::size_t i = 0; i < shape.headings.size(); ++i) {
    if (i > 0) {
      head += ',';
    }
    appendCsvField(head, shape.headings[i]);
  }
  head += kCrLf;
  RowCells rows(report, shape.fields, appendCsvField);
  return rows.forEachRow(progress, [&out](const Cell* const* cells, std::size_t count) {
    appendRow(out.buffer(), kCsvRow, cells, count);
    out.flushIfFull();
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
  std::vector<Cell> headings;
  for (const std::string& heading : shape.headings) {
    headings.push_back(cellOf(appendTextColumn, heading));
  }
  std::vector<const Cell*> headingCells;
  for (const Cell& heading : headings) {
    headingCells.push_back(&heading);
  }
  appendTextLine(head, widths, headingCells.data(), headingCells.size());
  RowCells rows(report, shape.fields, appendTextColumn);
  return rows.forEachRow(progress, [&out, &widths](const Cell* const* cells, std::size_t count) {
    appendTextLine(out.buffer(), widths, cells, count);
    out.flushIfFull();
  });
}

bool writeHtml(const ReportDocument& report, log::ChunkedOutput& out, const ExportProgress& progress) {
  const ExportShape shape = exportShape(report.layout());
  std::string& head = out.buffer();
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
  RowCells rows(report, shape.fields, appendHtmlEscaped);
  const bool complete = rows.forEachRow(progress, [&out](const Cell* const* cells, std::size_t count) {
    appendRow(out.buffer(), kHtmlRow, cells, count);
    out.flushIfFull();
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
