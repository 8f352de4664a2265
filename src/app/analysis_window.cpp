#include "app/analysis_window.h"

#include "analysis/curve_axes.h"
#include "app/table_file_commands.h"
#include "app/test_record_dialog.h"
#include "core/ansi_text.h"
#include "core/decades.h"
#include "reports/insulation_report.h"
#include "reports/report_export.h"

#include <QChart>
#include <QChartView>
#include <QComboBox>
#include <QFileDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineSeries>
#include <QLocale>
#include <QLogValueAxis>
#include <QMessageBox>
#include <QPushButton>
#include <QValueAxis>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace qm::app {
namespace {

// A curve of more readings than this is thinned out for drawing: the chart is a few hundred
// pixels wide.
constexpr std::size_t kMostPointsDrawn = 2000;
const QString kNone = QStringLiteral("-");

template <typename Widget>
Widget* named(Widget* widget, const char* name) {
  widget->setObjectName(QLatin1String(name));
  return widget;
}

QString runCaption(std::size_t index, const analysis::TestRun& run) {
  const auto no = [](const std::optional<std::int32_t>& value) { return value ? QString::number(*value) : QStringLiteral("?"); };
  return QStringLiteral("Run %1: No %2-%3, %4, %5 s")
      .arg(index + 1)
      .arg(no(run.firstNo), no(run.lastNo), fromAnsi(run.function),
           QString::number(static_cast<double>(run.elapsed) / 1000.0, 'f', 1));
}

QString ohmsOrNone(const std::optional<double>& ohms) { return ohms ? analysis::ohmsText(*ohms) : kNone; }
QString ratioOrNone(const std::optional<double>& ratio) { return ratio ? QString::number(*ratio, 'f', 2) : kNone; }

}  // namespace

