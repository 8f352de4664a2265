#pragma once

// Turns one meter frame, given as its 44-character upper-case hex text, into the look of the
// virtual panel and the current reading. Pure logic: it never sleeps and never touches a widget;
// whoever feeds it frames decides how often, and repaints the panel afterwards.

#include "display/current_reading.h"
#include "display/digit_patterns.h"
#include "display/frame_layout.h"
#include "display/panel_state.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace qm::display {

// Separator bytes that the locale can supply: its query fills a buffer of ten zero-filled bytes.
inline constexpr std::size_t kMaxDecimalSeparatorBytes = 9;

class FrameDecoder {
public:
  // Called when a decoded frame shows at least one main-value digit: the reading table's request
  // to consider the current reading for logging.
  using LogRequest = std::function<void()>;

  explicit FrameDecoder(PanelState& panel);

  // LocaleDecimalSeparator: what CurrentValue carries for a decimal point (CP936 bytes; longer
  // texts are cut to what the locale buffer holds).
  void setDecimalSeparator(std::string_view separator);
  const std::string& decimalSeparator() const { return decimalSeparator_; }

  void setLogRequest(LogRequest request) { logRequest_ = std::move(request); }

  // Decodes one frame. A text that does not end its 22 bytes in CR LF, or whose first 40
  // characters are not upper-case hex, only resets the value and mode and lights the link icon:
  // the panel keeps its look and nothing is logged. Characters after the 44th are ignored.
  void ShowData840(std::string_view frameText);

  std::string_view CurrentValue() const { return currentValue_; }
  std::string_view CurrentUnit() const { return currentUnit_; }
  std::string_view CurrentFunction() const { return currentFunction_; }
  std::string_view CurrentMode() const { return currentMode_; }
  CurrentReading currentReading() const {
    return {currentValue_, currentUnit_, currentFunction_, currentMode_};
  }

private:
  struct FrameFlags {
    bool minus = false;
    bool dc = false;
    bool ac = false;
  };

  FrameFlags lightFrameBits(const std::array<std::uint8_t, kFrameTextLength>& nibbles);
  std::optional<DigitCode> showDigit(const layout::DigitSource& source,
                                    const std::array<std::uint8_t, kFrameTextLength>& nibbles);
  void showValueDigits(const std::array<std::uint8_t, kFrameTextLength>& nibbles);
  void showOtherDigits(const std::array<std::uint8_t, kFrameTextLength>& nibbles);
  void chooseInsulationFunction();

  PanelState& panel_;
  std::string decimalSeparator_;
  LogRequest logRequest_;
  std::string currentValue_{kStartupValue};
  std::string_view currentUnit_;
  std::string_view currentFunction_ = function::kInsulation500V;
  std::string_view currentMode_ = mode::kStartup;
};

}  // namespace qm::display
