#pragma once

#include <QFont>
#include <QPointF>
#include <QWidget>
#include <array>
#include <vector>

#include "acquisitionseams.h"

enum class ChartAxis { X, Y };

// The live chart: voltage over each channel's own time, trace 0 for channel 1
// and trace 1 for channel 2. Points keep the order they were added in.
class DischargeChart : public QWidget, public ChartSink {
  Q_OBJECT
 public:
  explicit DischargeChart(QWidget* parent = nullptr);

  // Start-up settings.
  void SetTitle(const QString& title);
  void SetAxisMin(ChartAxis axis, double min);
  void SetAxisSpan(ChartAxis axis, double span);
  void SetAxisTitle(ChartAxis axis, const QString& title);
  void SetAxisTitleFontName(ChartAxis axis, const QString& family);
  void SetAxisTitleFontSize(ChartAxis axis, int points);
  void SetTraceTitle(int trace, const QString& title);

  void AddPoint(int trace, double x, double y) override;
  void SetTraceVisible(int trace, bool visible);
  void ClearChart();

  QString Title() const { return m_title; }
  double AxisMin(ChartAxis axis) const { return m_axes[Index(axis)].min; }
  double AxisSpan(ChartAxis axis) const { return m_axes[Index(axis)].span; }
  QString AxisTitle(ChartAxis axis) const { return m_axes[Index(axis)].title; }
  QFont AxisTitleFont(ChartAxis axis) const { return m_axes[Index(axis)].titleFont; }
  QString TraceTitle(int trace) const { return m_traces[trace].title; }
  bool TraceVisible(int trace) const { return m_traces[trace].visible; }
  qsizetype PointCount(int trace) const { return qsizetype(m_traces[trace].points.size()); }
  QPointF Point(int trace, qsizetype i) const { return m_traces[trace].points[size_t(i)]; }

 private:
  struct Axis {
    double min = 0;
    double span = 100;
    QString title;
    QFont titleFont;
  };
  struct Trace {
    QString title;
    bool visible = true;
    std::vector<QPointF> points;
  };
  static size_t Index(ChartAxis axis) { return axis == ChartAxis::X ? 0 : 1; }

  QString m_title;
  std::array<Axis, 2> m_axes;
  std::array<Trace, 2> m_traces;
};