AnalysisWindow::AnalysisWindow(const log::ReadingTable& table, TableFileCommands& tableFiles,
                               const std::string& decimalSeparator, QWidget* parent)
    : QWidget(parent, Qt::Window),
      tracker_(table, decimalSeparator),
      runList_(named(new QComboBox(this), "RunList")),
      windingChoice_(named(new QComboBox(this), "WindingChoice")),
      darChoice_(named(new QComboBox(this), "DarChoice")),
      recordSummary_(named(new QLabel(this), "RecordSummary")),
      verdict_(named(new QLabel(this), "Verdict")),
      reasons_(named(new QLabel(this), "Reasons")),
      runRecordDialog_([](TestRecordDialog& dialog) { return dialog.exec() == QDialog::Accepted; }),
      showProblem_([this](const QString& text) { QMessageBox::warning(this, windowTitle(), text); }),
      askReportFile_([this] {
        return QFileDialog::getSaveFileName(this, QStringLiteral("Save Insulation Test Report"), QString(),
                                            QStringLiteral("PDF files (*.pdf)"));
      }) {
  setObjectName(QStringLiteral("InsulationAnalysis"));
  setWindowTitle(QStringLiteral("Insulation Test Analysis"));

  windingChoice_->addItems({QStringLiteral("Form-wound (R60 at 40 °C at least 100 MΩ)"),
                            QStringLiteral("Random-wound or under 1 kV (at least 5 MΩ)")});
  darChoice_->addItems({QStringLiteral("DAR = R60/R30"), QStringLiteral("DAR = R60/R15")});
  auto* recordButton = named(new QPushButton(QStringLiteral("Test Record..."), this), "TestRecordButton");
  auto* reportButton = named(new QPushButton(QStringLiteral("Save Report..."), this), "SaveReportButton");
  auto* choices = new QHBoxLayout;
  choices->addWidget(new QLabel(QStringLiteral("Run:"), this));
  choices->addWidget(runList_, 1);
  choices->addWidget(windingChoice_);
  choices->addWidget(darChoice_);
  choices->addWidget(recordButton);
  choices->addWidget(reportButton);

  buildChart();
  auto* view = named(new QChartView(chart_, this), "ResistanceCurve");
  view->setRenderHint(QPainter::Antialiasing);
  view->setMinimumSize(640, 320);

  auto* indices = new QGridLayout;
  const std::array<const char*, 8> names = {"R15", "R30", "R60", "R600", "DAR", "PI", "MeterPI", "R60At40C"};
  const std::array<QString, 8> captions = {QStringLiteral("R15:"), QStringLiteral("R30:"), QStringLiteral("R60:"),
                                           QStringLiteral("R600:"), QStringLiteral("DAR:"), QStringLiteral("PI:"),
                                           QStringLiteral("Meter's PI:"), QStringLiteral("R60 at 40 °C:")};
  for (std::size_t i = 0; i < values_.size(); ++i) {
    values_[i] = named(new QLabel(kNone, this), names[i]);
    values_[i]->setTextInteractionFlags(Qt::TextSelectableByMouse);
    const int row = static_cast<int>(i % 4);
    const int column = static_cast<int>(i / 4) * 2;
    indices->addWidget(new QLabel(captions[i], this), row, column);
    indices->addWidget(values_[i], row, column + 1);
  }
  indices->setColumnStretch(1, 1);
  indices->setColumnStretch(3, 1);
  QFont large = verdict_->font();
  large.setPointSizeF(large.pointSizeF() * 1.6);
  large.setBold(true);
  verdict_->setFont(large);
  reasons_->setWordWrap(true);
  reasons_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  recordSummary_->setWordWrap(true);

  auto* layout = new QVBoxLayout(this);
  layout->addLayout(choices);
  layout->addWidget(recordSummary_);
  layout->addWidget(view, 1);
  layout->addLayout(indices);
  layout->addWidget(verdict_);
  layout->addWidget(reasons_);
  resize(760, 640);

  connect(&tracker_, &analysis::RunTracker::runsChanged, this, &AnalysisWindow::followRuns);
  connect(runList_, &QComboBox::activated, this, [this](int index) {
    followNewest_ = index + 1 == runList_->count();
    showRun();
  });
  connect(windingChoice_, &QComboBox::currentIndexChanged, this, [this](int index) {
    settings_.winding = index == 0 ? analysis::AnalysisSettings::Winding::FormWound
                                   : analysis::AnalysisSettings::Winding::RandomWoundOrBelow1kV;
    showRun();
  });
  connect(darChoice_, &QComboBox::currentIndexChanged, this, [this](int index) {
    settings_.absorptionRatio = index == 0 ? analysis::AnalysisSettings::AbsorptionRatio::Sixty30
                                           : analysis::AnalysisSettings::AbsorptionRatio::Sixty15;
    showRun();
  });
  connect(recordButton, &QPushButton::clicked, this, &AnalysisWindow::editTestRecord);
  connect(reportButton, &QPushButton::clicked, this, &AnalysisWindow::saveReport);
  connect(&tableFiles, &TableFileCommands::tableOpened, this, [this](const QString& fileName) {
    reportProblem(records_.tableOpened(fileName));
    showRecordSummary();
    showRun();
  });
  connect(&tableFiles, &TableFileCommands::tableSaved, this,
          [this](const QString& fileName) { reportProblem(records_.tableSaved(fileName)); });
  followRuns();
  showRecordSummary();
}

void AnalysisWindow::buildChart() {
  chart_ = new QChart;
  chart_->legend()->hide();
  chart_->setTitle(QStringLiteral("Resistance against time"));
  timeAxis_ = new QValueAxis(chart_);
  timeAxis_->setTitleText(QStringLiteral("Time (s)"));
  timeAxis_->setLabelFormat(QStringLiteral("%g"));
  timeAxis_->setTickType(QValueAxis::TicksDynamic);
  timeAxis_->setTickAnchor(0);
  resistanceAxis_ = new QLogValueAxis(chart_);
  resistanceAxis_->setBase(10);
  resistanceAxis_->setLabelFormat(QStringLiteral("%g"));
  resistanceAxis_->setMinorTickCount(8);
  chart_->addAxis(timeAxis_, Qt::AlignBottom);
  chart_->addAxis(resistanceAxis_, Qt::AlignLeft);

  for (std::size_t i = 0; i < analysis::kCurveMarks.size(); ++i) {
    auto* mark = new QLineSeries(chart_);
    mark->setObjectName(QStringLiteral("Mark%1s").arg(analysis::kCurveMarks[i] / 1000));
    mark->setPen(QPen(QColor(128, 128, 128), 1, Qt::DashLine));
    // Only the bottom end carries the label, inside the plot above the time axis.
    mark->setPointLabelsVisible(true);
    mark->setPointLabelsFormat(QStringLiteral("@xPoint s"));
    mark->setPointLabelsClipping(false);
    chart_->addSeries(mark);
    mark->attachAxis(timeAxis_);
    mark->attachAxis(resistanceAxis_);
    marks_[i] = mark;
  }
  curve_ = new QLineSeries(chart_);
  curve_->setObjectName(QStringLiteral("Curve"));
  curve_->setPen(QPen(QColor(0, 90, 170), 2));
  chart_->addSeries(curve_);
  curve_->attachAxis(timeAxis_);
  curve_->attachAxis(resistanceAxis_);
}

