#include "chart/page_size_text.h"

#include <QRegularExpression>

#include <cstdint>
#include <limits>

namespace qm::chart {

bool acceptsTypedCharacter(char16_t code) { return (code >= u'0' && code <= u'9') || code == 8; }

PageSizeText readPageSize(const QString& text) {
  // Sign and digits only: the conversion takes no blanks, no hex and no grouping.
  static const QRegularExpression integer(QStringLiteral("^[+-]?[0-9]+$"));
  bool fits = false;
  const qlonglong value = integer.match(text).hasMatch() ? text.toLongLong(&fits) : 0;
  if (!fits || value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max()) {
    return {std::nullopt, QStringLiteral("'%1' is not a valid integer value").arg(text)};
  }
  if (value < 0) {
    return {std::nullopt, QStringLiteral("'%1' is not a valid number of points per page").arg(text)};
  }
  return {static_cast<std::size_t>(value), {}};
}

}  // namespace qm::chart
