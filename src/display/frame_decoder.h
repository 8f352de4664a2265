#pragma once

// Turns one meter frame, given as its 44-character upper-case hex text, into the look of the
// virtual panel and the current reading. Pure logic: it never sleeps and never touches a widget;
// whoever feeds it frames decides how often, and repaints the panel afterwards.

#include "core/current_reading.h"
#include "display/digit_patterns.h"
#include "display/frame_layout.h"
#include "display/panel_state.h"

#include <optional>
#include <string>
#include <string_view>

namespace qm::display {

// Separator bytes that the locale can supply: its query fills a buffer of ten zero-filled bytes.
inline constexpr std::size_t kMaxDecimalSeparatorBytes = 9;

// The only writer of the panel state it is given.
class FrameDecoder {
public:
  explicit FrameDecoder(PanelState& panel);

  // localeDecimalSeparator: what currentValue carries for a decimal point (CP936 bytes; longer
  // texts are cut to what the locale buffer holds).
  void setDecimalSeparator(std::string_view separator);
  const std::string& decimalSeparator() const { return decimalSeparator_; }

  // Decodes one frame. A text that does not end its 22 bytes in CR LF, or whose first 40
  // characters are not upper-case hex, only resets the value and mode and lights the link icon:
  // the panel keeps its look and nothing is logged. Characters after the 44th are ignored.
  // Returns the current reading when the frame shows at least one main-value digit: a reading to
  // offer for logging. Its texts stay valid until the next frame.
  std::optional<CurrentReading> decodeFrame(std::string_view frameText);

  // The link watchdog's tick: the bright link icon goes dark until the next frame lights it.
  void darkenLinkIcon();

  std::string_view currentValue() const { return currentValue_; }
  std::string_view currentUnit() const { return currentUnit_; }
  std::string_view currentFunction() const { return currentFunction_; }
  std::string_view currentMode() const { return currentMode_; }
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
  std::string currentValue_{kStartupValue};
  std::string_view currentUnit_;
  std::string_view currentFunction_ = function::kInsulation500V;
  std::string_view currentMode_ = mode::kStartup;
};

}  // namespace qm::display
