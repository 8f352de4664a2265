#pragma once

// The trend chart in a window as the main window holds it, for the chart's widget tests: rows for
// its table, what its series and value axis show, its messages collected, and bitmap headers.

#include "chart/trend_chart_view.h"
#include "log/reading_table.h"

#include <QAreaSeries>
#include <QChartView>
#include <QLineSeries>
#include <QTemporaryDir>
#include <QtEndian>
#include <QtTest>

#include <memory>
#include <string_view>
#include <utility>

namespace chart_test {

using qm::chart::TrendChartView;
using qm::log::RowFields;

inline RowFields reading(std::int32_t no, std::string_view value) {
  RowFields fields;
  fields.No = no;
  fields.Time = 1000 * no;
  fields.text(qm::log::TextField::Value) = value;
  return fields;
}

inline RowFields reading(std::int32_t no, std::string_view value, std::string_view unit) {
  RowFields fields = reading(no, value);
  fields.text(qm::log::TextField::Unit) = unit;
  return fields;
}

inline QAbstractAxis* valueAxisOf(const TrendChartView& chart) {
  return chart.findChild<QChartView*>()->chart()->axes(Qt::Vertical).value(0);
}

inline QList<QPointF> pointsOf(const TrendChartView& chart) {
  QList<QPointF> points;
  for (std::size_t i = 0; i < chart.points().size(); ++i) {
    points.append({static_cast<double>(chart.points().at(i).x), chart.points().at(i).digits});
  }
  return points;
}

// What the visible series draws now.
inline QList<QPointF> drawnPoints(const TrendChartView& chart) {
  for (QAbstractSeries* series : chart.findChild<QChartView*>()->chart()->series()) {
    if (series->isVisible()) {
      if (auto* area = qobject_cast<QAreaSeries*>(series)) {
        return area->upperSeries()->points();
      }
      return qobject_cast<QLineSeries*>(series)->points();
    }
  }
  return {};
}

struct BitmapHeader {
  QByteArray magic;
  quint32 fileSize = 0;
  qint32 width = 0;
  qint32 height = 0;
};

inline BitmapHeader readBitmapHeader(const QString& path) {
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    return {};
  }
  const QByteArray bytes = file.read(26);
  const auto little = [&bytes](int at) { return qFromLittleEndian<quint32>(bytes.constData() + at); };
  return {bytes.left(2), little(2), static_cast<qint32>(little(18)), static_cast<qint32>(little(22))};
}

// Sizes a shown window so that its outer frame, which the chart's enlargement reads, has `outer`.
inline void setOuterSize(QWidget& window, QSize outer) {
  window.resize(outer - (window.frameGeometry().size() - window.size()));
}

// A window around a chart, as the main window holds it, with the chart's messages collected.
class ChartFixture {
public:
  ChartFixture() : window_(std::make_unique<QWidget>()) {
    window_->resize(619, 548);
    chart_ = new TrendChartView(window_.get());
    chart_->setGeometry(18, 300, 361, 209);
    chart_->setPrompts({[this](const QString& text) { information_.append(text); },
                       [this](const QString& text) { errors_.append(text); }});
    chart_->setSnapshotFolder(folder_.path() + QLatin1Char('/'));
  }

  TrendChartView& chart() { return *chart_; }
  QWidget& window() { return *window_; }
  template <typename Widget = QWidget>
  Widget* control(const char* name) const {
    return chart_->findChild<Widget*>(QLatin1String(name));
  }
  QString folder() const { return folder_.path() + QLatin1Char('/'); }
  QStringList takeInformation() { return std::exchange(information_, {}); }
  QStringList takeErrors() { return std::exchange(errors_, {}); }

private:
  std::unique_ptr<QWidget> window_;
  TrendChartView* chart_ = nullptr;
  QTemporaryDir folder_;
  QStringList information_;
  QStringList errors_;
};

}  // namespace chart_test
