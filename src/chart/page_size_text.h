#pragma once

// The page-size box "Maxrecord": what it lets the user type, and how its text becomes the chart's
// page size.

#include <QString>

#include <cstddef>
#include <optional>

namespace qm::chart {

// Typed characters the box takes: the digits and backspace (code 8). Keys that type nothing
// (arrows, Delete, Tab) are not characters and always pass.
bool acceptsTypedCharacter(char16_t code);

// The text as a 32-bit integer page size, or the message that refuses it: the platform's
// conversion message for text that is no such integer, and one of our own for a negative count,
// which the chart cannot page by.
struct PageSizeText {
  std::optional<std::size_t> pageSize;
  QString error;
};
PageSizeText readPageSize(const QString& text);

}  // namespace qm::chart
