#include "display/frame_decoder.h"

#include "display/frame_layout.h"

#include <algorithm>
#include <optional>
#include <vector>

namespace qm::display {
namespace {

using E = PanelElement;
using Nibbles = std::array<std::uint8_t, kFrameTextLength>;

static_assert([] {
  for (std::size_t i = 0; i < kDigitCount; ++i) {
    if (index(layout::kDigitSources[i].digit) != i) {
      return false;
    }
  }
  return true;
}());

constexpr std::array<std::string_view, 4> kUnitByBit = {unit::kVolt, unit::kOhm, unit::kMegaOhm, unit::kGigaOhm};

bool isSet(const Nibbles& nibbles, std::size_t character, unsigned bit) {
  return (nibbles[character - 1] >> bit) & 1U;
}
bool isSet(const Nibbles& nibbles, const layout::FrameBit& frameBit) {
  return isSet(nibbles, frameBit.character, frameBit.bit);
}

// For each frame character that carries element bits, the elements each of its 16 values lights:
// one OR per character instead of a test per bit.
struct CharacterLights {
  std::size_t character;
  std::array<PanelState::ElementSet, 16> byValue;
};

std::vector<CharacterLights> buildCharacterLights() {
  std::vector<CharacterLights> table;
  for (const layout::FrameBit& frameBit : layout::kFrameBits) {
    auto found = std::find_if(table.begin(), table.end(),
                              [&](const CharacterLights& c) { return c.character == frameBit.character; });
    if (found == table.end()) {
      found = table.insert(table.end(), CharacterLights{frameBit.character, {}});
    }
    for (unsigned value = 0; value < 16; ++value) {
      if ((value >> frameBit.bit) & 1U) {
        for (std::size_t i = 0; i < frameBit.elementCount; ++i) {
          found->byValue[value].set(index(frameBit.elements[i]));
        }
      }
    }
  }
  return table;
}

const std::vector<CharacterLights> kCharacterLights = buildCharacterLights();

DigitCode lookUp(const layout::DigitSource& source, const Nibbles& nibbles) {
  const auto code = static_cast<std::size_t>(nibbles[source.highCharacter - 1] << 4 |
                                             nibbles[source.lowCharacter - 1]);
  return digitLookup(source.table)[code];
}

constexpr std::array<std::uint8_t, 256> kNibbleOf = [] {
  std::array<std::uint8_t, 256> table{};
  table.fill(0xFF);
  for (int c = 0; c < 256; ++c) {
    const int value = hexDigitValue(static_cast<char>(c));
    if (value >= 0) {
      table[static_cast<std::size_t>(c)] = static_cast<std::uint8_t>(value);
    }
  }
  return table;
}();

// A frame is decodable when it is long enough, ends its 22 bytes in CR LF and its bits are hex.
std::optional<Nibbles> parseFrame(std::string_view text) {
  if (text.size() < kFrameTextLength ||
      text.substr(kFrameEndOffset, kFrameEnd.size()) != kFrameEnd) {
    return std::nullopt;
  }
  Nibbles nibbles{};
  std::uint8_t invalid = 0;
  for (std::size_t i = 0; i < kFrameTextLength; ++i) {
    const std::uint8_t value = kNibbleOf[static_cast<unsigned char>(text[i])];
    invalid |= value & 0xF0;
    nibbles[i] = value;
  }
  if (invalid != 0) {
    return std::nullopt;
  }
  return nibbles;
}

}  // namespace

FrameDecoder::FrameDecoder(PanelState& panel) : panel_(panel) {}

void FrameDecoder::setDecimalSeparator(std::string_view separator) {
  decimalSeparator_.assign(separator.substr(0, kMaxDecimalSeparatorBytes));
}

std::optional<CurrentReading> FrameDecoder::decodeFrame(std::string_view frameText) {
  currentValue_.clear();
  currentMode_ = mode::kContinuous;
  panel_.light(E::CONok);
  panel_.darken(E::CONokN);
  panel_.light(E::rsUSB);

  const std::optional<Nibbles> nibbles = parseFrame(frameText);
  if (!nibbles) {
    return std::nullopt;
  }

  panel_.darkenIndicators();
  panel_.light(E::KD);

  const FrameFlags flags = lightFrameBits(*nibbles);
  showValueDigits(*nibbles);
  showOtherDigits(*nibbles);
  if (!flags.dc && !flags.ac) {
    chooseInsulationFunction();
  }
  if (flags.minus) {
    currentValue_.insert(0, 1, '-');
  }

  const bool mainValueShown = panel_.isLit(Digit::LabelA) || panel_.isLit(Digit::LabelB) ||
                              panel_.isLit(Digit::LabelC) || panel_.isLit(Digit::LabelD);
  if (!mainValueShown) {
    return std::nullopt;
  }
  return currentReading();
}

void FrameDecoder::darkenLinkIcon() {
  panel_.darken(E::CONok);
  panel_.light(E::CONokN);
}

FrameDecoder::FrameFlags FrameDecoder::lightFrameBits(const Nibbles& nibbles) {
  for (const CharacterLights& lights : kCharacterLights) {
    panel_.lightAll(lights.byValue[nibbles[lights.character - 1]]);
  }
  if (isSet(nibbles, layout::kTimerGigaOhmCharacter, layout::kTimerGigaOhmBit)) {
    panel_.light(E::Labgo);
  }

  FrameFlags flags;
  flags.minus = isSet(nibbles, layout::kMinusBit);
  flags.dc = isSet(nibbles, layout::kDcBit);
  flags.ac = isSet(nibbles, layout::kAcBit);
  // AC is read after DC, so it wins when both are set.
  if (flags.dc) {
    currentFunction_ = function::kDcVolts;
  }
  if (flags.ac) {
    currentFunction_ = function::kAcVolts;
  }
  if (flags.dc || flags.ac) {
    panel_.darken(E::KD);
  }
  // A higher unit bit overrides a lower one; no unit bit keeps the previous unit.
  for (unsigned bit = 0; bit < kUnitByBit.size(); ++bit) {
    if (isSet(nibbles, layout::kUnitCharacter, bit)) {
      currentUnit_ = kUnitByBit[bit];
    }
  }
  if (isSet(nibbles, layout::kTimedBit)) {
    currentMode_ = mode::kTimed;
  }
  if (isSet(nibbles, layout::kPolarisationIndexBit)) {
    currentMode_ = mode::kPolarisationIndex;
  }
  return flags;
}

// Shows one digit's pattern: an unknown pattern leaves the digit as it was, the blank pattern
// darkens it, any other lights it with its character. Returns the code of a lit digit.
std::optional<DigitCode> FrameDecoder::showDigit(const layout::DigitSource& source, const Nibbles& nibbles) {
  const DigitCode code = lookUp(source, nibbles);
  if (code.isUnknown()) {
    return std::nullopt;
  }
  if (code.isBlank()) {
    panel_.darken(element(source.digit));
    return std::nullopt;
  }
  panel_.light(element(source.digit));
  panel_.setDigitText(source.digit, code.shown);
  return code;
}

void FrameDecoder::showValueDigits(const Nibbles& nibbles) {
  for (std::size_t i = 0; i < layout::kValueDigitCount; ++i) {
    const layout::DigitSource& source = layout::kDigitSources[i];
    const std::optional<DigitCode> code = showDigit(source, nibbles);
    if (!code) {
      continue;
    }
    currentValue_.push_back(code->shown == '@' ? 'L' : code->shown);
    if (code->hasFlag()) {
      panel_.light(source.flagElements[0]);
      // The fourth digit's flag is the TΩ sign, not a decimal point.
      if (source.digit != Digit::LabelD) {
        currentValue_ += decimalSeparator_;
      }
    }
  }
}

void FrameDecoder::showOtherDigits(const Nibbles& nibbles) {
  for (std::size_t i = layout::kValueDigitCount; i < kDigitCount; ++i) {
    const layout::DigitSource& source = layout::kDigitSources[i];
    const std::optional<DigitCode> code = showDigit(source, nibbles);
    if (!code) {
      continue;
    }
    for (std::size_t f = 0; f < source.flagElementCount; ++f) {
      panel_.setLit(source.flagElements[f], code->hasFlag());
    }
    if (code->hasFlag() && source.digit == Digit::Label7) {
      currentMode_ = mode::kCompareNotGood;
    }
    if (code->hasFlag() && source.digit == Digit::Label10) {
      currentMode_ = mode::kCompareGood;
    }
  }
}

// The test voltage is read from the texts of its first two digits, lit or dark; each rule that
// matches overrides the one before, and no match keeps the previous function.
void FrameDecoder::chooseInsulationFunction() {
  const char first = panel_.digitText(Digit::Label3);
  const char second = panel_.digitText(Digit::Label7);
  if (second == '5' && !panel_.isLit(Digit::Label3)) {
    currentFunction_ = function::kInsulation500V;
  }
  if (first == '1' && second == '0') {
    currentFunction_ = function::kInsulation1000V;
  }
  if (first == '2' && second == '5') {
    currentFunction_ = function::kInsulation2500V;
  }
  if (first == '5' && second == '0') {
    currentFunction_ = function::kInsulation5000V;
  }
}

}  // namespace qm::display
