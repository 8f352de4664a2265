#include "reports/export_rows.h"

#include "core/ansi_text.h"

#include <charconv>

namespace qm::reports {
namespace {

constexpr std::string_view kOhmUtf8 = "\xCE\xA9";

template <typename Item>
std::vector<const Item*> leftToRight(const std::vector<Item>& items) {
  std::vector<const Item*> sorted;
  for (const Item& item : items) {
    sorted.push_back(&item);
  }
  std::stable_sort(sorted.begin(), sorted.end(), [](const Item* a, const Item* b) { return a->left < b->left; });
  return sorted;
}

}  // namespace

std::string utf8(const QString& text) { return text.toUtf8().toStdString(); }

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

std::size_t characterCount(std::string_view text) {
  return static_cast<std::size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

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

ExportCell exportCell(EncodeText encode, std::string_view utf8) {
  std::string bytes;
  encode(bytes, utf8);
  ExportCell cell;
  cell.assign(bytes, characterCount(utf8));
  return cell;
}

const ExportCell& ExportRows::cellAt(const log::StoredRowSpan& span, std::size_t i, ReportField field) {
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

const ExportCell& ExportRows::timeCell(log::TimeOfDay second) {
  if (times_.empty()) {
    times_.resize(log::kMillisecondsPerDay / 1000);
  }
  std::optional<ExportCell>& cell = times_[static_cast<std::size_t>(second)];
  if (!cell) {
    std::string cp936;
    std::string text;
    report_.appendTime(cp936, second * 1000);
    appendUtf8(text, cp936);
    cell = exportCell(encode_, text);
  }
  return *cell;
}

const ExportCell& ExportRows::textCell(std::uint32_t id) {
  if (id >= texts_.size()) {
    texts_.resize(std::max<std::size_t>(id + 1, table_->textIdCount()));
  }
  std::optional<ExportCell>& cell = texts_[id];
  if (!cell) {
    std::string text;
    appendUtf8(text, table_->textOfId(id));
    cell = exportCell(encode_, text);
  }
  return *cell;
}

}  // namespace qm::reports
