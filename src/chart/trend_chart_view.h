#pragma once

// The trend chart "Chtshow": a chart with two series of which exactly one is shown at a time (a
// filled area or a plain line), and a small toolbar of its own laid over the chart's top-left
// corner: fill switch, page-size box, snapshot and clear buttons, page navigation with the page
// number between, and the enlarge/restore icon.
//
// The series show the readings of the table the chart follows, one page at a time. The points
// live in a PointStore; the series are handed only the current page, reduced to what the chart's
// pixels can show, so a page of ten million readings draws as quickly as a page of a hundred.
//
// A page plots its readings in volts or ohms on an axis fitted to them (see ValueAxisPlan); the
// "Fixed scale" box at the chart's top right, above the plot, brings back the chart's old axis, -11000 to 11000,
// which plots the digits the meter showed whatever their unit.

#include "chart/chart_pager.h"
#include "chart/point_store.h"
#include "chart/value_axis_plan.h"

#include <QDateTime>
#include <QFrame>
#include <QPointer>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

QT_BEGIN_NAMESPACE
class QChart;
class QChartView;
class QCheckBox;
class QLabel;
class QLineEdit;
class QLogValueAxis;
class QToolButton;
class QValueAxis;
class QXYSeries;
QT_END_NAMESPACE

namespace qm::log {
class ReadingTable;
}

namespace qm::chart {

class TableFeed;

// The chart panel's silver: its background, frame and the page-size box.
inline const QColor kChartSilver(192, 192, 192);

class TrendChartView : public QFrame {
  Q_OBJECT
public:
  // Series indices in the chart's order, as showSeries() takes them.
  static constexpr int kAreaSeries = 0;  // "Series2"
  static constexpr int kLineSeries = 1;  // "Series1"

  // How the chart tells the user things; message boxes unless replaced.
  struct Prompts {
    std::function<void(const QString&)> information;
    std::function<void(const QString&)> error;
  };

  explicit TrendChartView(QWidget* parent);
  ~TrendChartView() override;

  // Shows the readings of `table` from now on (see TableFeed), reading values with the locale's
  // decimal separator. The table must outlive the chart or be followed no more.
  void followTable(const log::ReadingTable& table, std::string decimalSeparator);
  const PointStore& points() const { return points_; }

  // Empties the chart: it shows the sample point until the next reading arrives.
  void fillWithSamples();

  // Makes the series at `index` the only active one; inactive series are neither drawn nor paged.
  void showSeries(int index);

  // Makes the series the "Fill" box chooses the only active one: the area when it is checked, the
  // line otherwise.
  void showChosenSeries();

  // The toolbar's "Fill" box. Setting it acts as a click on it does.
  bool isFillChecked() const;
  void setFillChecked(bool checked);

  // MaxPointsPerPage; 0 puts every point on one page. The current page is clamped to the new page
  // count; the page caption stays.
  void setPageSize(int pointsPerPage);
  int pageSize() const { return static_cast<int>(pager_.pageSize()); }
  const ChartPager& pager() const { return pager_; }
  // Sets the page size so that one page holds the whole run of points.
  void showWholeRun();
  // Shows page `page`, clamped to the page count; the caption stays.
  void showPage(std::size_t page);
  // Points the paging counts: the readings, or the sample point while there are none.
  std::size_t pagedPointCount() const;

  // The chart as its drawing routine paints it now, at its size, without the toolbar controls.
  QImage picture();

  // The chart's place before its last enlargement: zero until then.
  QRect normalBounds() const { return normalBounds_; }
  bool isEnlarged() const;

  // Where the snapshot commands get nextRecordNo, the time and their folder, and how they report.
  void setNextRecordNoSource(std::function<std::int32_t()> nextRecordNo);
  void setClock(std::function<QDateTime()> clock);
  void setSnapshotFolder(const QString& folder);
  void setPrompts(Prompts prompts);
  // The widget whose top-left corner the enlarged chart is placed from: the window's visible
  // client area. The parent widget unless set.
  void setClientArea(QWidget* clientArea);

  // Command handlers of the toolbar, also reached through the window's Graph menu.
  void switchFill();
  void pageSizeTextChanged();
  void goToFirstPage();
  void goToPreviousPage();
  void goToNextPage();
  void goToLastPage();
  void clearChart();
  void restoreOrEnlarge();
  void savePageSnapshot();
  void saveWholeSnapshot();

signals:
  // The "Fill" box was switched; the window's menu mark follows it.
  void fillSwitched(bool checked);

protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  // A page is reduced to the chart's width in pixels: a new width draws it anew. The "Fixed
  // scale" box follows the right edge.
  void resizeEvent(QResizeEvent* event) override;

private:
  void buildChart();
  void buildToolbar();
  void showNavigation();
  void applyPageSize(std::size_t pointsPerPage);
  void redraw();
  void showValueAxis(const ValueAxisPlan& plan);
  void scheduleRedraw();
  void writeSnapshot(const QString& fileName);
  QWidget* clientArea() const;

  PointStore points_;
  std::unique_ptr<TableFeed> feed_;
  ChartPager pager_;
  // Readings arrive faster than a person can see: at most one redraw every 40 ms.
  QTimer redrawTimer_;
  QRect normalBounds_;
  QPointer<QWidget> clientArea_;

  std::function<std::int32_t()> nextRecordNo_;
  std::function<QDateTime()> clock_;
  QString snapshotFolder_;
  Prompts prompts_;

  QChart* chart_ = nullptr;
  QChartView* chartView_ = nullptr;
  QXYSeries* areaPoints_ = nullptr;
  QXYSeries* linePoints_ = nullptr;
  QValueAxis* bottomAxis_ = nullptr;
  // The value axis in use is in the chart; the other waits, owned by the chart object.
  QValueAxis* linearAxis_ = nullptr;
  QLogValueAxis* logAxis_ = nullptr;
  QCheckBox* fillBox_ = nullptr;
  QCheckBox* fixedScaleBox_ = nullptr;
  QLineEdit* pageSizeBox_ = nullptr;
  QToolButton* firstPageButton_ = nullptr;
  QToolButton* previousPageButton_ = nullptr;
  QToolButton* pageNumberButton_ = nullptr;
  QToolButton* nextPageButton_ = nullptr;
  QToolButton* lastPageButton_ = nullptr;
  QLabel* enlargeIcon_ = nullptr;
  QLabel* restoreIcon_ = nullptr;
};

}  // namespace qm::chart
