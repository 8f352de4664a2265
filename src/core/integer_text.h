#pragma once

// The platform's integer conversion, which the program's edit fields go through: an optional
// sign and decimal digits, nothing else (no blanks, no grouping), in the 32-bit signed range; and
// the standard message for a text it refuses.

#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>

namespace qm {

std::optional<std::int32_t> toInt32(std::string_view text);

// "'%s' is not a valid integer value", with %s the refused text.
QString notAValidIntegerMessage(const QString& text);

}  // namespace qm
