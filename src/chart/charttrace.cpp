#include "charttrace.h"

#include <algorithm>
#include <cmath>

#include "columngraph.h"

ChartTrace::ChartTrace(QCustomPlot& plot, const QColor& colour, QCPAxis* valueAxis)
    : m_plot(plot),
      m_valueAxis(valueAxis != nullptr ? valueAxis : plot.yAxis),
      m_colour(colour),
      m_connectors(new QCPCurve(plot.xAxis, m_valueAxis)) {
  m_connectors->setPen(QPen(m_colour, 1));
  m_connectors->setSelectable(QCP::stNone);
  m_connectors->setScatterStyle(QCPScatterStyle(QCPScatterStyle::ssNone));
}

void ChartTrace::SetMarkers(bool markers) {
  m_markers = markers;
  for (QCPGraph* run : m_runs) {
    run->setScatterStyle(
        QCPScatterStyle(markers ? QCPScatterStyle::ssDisc : QCPScatterStyle::ssNone, 5));
  }
}

void ChartTrace::SetPenStyle(Qt::PenStyle style) {
  m_penStyle = style;
  m_connectors->setPen(QPen(m_colour, 1, style));
  for (auto* graphs : {&m_runs, &m_overviews}) {
    for (QCPGraph* graph : *graphs) {
      graph->setPen(QPen(m_colour, 1, style));
    }
  }
}

void ChartTrace::StartRun() {
  for (auto* graphs : {&m_runs, &m_overviews}) {
    QCPGraph* graph = new ColumnGraph(m_plot.xAxis, m_valueAxis);
    graph->setPen(QPen(m_colour, 1, m_penStyle));
    graph->setLineStyle(QCPGraph::lsLine);
    graph->setScatterStyle(QCPScatterStyle(
        m_markers && graphs == &m_runs ? QCPScatterStyle::ssDisc : QCPScatterStyle::ssNone, 5));
    graph->setAdaptiveSampling(true);
    graph->setSelectable(QCP::stNone);
    graphs->push_back(graph);
  }
  m_runs.back()->setVisible(m_visible && !m_overviewShown);
  m_overviews.back()->setVisible(m_visible && m_overviewShown);
  m_runStarts.push_back(m_count);
  m_blockFill = 0;
}

void ChartTrace::AddToOverview(double x, double y) {
  QCPGraphDataContainer& data = *m_overviews.back()->data();
  const QCPGraphData point(x, y);
  if (m_blockFill == 0 || m_blockFill == kBlock) {
    data.add(point);
    data.add(point);
    m_blockLow = point;
    m_blockHigh = point;
    m_blockFill = 1;
    return;
  }
  ++m_blockFill;
  if (y < m_blockLow.value) {
    m_blockLow = point;
  } else if (y > m_blockHigh.value) {
    m_blockHigh = point;
  }
  // The block's two points are the last two of the container; rewriting
  // them in x order keeps it sorted, as the run's x never decreases.
  const bool lowFirst = m_blockLow.key <= m_blockHigh.key;
  auto last = data.end() - 2;
  last[0] = lowFirst ? m_blockLow : m_blockHigh;
  last[1] = lowFirst ? m_blockHigh : m_blockLow;
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
  AddToOverview(x, y);
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
  for (auto* graphs : {&m_runs, &m_overviews}) {
    for (QCPGraph* graph : *graphs) {
      m_plot.removeGraph(graph);
    }
    graphs->clear();
  }
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
  ApplyVisibility();
}

void ChartTrace::ApplyVisibility() {
  for (QCPGraph* run : m_runs) {
    run->setVisible(m_visible && !m_overviewShown);
  }
  for (QCPGraph* overview : m_overviews) {
    overview->setVisible(m_visible && m_overviewShown);
  }
  m_connectors->setVisible(m_visible);
}

void ChartTrace::ChooseDetail(const QCPRange& xRange, int widthPx) {
  qsizetype inView = 0;
  for (const QCPGraph* run : m_runs) {
    const QCPGraphDataContainer& data = *run->data();
    inView += data.findEnd(xRange.upper) - data.findBegin(xRange.lower);
  }
  const bool overview = inView > qsizetype(kBlock) * std::max(1, widthPx);
  if (overview != m_overviewShown) {
    m_overviewShown = overview;
    ApplyVisibility();
  }
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
