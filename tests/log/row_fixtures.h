#pragma once

// Rows for the tests of the table and of what reads it: a time of day from its parts, and a row
// from its fields (a field left out is empty).

#include "log/reading_table.h"

#include <optional>
#include <string_view>

namespace row_fixtures {

constexpr qm::log::TimeOfDay at(int hour, int minute, int second, int millisecond = 0) {
  return ((hour * 60 + minute) * 60 + second) * 1000 + millisecond;
}

inline qm::log::RowFields rowOf(std::optional<int> no, std::optional<qm::log::TimeOfDay> time,
                                std::optional<std::string_view> value, std::optional<std::string_view> unit = {},
                                std::optional<std::string_view> function = {},
                                std::optional<std::string_view> mode = {}) {
  qm::log::RowFields row;
  row.No = no;
  row.Time = time;
  row.text(qm::log::TextField::Value) = value;
  row.text(qm::log::TextField::Unit) = unit;
  row.text(qm::log::TextField::V_Range) = function;
  row.text(qm::log::TextField::I_Range) = mode;
  return row;
}

}  // namespace row_fixtures
