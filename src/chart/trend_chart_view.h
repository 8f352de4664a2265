#pragma once

// The trend chart "Chtshow": a chart with two series of which exactly one is shown at a time (a
// filled area or a plain line), and a small toolbar of its own laid over the chart's top-left
// corner. The window decides what the chart shows; this control only keeps its series, its page
// size and its toolbar.

#include <QFrame>

QT_BEGIN_NAMESPACE
class QCheckBox;
class QChart;
class QValueAxis;
class QXYSeries;
QT_END_NAMESPACE

namespace qm::chart {

class TrendChartView : public QFrame {
  Q_OBJECT
public:
  // Series indices in the chart's order, as ShowSeries() takes them.
  static constexpr int kAreaSeries = 0;  // "Series2"
  static constexpr int kLineSeries = 1;  // "Series1"

  explicit TrendChartView(QWidget* parent);

  // Replaces the points of every series by one generated sample point.
  void fillWithSamples();

  // Makes the series at `index` the only active one; inactive series are neither drawn nor paged.
  void ShowSeries(int index);

  // Whether the toolbar's "Fill" box asks for the area series.
  bool isFillChecked() const;

  // MaxPointsPerPage; 0 puts every point on one page. Must not be negative.
  void setPageSize(int pointsPerPage);
  int pageSize() const { return maxPointsPerPage_; }

private:
  void buildToolbar();
  QXYSeries* pointsOf(int index) const;
  void fitBottomAxis();

  QChart* chart_ = nullptr;
  QXYSeries* areaPoints_ = nullptr;
  QXYSeries* linePoints_ = nullptr;
  QValueAxis* bottomAxis_ = nullptr;
  QCheckBox* BtFill = nullptr;
  int maxPointsPerPage_ = 0;
};

}  // namespace qm::chart
