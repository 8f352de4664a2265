#include "display/meter_panel.h"

#include "display/lcd_element.h"

#include <QPainter>
#include <qdrawutil.h>

#include <algorithm>
#include <optional>

namespace qm::display {
namespace {

using E = PanelElement;

// The sub-panels that group elements; the rest sit on the panel itself.
enum class Host : std::uint8_t { WholePanel, BarGraph, MemoryBox, TestVoltageBox, Value, TimerBox };
constexpr std::size_t kHostCount = 6;

struct SubPanel {
  Host host;
  std::string_view name;
  QRect box;
};

constexpr std::array kSubPanels = std::to_array<SubPanel>({
    {Host::BarGraph, name(E::KD), {10, 40, 575, 63}},
    {Host::MemoryBox, "Panel5", {6, 116, 103, 47}},
    {Host::TestVoltageBox, "Panel8", {230, 104, 189, 49}},
    {Host::Value, "ValuePanel", {202, 156, 311, 101}},
    {Host::TimerBox, "Panel6", {4, 182, 187, 71}},
});

constexpr LcdFont segment(int px, bool bold = false) { return {Face::Segment, px, bold}; }
constexpr LcdFont volt(int px) { return {Face::Volt, px, true}; }
constexpr LcdFont bar(int px) { return {Face::Bar, px, true}; }
constexpr LcdFont arial(int px) { return {Face::Arial, px, true}; }

struct Caption {
  PanelElement element;
  Host host;
  const char* text;  // as the window opens
  QRect box;
  LcdFont font;
};

// '*' is the ohm sign in the seven-segment face.
constexpr std::array kCaptions = std::to_array<Caption>({
    {E::rsUSB, Host::WholePanel, "USB", {452, 11, 43, 24}, arial(21)},
    {E::Labng, Host::WholePanel, "NG", {112, 109, 30, 24}, arial(21)},
    {E::Labgood, Host::WholePanel, "GOOD", {452, 110, 63, 24}, arial(21)},
    {E::labt, Host::WholePanel, "~", {172, 130, 17, 34}, arial(29)},
    {E::labdc, Host::WholePanel, "DC", {126, 158, 34, 29}, arial(24)},
    {E::labac, Host::WholePanel, "AC", {164, 158, 34, 29}, arial(24)},
    {E::Labv, Host::WholePanel, "V", {535, 156, 16, 29}, volt(24)},
    {E::Labo, Host::WholePanel, "*", {554, 154, 17, 27}, segment(24, true)},
    {E::Labmo1, Host::WholePanel, "M*", {537, 178, 38, 27}, segment(24, true)},
    {E::Labgo1, Host::WholePanel, " G*", {529, 204, 45, 27}, segment(24, true)},
    {E::Labto, Host::WholePanel, "T*", {541, 230, 33, 27}, segment(24, true)},
    {E::labs1, Host::WholePanel, "S1 ", {36, 260, 30, 24}, arial(20)},
    {E::labs2, Host::WholePanel, "S2", {61, 260, 24, 24}, arial(20)},
    {E::labs3, Host::WholePanel, "S3", {90, 260, 24, 24}, arial(20)},
    {E::labCOMP, Host::WholePanel, "COMP", {124, 258, 72, 29}, arial(24)},
    {E::labTIME1, Host::WholePanel, "Time1", {206, 258, 69, 29}, arial(24)},
    {E::labtime2, Host::WholePanel, "Time2", {282, 259, 69, 29}, arial(24)},
    {E::labsave, Host::WholePanel, "SAVE", {364, 259, 63, 29}, arial(24)},
    {E::labLoad, Host::WholePanel, "LOAD", {444, 259, 67, 29}, arial(24)},
    {E::labp1, Host::WholePanel, "PI", {530, 259, 23, 29}, arial(24)},

    {E::stor1, Host::MemoryBox, "1", {8, 0, 18, 53}, segment(48)},
    {E::stor2, Host::MemoryBox, "8", {32, 0, 18, 53}, segment(48)},
    {E::LabFUL, Host::MemoryBox, "FUL", {68, 8, 32, 19}, arial(16)},
    {E::Labclr, Host::MemoryBox, "CLR", {66, 26, 34, 19}, arial(16)},

    {E::Label3, Host::TestVoltageBox, "0", {18, 0, 18, 53}, segment(48)},
    {E::Label7, Host::TestVoltageBox, "0", {53, 0, 18, 53}, segment(48)},
    {E::Label10, Host::TestVoltageBox, "0", {82, 0, 18, 53}, segment(48)},
    {E::Label9, Host::TestVoltageBox, "0", {116, 0, 18, 53}, segment(48)},
    {E::Label4, Host::TestVoltageBox, "V", {151, 16, 13, 24}, volt(21)},

    {E::LabelF, Host::Value, "-", {30, 6, 28, 107}, segment(96)},
    {E::LabelA, Host::Value, "8", {60, -4, 40, 120}, segment(107)},
    {E::Point1, Host::Value, ".", {104, 32, 12, 72}, segment(64)},
    {E::LabelB, Host::Value, "8", {120, -4, 40, 120}, segment(107)},
    {E::Point2, Host::Value, ".", {166, 30, 12, 72}, segment(64)},
    {E::LabelC, Host::Value, "8", {184, -6, 40, 120}, segment(107)},
    {E::Point3, Host::Value, ".", {222, 28, 12, 72}, segment(64)},
    {E::LabelD, Host::Value, "8", {240, -6, 40, 120}, segment(107)},

    {E::H_Time1, Host::TimerBox, "8", {26, -6, 21, 63}, segment(56)},
    {E::H_Time2, Host::TimerBox, "8", {51, -6, 21, 63}, segment(56)},
    {E::T_dPoint1, Host::TimerBox, ":", {71, 0, 13, 53}, segment(48)},
    {E::M_Time1, Host::TimerBox, "8", {86, -6, 21, 63}, segment(56)},
    {E::M_Time2, Host::TimerBox, "8", {112, -6, 21, 63}, segment(56)},
    {E::Labtime, Host::TimerBox, " min : sec", {35, 48, 89, 22}, arial(19)},
    {E::labmo, Host::TimerBox, "M*", {153, 8, 31, 21}, segment(19, true)},
    {E::Labgo, Host::TimerBox, "G*", {152, 30, 30, 21}, segment(19, true)},

    // The bar graph's ends; the segments between them follow a rule (see barSegmentBox).
    {E::Bar0, Host::BarGraph, "|", {6, 14, 32, 49}, bar(64)},
    {E::bar29, Host::BarGraph, "!", {492, 26, 8, 32}, bar(27)},
    {E::bar30, Host::BarGraph, "{", {514, 14, 39, 47}, bar(64)},
});

// Segments 1..28 step 16 pixels; from segment 23 on the meter squeezes them into narrower boxes.
QRect barSegmentBox(int n) { return {42 + 16 * (n - 1), 26, n <= 22 ? 17 : 8, 32}; }
constexpr int kLastRegularSegment = 28;

struct PictureLayout {
  PanelElement element;
  Picture picture;
  QRect box;
};

constexpr std::array kPictures = std::to_array<PictureLayout>({
    {E::IGPower, Picture::Battery, {4, 4, 51, 25}},
    {E::IMoff, Picture::Probe, {62, 6, 33, 29}},
    {E::IMmike, Picture::Buzzer, {504, 10, 41, 25}},
    {E::CONok, Picture::LinkUp, {549, 5, 32, 32}},
    {E::CONokN, Picture::LinkDown, {549, 5, 32, 32}},
    {E::danger, Picture::HighVoltage, {198, 108, 27, 37}},
    {E::power, Picture::Timer, {6, 254, 27, 29}},
});

struct Block {
  PanelElement element;
  QRect box;
};

constexpr std::array kBlocks = std::to_array<Block>({
    {E::powerV1, {8, 8, 9, 17}},
    {E::powerv2, {22, 8, 9, 17}},
    {E::powerv3, {36, 8, 9, 17}},
    {E::Shape1, {124, 148, 37, 5}},  // DC: the solid line over the dashes
    {E::Shape2, {124, 156, 9, 5}},
    {E::Shape3, {138, 156, 9, 5}},
    {E::Shape4, {150, 156, 9, 5}},
});

// The resistance scale printed over the bar graph: a base line, and a tick with its label at each
// decade.
struct ScaleMark {
  const char* label;
  const char* text;
  QPoint at;
  LcdFont font;
  const char* tick;
  QRect tickBox;
};

constexpr QRect kScaleBaseLine{18, 26, 533, 5};

constexpr std::array kScale = std::to_array<ScaleMark>({
    {"Label1", "0", {14, 0}, arial(19), "Shape14", {17, 18, 6, 11}},
    {"Label2", "100K", {40, 2}, arial(14), "Shape6", {48, 20, 5, 9}},
    {"Label8", "1M", {101, 2}, arial(16), "Shape7", {109, 20, 6, 9}},
    {"Label11", "10M", {161, 0}, arial(16), "Shape8", {173, 20, 6, 11}},
    {"Label12", "100M", {225, 0}, arial(16), "Shape9", {239, 18, 6, 9}},
    {"Label13", "1G", {293, -2}, arial(16), "Shape10", {301, 16, 6, 13}},
    {"Label14", "10G", {353, 0}, arial(16), "Shape11", {368, 18, 6, 11}},
    {"Label15", "100G", {411, 0}, arial(16), "Shape12", {429, 18, 6, 11}},
    {"Label16", "1T", {489, 0}, arial(16), "Shape13", {497, 14, 6, 13}},
    {"Label17", "~", {537, -10}, bar(29), "Shape15", {550, 18, 5, 13}},
});

std::optional<Digit> digitOf(PanelElement e) {
  const std::size_t i = index(e);
  if (i < kDispInitElementCount || i >= kDispInitElementCount + kDigitCount) {
    return std::nullopt;
  }
  return static_cast<Digit>(i - kDispInitElementCount);
}

void fill(QWidget* widget, const QColor& colour) {
  QPalette palette = widget->palette();
  palette.setColor(QPalette::Window, colour);
  widget->setPalette(palette);
  widget->setAutoFillBackground(true);
}

void place(QWidget* widget, const QString& name, const QRect& box) {
  widget->setObjectName(name);
  widget->setGeometry(box);
}

QWidget* newBlock(QWidget* host) {
  auto* block = new QWidget(host);
  fill(block, Qt::black);
  return block;
}

}  // namespace

MeterPanel::MeterPanel(QWidget* parent) : QFrame(parent) {
  setObjectName(QStringLiteral("Panel4"));
  setFixedSize(615, 289);
  QPalette bevel = palette();
  bevel.setColor(QPalette::Light, Qt::white);
  bevel.setColor(QPalette::Dark, QColor(160, 160, 160));
  setPalette(bevel);
  fill(this, Qt::white);

  // Sub-panels first, so that they lie under the panel's own elements where their boxes overlap.
  std::array<QWidget*, kHostCount> hosts{};
  hosts[static_cast<std::size_t>(Host::WholePanel)] = this;
  for (const SubPanel& sub : kSubPanels) {
    auto* widget = new QWidget(this);
    place(widget, QString::fromLatin1(sub.name), sub.box);
    fill(widget, Qt::white);
    hosts[static_cast<std::size_t>(sub.host)] = widget;
  }
  const auto host = [&hosts](Host h) { return hosts[static_cast<std::size_t>(h)]; };
  elements_[index(E::KD)] = host(Host::BarGraph);

  for (const Caption& caption : kCaptions) {
    auto* label = new LcdElement(QString::fromLatin1(caption.text), caption.font, host(caption.host));
    addElement(caption.element, label, caption.box);
    if (const auto digit = digitOf(caption.element)) {
      digits_[index(*digit)] = label;
    }
  }
  for (int n = 1; n <= kLastRegularSegment; ++n) {
    addElement(barSegment(static_cast<std::size_t>(n)), new LcdElement(QStringLiteral("!"), bar(27), host(Host::BarGraph)),
               barSegmentBox(n));
  }
  for (const PictureLayout& picture : kPictures) {
    addElement(picture.element, new LcdPicture(picture.picture, this), picture.box);
  }
  for (const Block& block : kBlocks) {
    addElement(block.element, newBlock(this), block.box);
  }

  place(newBlock(host(Host::BarGraph)), QStringLiteral("Shape5"), kScaleBaseLine);
  for (const ScaleMark& mark : kScale) {
    auto* label = new LcdElement(QString::fromLatin1(mark.text), mark.font, host(Host::BarGraph));
    place(label, QString::fromLatin1(mark.label), QRect(mark.at, label->sizeHint()));
    place(newBlock(host(Host::BarGraph)), QString::fromLatin1(mark.tick), mark.tickBox);
  }

  Q_ASSERT(std::ranges::none_of(elements_, [](const QWidget* w) { return w == nullptr; }));
  Q_ASSERT(std::ranges::none_of(digits_, [](const LcdElement* d) { return d == nullptr; }));
  showState(PanelState::startupLook());
}

void MeterPanel::addElement(PanelElement e, QWidget* widget, const QRect& box) {
  place(widget, QString::fromLatin1(name(e)), box);
  elements_[index(e)] = widget;
}

void MeterPanel::showState(const PanelState& state) {
  for (std::size_t i = 0; i < kPanelElementCount; ++i) {
    const bool lit = state.isLit(static_cast<PanelElement>(i));
    // isHidden() is the widget's own flag, whatever its sub-panel does: a segment stays lit inside
    // a dark bar graph.
    if (elements_[i]->isHidden() == lit) {
      elements_[i]->setVisible(lit);
    }
  }
  for (std::size_t d = 0; d < kDigitCount; ++d) {
    digits_[d]->setText(QString(QLatin1Char(state.digitText(static_cast<Digit>(d)))));
  }
}

void MeterPanel::paintEvent(QPaintEvent*) {
  // The look of a raised panel with a lowered inner bevel, one pixel of border between them.
  QPainter painter(this);
  qDrawShadePanel(&painter, rect(), palette(), false, 1);
  qDrawShadePanel(&painter, rect().adjusted(2, 2, -2, -2), palette(), true, 1);
}

}  // namespace qm::display
