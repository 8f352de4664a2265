#include "reports/insulation_report.h"

#include "core/ansi_text.h"
#include "reports/insulation_curve.h"
#include "reports/page_painter.h"

#include <QLocale>

namespace qm::reports {
namespace {

const QColor kBlue(0, 0, 255);

TextStyle arial(double points, bool bold = false, QColor colour = Qt::black) {
  return {QStringLiteral("Arial"), points, bold, false, colour};
}

// The band reports' title style.
const TextStyle kTitle{QStringLiteral("Arial"), 14, true, true, kBlue};
const TextStyle kDate = arial(7);
const TextStyle kHeading = arial(11, true);
const TextStyle kLabel = arial(9);
const TextStyle kValue = arial(9, true);
const TextStyle kPass = arial(16, true, QColor(0, 128, 0));
const TextStyle kFail = arial(16, true, QColor(176, 0, 0));
const TextStyle kQuestionable = arial(16, true, QColor(176, 112, 0));
const TextStyle kNoVerdict = arial(16, true, QColor(96, 96, 96));
const TextStyle kFooter = arial(10);
const TextStyle kPageNumber = arial(8, false, kBlue);
const TextStyle kPageTotal = arial(9, false, kBlue);

const QString kNone = QStringLiteral("-");
constexpr double kLineStep = 5.0;  // mm between lines of a block

// Places text on the paper, in millimetres from its top-left corner; centred in `boxWidth` if given.
void put(PageContent& content, const QString& text, double left, double top, const TextStyle& style, double boxWidth = 0) {
  if (!text.isEmpty()) {
    content.texts.push_back({text, mm(left), mm(top), mm(boxWidth), &style});
  }
}

void rule(PageContent& content, double left, double right, double y, double widthMm = 0.2) {
  content.lines.push_back({QPolygonF{{left * 10, y * 10}, {right * 10, y * 10}}, widthMm, Qt::black, Qt::SolidLine});
}

// `text` cut to `width` millimetres, with an ellipsis where it was cut.
QString fitted(const TextStyle& style, const QString& text, double width) {
  if (textWidth(style, text) <= mm(width)) {
    return text;
  }
  QString cut = text;
  while (!cut.isEmpty() && textWidth(style, cut + QStringLiteral("…")) > mm(width)) {
    cut.chop(1);
  }
  return cut + QStringLiteral("…");
}

// `text` in lines of at most `width` millimetres, broken between words where it can be.
QStringList wrapped(const TextStyle& style, const QString& text, double width) {
  QStringList lines;
  QString line;
  for (const QString& word : text.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
    const QString longer = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
    if (!line.isEmpty() && textWidth(style, longer) > mm(width)) {
      lines << fitted(style, line, width);
      line = word;
    } else {
      line = longer;
    }
  }
  if (!line.isEmpty()) {
    lines << fitted(style, line, width);
  }
  return lines;
}

QString orNone(const QString& text) { return text.trimmed().isEmpty() ? kNone : text; }
QString ohmsOrNone(const std::optional<double>& ohms) { return ohms ? analysis::ohmsText(*ohms) : kNone; }
QString ratioOrNone(const std::optional<double>& ratio) { return ratio ? QString::number(*ratio, 'f', 2) : kNone; }

QString measurement(const std::optional<double>& value, const QString& unit) {
  return value ? QLocale::system().toString(*value) + QLatin1Char(' ') + unit : kNone;
}

struct Entry {
  QString label;
  QString value;
};

// Two columns of label and value, from `top` down.
void putEntries(PageContent& content, const std::vector<Entry>& left, const std::vector<Entry>& right, double top) {
  constexpr double kLeftLabel = 12;
  constexpr double kLeftValue = 48;
  constexpr double kRightLabel = 108;
  constexpr double kRightValue = 140;
  for (std::size_t i = 0; i < left.size(); ++i) {
    put(content, left[i].label, kLeftLabel, top + kLineStep * static_cast<double>(i), kLabel);
    put(content, fitted(kValue, left[i].value, kRightLabel - kLeftValue - 2), kLeftValue,
        top + kLineStep * static_cast<double>(i), kValue);
  }
  for (std::size_t i = 0; i < right.size(); ++i) {
    put(content, right[i].label, kRightLabel, top + kLineStep * static_cast<double>(i), kLabel);
    put(content, fitted(kValue, right[i].value, 198 - kRightValue), kRightValue, top + kLineStep * static_cast<double>(i),
        kValue);
  }
}

const TextStyle& verdictStyle(const std::optional<analysis::Verdict>& verdict) {
  if (!verdict) {
    return kNoVerdict;
  }
  switch (*verdict) {
    case analysis::Verdict::Pass: return kPass;
    case analysis::Verdict::Fail: return kFail;
    case analysis::Verdict::Questionable: break;
  }
  return kQuestionable;
}

}  // namespace

InsulationReport::InsulationReport(std::vector<analysis::TestRun> runs, analysis::TestRecord record,
                                   InsulationReportOptions options)
    : runs_(std::move(runs)),
      record_(std::move(record)),
      printDate_(options.printDate.isEmpty() ? todayInShortDateFormat() : std::move(options.printDate)),
      timeFormat_(options.timeFormat ? std::move(*options.timeFormat) : log::TimeOfDayFormat::systemLongTime()),
      settings_(options.settings) {
  Q_ASSERT(!runs_.empty());
  indices_.reserve(runs_.size());
  for (const analysis::TestRun& run : runs_) {
    indices_.push_back(analysis::analyseRun(run, record_.ambientCelsius, record_.insulationClass, settings_));
  }
}

QString InsulationReport::title() { return QStringLiteral("INSULATION TEST REPORT"); }

QSizeF InsulationReport::pageSize(std::size_t) const {
  return {toMillimetres(PageSetup::kPaperWidth), toMillimetres(PageSetup::kPaperHeight)};
}

void InsulationReport::paintPage(QPainter& painter, std::size_t page, double pixelsPerMm) const {
  PagePainter(painter, pixelsPerMm).paint(pageContent(page), QImage());
}

PageContent InsulationReport::pageContent(std::size_t page) const {
  PageContent content;
  const analysis::TestRun& run = runs_.at(page);
  const analysis::InsulationIndices& indices = indices_.at(page);

  put(content, title(), 10, 12.1, kTitle, 190);
  put(content, QStringLiteral("Print Date:"), 168.8, 15.3, kDate);
  put(content, printDate_, 181.4, 15.3, kDate);
  rule(content, 10, 200, 21.5);

  const auto no = [](const std::optional<std::int32_t>& value) { return value ? QString::number(*value) : QStringLiteral("?"); };
  put(content,
      QStringLiteral("Run %1 of %2:  No %3-%4,  %5,  started %6,  %7 s")
          .arg(page + 1)
          .arg(runs_.size())
          .arg(no(run.firstNo), no(run.lastNo), fromAnsi(run.function), fromAnsi(timeFormat_.format(run.startTime)),
               QString::number(static_cast<double>(run.elapsed) / 1000.0, 'f', 1)),
      12, 24, kLabel);

  put(content, QStringLiteral("Test record"), 10, 31, kHeading);
  putEntries(content,
             {{QStringLiteral("Asset ID"), orNone(record_.assetId)},
              {QStringLiteral("Description"), orNone(record_.assetDescription)},
              {QStringLiteral("Ambient temperature"), measurement(record_.ambientCelsius, QStringLiteral("°C"))},
              {QStringLiteral("Insulation class"), orNone(record_.insulationClass)}},
             {{QStringLiteral("Site"), orNone(record_.site)},
              {QStringLiteral("Operator"), orNone(record_.operatorName)},
              {QStringLiteral("Humidity"), measurement(record_.humidityPercent, QStringLiteral("% RH"))}},
             37);
  put(content, QStringLiteral("Notes"), 12, 57, kLabel);
  // Two lines of notes at most; the rest is cut with an ellipsis.
  QStringList notes = wrapped(kValue, orNone(record_.notes), 150);
  if (notes.size() > 2) {
    notes[1] = fitted(kValue, notes.mid(1).join(QLatin1Char(' ')) + QStringLiteral("…"), 150);
    notes.resize(2);
  }
  for (qsizetype i = 0; i < notes.size(); ++i) {
    put(content, notes[i], 48, 57 + kLineStep * static_cast<double>(i), kValue);
  }

  put(content, QStringLiteral("Resistance against time"), 10, 68, kHeading);
  placeResistanceCurve(content, run, {mm(30), mm(75), mm(165), mm(85)});

  const QString darName = settings_.absorptionRatio == analysis::AnalysisSettings::AbsorptionRatio::Sixty15
                              ? QStringLiteral("DAR (R60/R15)")
                              : QStringLiteral("DAR (R60/R30)");
  const QString pi = ratioOrNone(indices.pi) + (indices.pi && !indices.piMeaningful ? QStringLiteral(" (not meaningful)") : QString());
  const QString corrected = indices.r60At40C ? analysis::ohmsText(*indices.r60At40C) + QStringLiteral(" (from ") +
                                                   measurement(record_.ambientCelsius, QStringLiteral("°C")) + QLatin1Char(')')
                                             : kNone;
  put(content, QStringLiteral("Indices"), 10, 177, kHeading);
  putEntries(content,
             {{QStringLiteral("R15"), ohmsOrNone(indices.r15)},
              {QStringLiteral("R30"), ohmsOrNone(indices.r30)},
              {QStringLiteral("R60"), ohmsOrNone(indices.r60)},
              {QStringLiteral("R600"), ohmsOrNone(indices.r600)}},
             {{darName, ratioOrNone(indices.dar)},
              {QStringLiteral("PI (R600/R60)"), pi},
              {QStringLiteral("Meter's PI"), ratioOrNone(run.meterPolarisationIndex)},
              {QStringLiteral("R60 at 40 °C"), corrected}},
             183);

  put(content, QStringLiteral("Verdict"), 10, 206, kHeading);
  put(content, indices.verdict ? analysis::verdictText(*indices.verdict) : QStringLiteral("NO VERDICT"), 48, 204.5,
      verdictStyle(indices.verdict));
  double top = 213;
  for (const QString& reason : indices.reasons) {
    for (const QString& line : wrapped(kLabel, reason, 184)) {
      if (top <= 240) {
        put(content, line, 12, top, kLabel);
        top += 4.5;
      }
    }
  }

  for (const auto& [caption, y] : {std::pair{QStringLiteral("Tested by"), 250.0}, std::pair{QStringLiteral("Checked by"), 264.0}}) {
    put(content, caption, 12, y, kLabel);
    rule(content, 32, 118, y + 4, 0.15);
    put(content, QStringLiteral("Date"), 124, y, kLabel);
    rule(content, 134, 198, y + 4, 0.15);
  }

  put(content, QStringLiteral("The Page"), 18.5, 280.6, kFooter);
  put(content, QString::number(page + 1), 34.3, 280.6, kPageNumber);
  put(content, QStringLiteral("Of"), 41.8, 280.6, kFooter);
  put(content, QString::number(runs_.size()), 47.0, 280.6, kPageTotal);
  return content;
}

}  // namespace qm::reports
