#include "chart/page_size_text.h"

#include "core/integer_text.h"

namespace qm::chart {

bool acceptsTypedCharacter(char16_t code) { return (code >= u'0' && code <= u'9') || code == 8; }

PageSizeText readPageSize(const QString& text) {
  const std::optional<std::int32_t> value = toInt32(text.toStdString());
  if (!value) {
    return {std::nullopt, notAValidIntegerMessage(text)};
  }
  if (*value < 0) {
    return {std::nullopt, QStringLiteral("'%1' is not a valid number of points per page").arg(text)};
  }
  return {static_cast<std::size_t>(*value), {}};
}

}  // namespace qm::chart