void AnalysisWindow::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  showRun();
}

void AnalysisWindow::followRuns() {
  const std::vector<analysis::TestRun>& runs = tracker_.runs();
  const auto count = static_cast<int>(runs.size());
  const int selected = runList_->currentIndex();
  if (count < runList_->count()) {
    runList_->clear();  // runs found afresh
  }
  for (int i = runList_->count(); i < count; ++i) {
    runList_->addItem(runCaption(static_cast<std::size_t>(i), runs[static_cast<std::size_t>(i)]));
  }
  // Only the last run can have grown.
  if (count > 0) {
    runList_->setItemText(count - 1, runCaption(runs.size() - 1, runs.back()));
  }
  runList_->setCurrentIndex(followNewest_ || selected < 0 || selected >= count ? count - 1 : selected);
  if (isVisible()) {
    showRun();
  }
}

void AnalysisWindow::showRun() {
  const int index = runList_->currentIndex();
  const analysis::TestRun* run = index >= 0 ? &tracker_.runs()[static_cast<std::size_t>(index)] : nullptr;
  showCurve(run);
  showIndices(run);
}

void AnalysisWindow::showIndices(const analysis::TestRun* run) {
  if (run == nullptr) {
    for (QLabel* value : values_) {
      value->setText(kNone);
    }
    verdict_->clear();
    reasons_->setText(QStringLiteral("The table holds no insulation test run: readings in Ω, MΩ or GΩ under an IR "
                                     "function."));
    return;
  }
  const analysis::TestRecord& record = records_.record();
  const analysis::InsulationIndices indices = analysis::analyseRun(*run, record.ambientCelsius, record.insulationClass, settings_);
  values_[0]->setText(ohmsOrNone(indices.r15));
  values_[1]->setText(ohmsOrNone(indices.r30));
  values_[2]->setText(ohmsOrNone(indices.r60));
  values_[3]->setText(ohmsOrNone(indices.r600));
  values_[4]->setText(ratioOrNone(indices.dar));
  values_[5]->setText(ratioOrNone(indices.pi) + (indices.pi && !indices.piMeaningful ? QStringLiteral(" (not meaningful)") : QString()));
  values_[6]->setText(ratioOrNone(run->meterPolarisationIndex));
  values_[7]->setText(ohmsOrNone(indices.r60At40C));
  if (indices.verdict) {
    const analysis::Verdict verdict = *indices.verdict;
    verdict_->setText(analysis::verdictText(verdict));
    const QColor colour = verdict == analysis::Verdict::Pass   ? QColor(0, 128, 0)
                          : verdict == analysis::Verdict::Fail ? QColor(176, 0, 0)
                                                               : QColor(176, 112, 0);
    verdict_->setStyleSheet(QStringLiteral("color: %1").arg(colour.name()));
  } else {
    verdict_->setText(QStringLiteral("No verdict"));
    verdict_->setStyleSheet(QString());
  }
  QStringList reasons = indices.reasons;
  if (!indices.verdict) {
    reasons << QStringLiteral("Enter the ambient temperature in the test record for a verdict.");
  }
  reasons_->setText(reasons.join(QLatin1Char('\n')));
}

