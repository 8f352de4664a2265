#include "display/panel_element.h"

#include <algorithm>

namespace qm::display {

std::optional<PanelElement> elementByName(std::string_view name) {
  const auto found = std::find(kPanelElementNames.begin(), kPanelElementNames.end(), name);
  if (found == kPanelElementNames.end()) {
    return std::nullopt;
  }
  return static_cast<PanelElement>(found - kPanelElementNames.begin());
}

}  // namespace qm::display
