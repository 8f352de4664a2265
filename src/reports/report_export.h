#pragma once

// Saving a report: as PDF, the pages exactly as previewed and printed; or, for people and other
// programs, in three exports that carry the report's content rather than its paper (title, print
// date, column headings, one line per row; no page headers and footers): HTML, plain text, and
// comma-separated text.
//
// The exports are UTF-8 (the table's code page 936 texts are converted, the ohm sign becomes Ω),
// the HTML declares its charset, and times are written as the report prints them. The
// comma-separated text quotes a field that holds a comma, a double quote or a line break, doubling
// its double quotes (RFC 4180), so a value "523,4" written with a decimal comma stays one field; its
// lines end in CR LF as that format asks, and so do the plain text's, like the table files'. The
// plain text pads its columns to the widest text each can hold, and writes a TAB or a line break
// inside a text as a blank, so that every row stays one line.
//
// Every save streams the rows into a temporary file beside the target and renames it into place
// only when all was written: a failed or cancelled save leaves the previous file as it was.

#include "reports/report_document.h"

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>

QT_BEGIN_NAMESPACE
class QPagedPaintDevice;
class QPainter;
QT_END_NAMESPACE

namespace qm::log {
class ChunkedOutput;
}

namespace qm::reports {

enum class ExportFormat { Pdf, Html, Text, Csv };

// By the extension of the file name, in any letter case: .pdf, .html or .htm, .txt, .csv.
std::optional<ExportFormat> exportFormatForFileName(const QString& fileName);

// Told of the work done now and then (rows for the exports, pages for PDF and printing); returns
// false to cancel.
using ExportProgress = std::function<bool(std::uint64_t done, std::uint64_t total)>;

struct ExportOutcome {
  enum class Status { Written, Cancelled, Failed };
  Status status = Status::Written;
  QString message;  // what went wrong, naming the file; empty otherwise
  bool written() const { return status == Status::Written; }
};

ExportOutcome saveReport(const ReportDocument& report, const QString& fileName, ExportFormat format,
                         const ExportProgress& progress = {});

// The pages of any page source as a PDF titled `title`: A4 portrait, the pages placing themselves
// on the whole paper. Saved aside and renamed into place as above.
ExportOutcome savePdf(const PageSource& source, const QString& title, const QString& fileName,
                      const ExportProgress& progress = {});

// The bytes of the three exports, handed to `out`; false when `progress` cancelled.
bool writeHtml(const ReportDocument& report, log::ChunkedOutput& out, const ExportProgress& progress = {});
bool writeText(const ReportDocument& report, log::ChunkedOutput& out, const ExportProgress& progress = {});
bool writeCsv(const ReportDocument& report, log::ChunkedOutput& out, const ExportProgress& progress = {});

// Paints pages [first, last] of `source` onto `device` through `painter` (already begun on it),
// one device page each, the paper's corner at the device's origin. False when `progress`
// cancelled.
bool paintPages(const PageSource& source, QPagedPaintDevice& device, QPainter& painter, std::size_t first,
                std::size_t last, const ExportProgress& progress = {});

}  // namespace qm::reports