void AnalysisWindow::showCurve(const analysis::TestRun* run) {
  QList<QPointF> points;
  double smallest = 0;
  double largest = 0;
  if (run != nullptr) {
    const std::size_t step = run->points.size() / kMostPointsDrawn + 1;
    for (std::size_t i = 0; i < run->points.size(); i += step) {
      const analysis::RunPoint& point = run->points[i];
      // A log axis holds no 0 Ω.
      if (point.ohms > 0) {
        points.append({static_cast<double>(point.elapsed) / 1000.0, point.ohms});
        smallest = smallest == 0 ? point.ohms : std::min(smallest, point.ohms);
        largest = std::max(largest, point.ohms);
      }
    }
  }
  const OhmsUnit unit = ohmsUnitFor(largest);
  for (QPointF& point : points) {
    point.setY(point.y() / unit.ohms);
  }
  curve_->replace(points);
  const Decades decades = points.isEmpty() ? Decades{0.1, 10.0} : decadesAround(smallest / unit.ohms, largest / unit.ohms);
  const double low = decades.low;
  const double high = decades.high;
  // A hair below the lowest decade, so that rounding in the axis does not drop that decade's label.
  resistanceAxis_->setRange(low * (1 - 1e-9), high);
  resistanceAxis_->setTitleText(QStringLiteral("Resistance (%1)").arg(unit.name));
  const double end = analysis::curveEndSeconds(run != nullptr ? run->elapsed : 0);
  timeAxis_->setRange(0, end);
  timeAxis_->setTickInterval(analysis::curveTickSeconds(end));
  for (std::size_t i = 0; i < analysis::kCurveMarks.size(); ++i) {
    const double seconds = static_cast<double>(analysis::kCurveMarks[i]) / 1000.0;
    marks_[i]->replace({{seconds, low}, {seconds, high}});
    marks_[i]->setPointConfiguration(1, QXYSeries::PointConfiguration::LabelVisibility, false);
  }
}

void AnalysisWindow::editTestRecord() {
  TestRecordDialog dialog(records_.record(), this);
  if (!runRecordDialog_(dialog)) {
    return;
  }
  reportProblem(records_.setRecord(dialog.record()));
  showRecordSummary();
  showRun();
}

void AnalysisWindow::saveReport() {
  if (tracker_.runs().empty()) {
    showProblem_(QStringLiteral("The table holds no insulation test run to report."));
    return;
  }
  QString fileName = askReportFile_();
  if (fileName.isEmpty()) {
    return;
  }
  if (!fileName.endsWith(QLatin1String(".pdf"), Qt::CaseInsensitive)) {
    fileName += QStringLiteral(".pdf");
  }
  reports::InsulationReportOptions options;
  options.settings = settings_;
  const reports::InsulationReport report(tracker_.runs(), records_.record(), std::move(options));
  reportProblem(reports::savePdf(report, reports::InsulationReport::title(), fileName).message);
}

void AnalysisWindow::showRecordSummary() {
  const analysis::TestRecord& record = records_.record();
  QStringList parts;
  for (const QString& text : {record.assetId, record.assetDescription, record.site, record.operatorName}) {
    if (!text.isEmpty()) {
      parts << text;
    }
  }
  const QLocale locale;
  if (record.ambientCelsius) {
    parts << locale.toString(*record.ambientCelsius) + QStringLiteral(" °C");
  }
  if (record.humidityPercent) {
    parts << locale.toString(*record.humidityPercent) + QStringLiteral(" % RH");
  }
  if (!record.insulationClass.isEmpty()) {
    parts << QStringLiteral("class ") + record.insulationClass;
  }
  recordSummary_->setText(parts.isEmpty() ? QStringLiteral("No test record: use \"Test Record...\" for the asset, the "
                                                           "ambient temperature and the insulation class.")
                                          : QStringLiteral("Test record: ") + parts.join(QStringLiteral(", ")));
}

void AnalysisWindow::reportProblem(const QString& problem) {
  if (!problem.isEmpty()) {
    showProblem_(problem);
  }
}

}  // namespace qm::app
