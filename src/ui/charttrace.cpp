#include "charttrace.h"

#include <algorithm>
#include <cmath>

ChartTrace::ChartTrace(QCustomPlot& plot, const QColor& colour)
    : m_plot(plot), m_colour(colour), m_connectors(new QCPCurve(plot.xAxis, plot.yAxis)) {
  m_connectors->setPen(QPen(m_colour, 1));
  m_connectors->setSelectable(QCP::stNone);
  m_connectors->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
}

void ChartTrace::StartRun() {
  QCPGraph* run = m_plot.addGraph(m_plot.xAxis, m_plot.yAxis);
  run->setPen(QPen(m_colour, 1));
  run->setLineStyle(QCPGraph::lsLine);
  run->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
  run->setAdaptiveSampling(true);
  run->setSelectable(QCP::stNone);
  run->setVisible(m_visible);
  m_runs.push_back(run);
  m_runStarts.push_back(m_count);
}

void ChartTrace::Add(double x, double y) {
  if (!std::isfinite(x) || !std::isfinite(y)) {
    return;
  }
  if (m_runs.empty()) {
    StartRun();
  } else if (x < m_lastX) {
    m_connectors->addData(m_connectorT, m_lastX, m_lastY);
    m_connectors->addData(m_connectorT + 1, x, y);
    m_connectors->addData(m_connectorT + 2, qQNaN(), qQNaN());
    m_connectorT += 3;
    StartRun();
  }
  // x is not below the run's last key, so the container appends in order,
  // equal keys included.
  m_runs.back()->addData(x, y);
  if (m_count == 0) {
    m_minY = y;
    m_maxY = y;
  } else {
    m_minY = std::min(m_minY, y);
    m_maxY = std::max(m_maxY, y);
  }
  m_sumY += y;
  ++m_count;
  m_lastX = x;
  m_lastY = y;
}

void ChartTrace::Clear() {
  for (QCPGraph* run : m_runs) {
    m_plot.removeGraph(run);
  }
  m_runs.clear();
  m_runStarts.clear();
  m_connectors->data()->clear();
  m_connectorT = 0;
  m_count = 0;
  m_minY = qQNaN();
  m_maxY = qQNaN();
  m_sumY = 0;
}

void ChartTrace::SetVisible(bool visible) {
  m_visible = visible;
  for (QCPGraph* run : m_runs) {
    run->setVisible(visible);
  }
  m_connectors->setVisible(visible);
}

QPointF ChartTrace::At(qsizetype i) const {
  const auto next = std::upper_bound(m_runStarts.begin(), m_runStarts.end(), i);
  const size_t run = size_t(next - m_runStarts.begin()) - 1;
  const auto it = m_runs[run]->data()->at(int(i - m_runStarts[run]));
  return {it->key, it->value};
}

double ChartTrace::ValueAt(double x) const {
  for (auto r = m_runs.rbegin(); r != m_runs.rend(); ++r) {
    const QCPGraphDataContainer& data = *(*r)->data();
    if (data.isEmpty() || x < data.constBegin()->key || x > (data.constEnd() - 1)->key) {
      continue;
    }
    const auto hi = std::lower_bound(data.constBegin(), data.constEnd(), x,
                                     [](const QCPGraphData& d, double key) { return d.key < key; });
    if (hi->key == x || hi == data.constBegin()) {
      return hi->value;
    }
    const auto lo = hi - 1;
    return lo->value + (hi->value - lo->value) * (x - lo->key) / (hi->key - lo->key);
  }
  return qQNaN();
}

void ChartTrace::ScanYRange(double& minY, double& maxY) const {
  ForEach([&](double, double y) {
    if (!(y >= minY)) {
      minY = y;
    }
    if (!(y <= maxY)) {
      maxY = y;
    }
  });
}
