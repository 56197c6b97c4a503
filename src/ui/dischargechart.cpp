#include "dischargechart.h"

DischargeChart::DischargeChart(QWidget* parent) : QWidget(parent) {
  setAutoFillBackground(true);
  QPalette p = palette();
  p.setColor(QPalette::Window, Qt::black);
  setPalette(p);
}

void DischargeChart::SetTitle(const QString& title) { m_title = title; }
void DischargeChart::SetAxisMin(ChartAxis axis, double min) { m_axes[Index(axis)].min = min; }
void DischargeChart::SetAxisSpan(ChartAxis axis, double span) { m_axes[Index(axis)].span = span; }
void DischargeChart::SetAxisTitle(ChartAxis axis, const QString& title) {
  m_axes[Index(axis)].title = title;
}
void DischargeChart::SetAxisTitleFontName(ChartAxis axis, const QString& family) {
  m_axes[Index(axis)].titleFont.setFamily(family);
}
void DischargeChart::SetAxisTitleFontSize(ChartAxis axis, int points) {
  m_axes[Index(axis)].titleFont.setPointSize(points);
}
void DischargeChart::SetTraceTitle(int trace, const QString& title) { m_traces[trace].title = title; }
void DischargeChart::AddPoint(int trace, double x, double y) {
  m_traces[trace].points.emplace_back(x, y);
}
void DischargeChart::SetTraceVisible(int trace, bool visible) { m_traces[trace].visible = visible; }
void DischargeChart::ClearChart() {
  for (Trace& t : m_traces) {
    t.points.clear();
  }
  m_traces[0].title = QStringLiteral("通道1");
  m_traces[1].title = QStringLiteral("通道2");
}
