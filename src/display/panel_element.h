#pragma once

// Every element of the virtual meter panel whose look the frame decoder or the link watchdog
// changes, under the name it has on the main window. The order matters: the first 74 form the set
// that darkenIndicators darkens, then come the thirteen seven-segment digits, then the elements that
// darkenIndicators leaves alone.

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

namespace qm::display {

#define QM_DISPINIT_ELEMENTS(X)                                                                  \
  X(Bar0) X(BAR1) X(bar2) X(bar3) X(bar4) X(bar5) X(bar6) X(bar7) X(bar8) X(bar9) X(bar10)       \
  X(bar11) X(bar12) X(bar13) X(bar14) X(bar15) X(bar16) X(bar17) X(bar18) X(bar19) X(bar20)     \
  X(bar21) X(bar22) X(bar23) X(bar24) X(bar25) X(bar26) X(bar27) X(bar28) X(bar29) X(bar30)     \
  X(LabFUL) X(Labclr) X(Labng) X(Labgood)                                                       \
  X(Shape1) X(Shape2) X(Shape3) X(Shape4) X(labdc) X(labt) X(labac)                             \
  X(labmo) X(Labgo) X(Labv) X(Labo) X(Labmo1) X(Labgo1) X(Labto)                                \
  X(power) X(labs1) X(labs2) X(labs3) X(labCOMP) X(labTIME1) X(labtime2) X(Labtime) X(labsave)  \
  X(labLoad) X(labp1)                                                                           \
  X(danger) X(IMoff) X(IMmike) X(IGPower) X(powerV1) X(powerv2) X(powerv3)                      \
  X(Point1) X(Point2) X(Point3) X(LabelF) X(stor1) X(T_dPoint1) X(Label4)

#define QM_DIGIT_ELEMENTS(X)                                                                     \
  X(LabelA) X(LabelB) X(LabelC) X(LabelD) X(Label3) X(Label7) X(Label10) X(Label9)               \
  X(H_Time1) X(H_Time2) X(M_Time1) X(M_Time2) X(stor2)

#define QM_OTHER_ELEMENTS(X) X(KD) X(CONok) X(CONokN) X(rsUSB)

#define QM_ENUM_ENTRY(name) name,
enum class PanelElement : std::uint8_t {
  QM_DISPINIT_ELEMENTS(QM_ENUM_ENTRY) QM_DIGIT_ELEMENTS(QM_ENUM_ENTRY) QM_OTHER_ELEMENTS(QM_ENUM_ENTRY)
};

// The thirteen seven-segment digits, in the order the command-line tools list them.
enum class Digit : std::uint8_t { QM_DIGIT_ELEMENTS(QM_ENUM_ENTRY) };
#undef QM_ENUM_ENTRY

#define QM_COUNT_ENTRY(name) +1
inline constexpr std::size_t kDispInitElementCount = 0 QM_DISPINIT_ELEMENTS(QM_COUNT_ENTRY);
inline constexpr std::size_t kDigitCount = 0 QM_DIGIT_ELEMENTS(QM_COUNT_ENTRY);
inline constexpr std::size_t kPanelElementCount =
    kDispInitElementCount + kDigitCount + (0 QM_OTHER_ELEMENTS(QM_COUNT_ENTRY));
#undef QM_COUNT_ENTRY

static_assert(kDispInitElementCount == 74);
static_assert(kDigitCount == 13);

#define QM_NAME_ENTRY(name) std::string_view{#name},
inline constexpr std::array<std::string_view, kPanelElementCount> kPanelElementNames = {
    QM_DISPINIT_ELEMENTS(QM_NAME_ENTRY) QM_DIGIT_ELEMENTS(QM_NAME_ENTRY) QM_OTHER_ELEMENTS(QM_NAME_ENTRY)};
#undef QM_NAME_ENTRY

constexpr std::size_t index(PanelElement element) { return static_cast<std::size_t>(element); }
constexpr std::size_t index(Digit digit) { return static_cast<std::size_t>(digit); }

constexpr PanelElement element(Digit digit) {
  return static_cast<PanelElement>(kDispInitElementCount + index(digit));
}

constexpr std::string_view name(PanelElement element) { return kPanelElementNames[index(element)]; }
constexpr std::string_view name(Digit digit) { return name(element(digit)); }

// Bar-graph segment 0..30, left to right.
constexpr PanelElement barSegment(std::size_t n) { return static_cast<PanelElement>(n); }
inline constexpr std::size_t kBarSegmentCount = 31;

std::optional<PanelElement> elementByName(std::string_view name);

}  // namespace qm::display
