#pragma once

// Builds frame texts character by character, straight from the meter's frame map, so the tests
// do not lean on the program's own layout tables. Characters are numbered from 1.

#include <QString>

#include <string>

class FrameBuilder {
public:
  FrameBuilder() : text_(40, '0') { text_ += "0D0A"; }

  // ORs `bits` into character `character`.
  FrameBuilder& bits(int character, int bits) {
    const int value = nibble(character) | bits;
    text_[static_cast<std::size_t>(character - 1)] = "0123456789ABCDEF"[value];
    return *this;
  }
  // Writes an 8-bit digit code: `highCharacter` gets bits 7-4, `lowCharacter` bits 3-0.
  FrameBuilder& code(int highCharacter, int lowCharacter, int code) {
    set(highCharacter, code >> 4);
    set(lowCharacter, code & 0xF);
    return *this;
  }
  // Main value digits 1..4 (table A, nibbles swapped within their frame byte).
  FrameBuilder& valueDigit(int position, int digitCode) {
    return code(20 + 2 * position, 19 + 2 * position, digitCode);
  }
  // Test-voltage digits 1..4 (table B, the code straddles two frame bytes).
  FrameBuilder& testVoltageDigit(int position, int digitCode) {
    return code(29 + 2 * position, 28 + 2 * position, digitCode);
  }
  FrameBuilder& end(const std::string& lastFour) {
    text_.replace(40, 4, lastFour);
    return *this;
  }

  const std::string& text() const { return text_; }
  operator std::string() const { return text_; }

private:
  int nibble(int character) const {
    const char c = text_[static_cast<std::size_t>(character - 1)];
    return c <= '9' ? c - '0' : c - 'A' + 10;
  }
  void set(int character, int value) { text_[static_cast<std::size_t>(character - 1)] = "0123456789ABCDEF"[value]; }

  std::string text_;
};

// Table A codes (value, timer and memory digits); OR 0x80 for the flag.
namespace codeA {
inline constexpr int k0 = 0x7D, k1 = 0x60, k2 = 0x3E, k3 = 0x7A, k4 = 0x63, k5 = 0x5B, k6 = 0x5F, k7 = 0x70,
                     k8 = 0x7F, k9 = 0x7B, kL = 0x0D, kFlag = 0x80;
}
// Table B codes (test-voltage digits); OR 0x08 for the flag.
namespace codeB {
inline constexpr int k0 = 0xD7, k1 = 0x50, k2 = 0xE3, k5 = 0xB5, kFlag = 0x08;
}
