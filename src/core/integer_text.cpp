#include "core/integer_text.h"

#include <charconv>

namespace qm {

std::optional<std::int32_t> toInt32(std::string_view text) {
  // from_chars takes a minus sign but no plus sign; the conversion takes either, once.
  const std::string_view number = !text.empty() && text.front() == '+' ? text.substr(1) : text;
  if (number.size() != text.size() && !number.empty() && number.front() == '-') {
    return std::nullopt;
  }
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (error != std::errc() || end != number.data() + number.size()) {
    return std::nullopt;
  }
  return value;
}

QString notAValidIntegerMessage(const QString& text) {
  return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

}  // namespace qm
