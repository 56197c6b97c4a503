#pragma once

#include <QColor>
#include <QPointF>
#include <QString>
#include <QtGlobal>
#include <vector>

#include "qcustomplot.h"

// One chart trace: its points in the order they were added, drawn as a line
// joining them in that order.
//
// QCPGraph keeps its points sorted by x (which is what lets it sample a long
// trace down to the screen's pixels), so the trace is held as a chain of runs:
// each run is one ColumnGraph of points with non-decreasing x, appended in
// order.
// A point whose x is smaller than the previous one starts a new run, and the
// line running back from the previous point to it is drawn by one QCPCurve per
// trace that holds all such connectors, separated by NaN gaps.
//
// Each run has an overview graph beside it that holds, per block of kBlock
// points, the block's lowest and highest point in x order. When more than
// kBlock points would fall on one pixel column, the overviews are drawn in
// place of the runs, so a week of points draws as fast as a few thousand.
//
// Invariants: every point lives in exactly one run; m_runStarts[i] is the
// index (in insertion order) of run i's first point; the running statistics
// cover every point held, so the y range never needs a scan.
class ChartTrace {
 public:
  // `valueAxis` is the plot's y axis unless given (the right one, say).
  ChartTrace(QCustomPlot& plot, const QColor& colour, QCPAxis* valueAxis = nullptr);
  ChartTrace(const ChartTrace&) = delete;
  ChartTrace& operator=(const ChartTrace&) = delete;

  // Non-finite coordinates are ignored: they would poison the y range.
  void Add(double x, double y);
  void Clear();

  void SetVisible(bool visible);
  // A dot at each point (for a few points, such as one a cycle).
  void SetMarkers(bool markers);
  // Solid unless set; the connectors too.
  void SetPenStyle(Qt::PenStyle style);
  QCPAxis* ValueAxis() const { return m_valueAxis; }
  // Picks runs or overviews for drawing the x range over widthPx pixels.
  void ChooseDetail(const QCPRange& xRange, int widthPx);
  bool OverviewShown() const { return m_overviewShown; }
  bool Visible() const { return m_visible; }
  QColor Colour() const { return m_colour; }
  QString Title() const { return m_title; }
  void SetTitle(const QString& title) { m_title = title; }

  qsizetype Count() const { return m_count; }
  // The i-th point in the order added; i must be in [0, Count()).
  QPointF At(qsizetype i) const;
  // Calls f(x, y) for every point in the order added.
  template <class F>
  void ForEach(F&& f) const;

  double MinY() const { return m_minY; }
  double MaxY() const { return m_maxY; }
  double MeanY() const { return m_count > 0 ? m_sumY / double(m_count) : qQNaN(); }
  // The y of the trace's line at x, interpolated between the two points that
  // enclose it in the newest run that covers x; NaN where no run covers x.
  double ValueAt(double x) const;
  // The y range by looking at every point (the slow way, kept to compare).
  void ScanYRange(double& minY, double& maxY) const;

  qsizetype RunCount() const { return qsizetype(m_runs.size()); }

 private:
  static constexpr int kBlock = 32;  // points per overview block

  void StartRun();
  void AddToOverview(double x, double y);
  void ApplyVisibility();

  QCustomPlot& m_plot;
  QCPAxis* m_valueAxis;
  Qt::PenStyle m_penStyle = Qt::SolidLine;
  QColor m_colour;
  QString m_title;
  bool m_visible = true;
  bool m_markers = false;
  bool m_overviewShown = false;
  std::vector<QCPGraph*> m_runs;       // owned by the plot
  std::vector<QCPGraph*> m_overviews;  // owned by the plot, one per run
  int m_blockFill = 0;                 // points in the last run's newest block
  QCPGraphData m_blockLow;
  QCPGraphData m_blockHigh;
  std::vector<qsizetype> m_runStarts;
  QCPCurve* m_connectors;   // owned by the plot
  double m_connectorT = 0;  // curve parameter of the next connector point
  qsizetype m_count = 0;
  double m_lastX = 0;
  double m_lastY = 0;
  double m_minY = qQNaN();  // mV
  double m_maxY = qQNaN();  // mV
  double m_sumY = 0;        // mV, for the mean
};

template <class F>
void ChartTrace::ForEach(F&& f) const {
  for (const QCPGraph* run : m_runs) {
    const QCPGraphDataContainer& data = *run->data();
    for (auto it = data.constBegin(); it != data.constEnd(); ++it) {
      f(it->key, it->value);
    }
  }
}
