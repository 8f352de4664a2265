#pragma once

// Where the meter puts each display element in its 22-byte frame. Characters are numbered from 1
// as on the wire: character 2k-1 is the high nibble of frame byte k, character 2k its low nibble.
// The decoder reads frames through this map and the simulated meter writes them through it.

#include "core/meter_frame.h"
#include "display/digit_patterns.h"
#include "display/panel_element.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace qm::display::layout {

using E = PanelElement;

// One frame bit that lights one or more elements (the DC sign is five of them).
struct FrameBit {
  std::uint8_t character;
  std::uint8_t bit;
  std::uint8_t elementCount;
  std::array<E, 5> elements;
};

// In the order the decoder reads them; the order settles which effect wins where two bits of one
// character set the same reading text.
inline constexpr std::array<FrameBit, 55> kFrameBits = {{
    {1, 0, 1, {E::bar6}}, {1, 1, 1, {E::bar5}}, {1, 2, 1, {E::bar4}}, {1, 3, 1, {E::bar3}},
    {2, 0, 1, {E::bar7}}, {2, 1, 1, {E::bar8}}, {2, 2, 1, {E::bar9}}, {2, 3, 1, {E::bar10}},
    {3, 0, 1, {E::bar14}}, {3, 1, 1, {E::bar13}}, {3, 2, 1, {E::bar12}}, {3, 3, 1, {E::bar11}},
    {4, 0, 1, {E::bar15}}, {4, 1, 1, {E::bar16}}, {4, 2, 1, {E::bar17}}, {4, 3, 1, {E::bar18}},
    {5, 0, 1, {E::bar22}}, {5, 1, 1, {E::bar21}}, {5, 2, 1, {E::bar20}}, {5, 3, 1, {E::bar19}},
    {6, 0, 1, {E::bar23}}, {6, 1, 1, {E::bar24}}, {6, 2, 1, {E::bar25}}, {6, 3, 1, {E::bar26}},
    {7, 0, 1, {E::bar30}}, {7, 1, 1, {E::bar29}}, {7, 2, 1, {E::bar28}}, {7, 3, 1, {E::bar27}},
    {8, 0, 5, {E::labdc, E::Shape1, E::Shape2, E::Shape3, E::Shape4}},
    {8, 1, 2, {E::labt, E::labac}},
    {8, 2, 1, {E::LabelF}},
    {8, 3, 1, {E::labmo}},
    {39, 0, 1, {E::IMoff}}, {39, 1, 1, {E::Bar0}}, {39, 2, 1, {E::BAR1}}, {39, 3, 1, {E::bar2}},
    {40, 0, 1, {E::IGPower}}, {40, 1, 1, {E::powerv3}}, {40, 2, 1, {E::powerv2}}, {40, 3, 1, {E::powerV1}},
    {29, 0, 1, {E::Labv}}, {29, 1, 1, {E::Labo}}, {29, 2, 1, {E::Labmo1}}, {29, 3, 1, {E::Labgo1}},
    {20, 0, 1, {E::labLoad}}, {20, 1, 1, {E::labsave}}, {20, 2, 1, {E::labtime2}}, {20, 3, 1, {E::labTIME1}},
    {19, 0, 1, {E::power}}, {19, 1, 1, {E::labs1}}, {19, 2, 1, {E::labs2}}, {19, 3, 1, {E::labs3}},
    {38, 0, 1, {E::IMmike}}, {38, 2, 1, {E::labp1}}, {38, 3, 1, {E::stor1}},
}};

// Bits with an effect on the reading beyond lighting their elements.
inline constexpr FrameBit kDcBit = kFrameBits[28];
inline constexpr FrameBit kAcBit = kFrameBits[29];
inline constexpr FrameBit kMinusBit = kFrameBits[30];
inline constexpr std::uint8_t kUnitCharacter = 29;  // bits 0..3: V, Ω, MΩ, GΩ
inline constexpr FrameBit kTimedBit = kFrameBits[48];
inline constexpr FrameBit kPolarisationIndexBit = kFrameBits[53];
// Bit 3 of character 9 is the fourth timer digit's flag; the decoder also reads it on its own to
// light GΩ beside the timer.
inline constexpr std::uint8_t kTimerGigaOhmCharacter = 9;
inline constexpr std::uint8_t kTimerGigaOhmBit = 3;

// Where each digit's 8-bit code comes from (high nibble, low nibble) and what its flag lights.
struct DigitSource {
  Digit digit;
  DigitTable table;
  std::uint8_t highCharacter;
  std::uint8_t lowCharacter;
  std::uint8_t flagElementCount;
  std::array<E, 2> flagElements;
};

inline constexpr std::size_t kValueDigitCount = 4;
inline constexpr std::array<DigitSource, kDigitCount> kDigitSources = {{
    {Digit::LabelA, DigitTable::A, 22, 21, 1, {E::Point1}},
    {Digit::LabelB, DigitTable::A, 24, 23, 1, {E::Point2}},
    {Digit::LabelC, DigitTable::A, 26, 25, 1, {E::Point3}},
    {Digit::LabelD, DigitTable::A, 28, 27, 1, {E::Labto}},
    {Digit::Label3, DigitTable::B, 31, 30, 1, {E::danger}},
    {Digit::Label7, DigitTable::B, 33, 32, 1, {E::Labng}},
    {Digit::Label10, DigitTable::B, 35, 34, 1, {E::Labgood}},
    {Digit::Label9, DigitTable::B, 37, 36, 1, {E::Label4}},
    {Digit::H_Time1, DigitTable::A, 15, 16, 1, {E::Labclr}},
    {Digit::H_Time2, DigitTable::A, 13, 14, 2, {E::T_dPoint1, E::Labtime}},
    {Digit::M_Time1, DigitTable::A, 11, 12, 1, {E::labCOMP}},
    {Digit::M_Time2, DigitTable::A, 9, 10, 1, {E::Labgo}},
    {Digit::stor2, DigitTable::A, 17, 18, 1, {E::LabFUL}},
}};

constexpr const DigitSource& digitSource(Digit d) { return kDigitSources[index(d)]; }

}  // namespace qm::display::layout
