#pragma once

// The rows of a report as the exports write them: its texts in UTF-8, what the exports take from
// its layout, and each row's fields as cells, converted and escaped once per distinct text.

#include "reports/report_document.h"
#include "reports/report_export.h"

#include <QString>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace qm::reports {

std::string utf8(const QString& text);

// Code page 936 bytes appended as UTF-8. A log's texts are ASCII and the ohm sign: those are
// converted here; anything else goes through the full conversion.
void appendUtf8(std::string& out, std::string_view cp936);

// Characters, not bytes, of UTF-8 text: every byte but the continuation bytes starts one.
std::size_t characterCount(std::string_view text);

// What the exports take from a layout: the title and the "Print Date:" label of the page header,
// the column headings, and the fields of the detail band, each row left to right.
struct ExportShape {
  std::string title;
  std::string dateLabel;
  std::vector<std::string> headings;
  std::vector<ReportField> fields;
};

ExportShape exportShape(const ReportLayout& layout);

// A field as an export writes it: UTF-8 escaped for the format, and its width in characters (for
// the plain text's columns). Ten million rows copy their fields into the file: a field of up to
// kShort bytes, which is nearly every one, is kept in a fixed buffer that is copied whole (a copy
// of fixed size is a few instructions, one of any size a library call), so the place it is copied
// to needs kShort bytes of room.
struct ExportCell {
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
using EncodeText = void (*)(std::string& out, std::string_view utf8);

ExportCell exportCell(EncodeText encode, std::string_view utf8);

// The rows of a report, field by field, for an export. The ten million rows of a log hold a few
// thousand distinct texts and at most 86,400 distinct times: each of those is converted and
// escaped once, and the rows are read span by span from the table's storage, so that writing a
// row costs little more than copying its bytes.
class ExportRows {
public:
  ExportRows(const ReportDocument& report, const std::vector<ReportField>& fields, EncodeText encode)
      : report_(report), fields_(fields), encode_(encode) {}

  // Hands the cells of every row, in field order, to `writeRow(cells, count)`, telling `progress`
  // every kProgressRows rows; false when it cancelled. Between those calls the table may change
  // under the report (the snapshot then reads its own copy), so the rows are found anew after each.
  template <typename WriteRow>
  bool forEachRow(const ExportProgress& progress, WriteRow&& writeRow) {
    const TableSnapshot* rows = report_.snapshot();
    const std::size_t count = rows == nullptr || fields_.empty() ? 0 : rows->rowCount();
    std::array<const ExportCell*, kReportFieldCount> cells{};
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
  static constexpr std::size_t kProgressRows = 64 * 1024;

  const ExportCell& cellAt(const log::StoredRowSpan& span, std::size_t i, ReportField field);
  // A time prints to the second.
  const ExportCell& timeCell(log::TimeOfDay second);
  const ExportCell& textCell(std::uint32_t id);

  const ReportDocument& report_;
  const std::vector<ReportField>& fields_;
  EncodeText encode_;
  const log::ReadingTable* table_ = nullptr;  // whose text pool `texts_` follows
  std::vector<std::optional<ExportCell>> texts_;    // by pool id
  std::vector<std::optional<ExportCell>> times_;    // by second of the day
  ExportCell number_;
  const ExportCell empty_;
};

}  // namespace qm::reports
