#pragma once

#include <QPointF>
#include <QString>
#include <array>
#include <optional>

#include "chartcursormode.h"
#include "qcustomplot.h"

class ChartTrace;

// The data cursor: two vertical pointers over the plot area, drawn in the
// colour of the trace it reads, and a hint below and right of pointer 1 with
// the reading of the current mode, kept inside the plot area. Pointers are kept as fractions of the
// plot width, so they stay put on screen while the X axis scrolls underneath. Pointer 2 is drawn
// only in the modes that compare the two pointers.
//
// From the keyboard pointer 1 steps from point to point of the trace it
// reads, in the order the points were added: Left and Right by one, Page Up
// and Page Down by ten, Home and End to the first and the last. A point out
// of view brings the X range along, by the least that shows it.
class ChartCursor {
 public:
  static constexpr double kStartFraction1 = 0.5;
  static constexpr double kStartFraction2 = 0.6;

  ChartCursor(QCustomPlot& plot, const ChartTrace& bound);
  ChartCursor(const ChartCursor&) = delete;
  ChartCursor& operator=(const ChartCursor&) = delete;

  void SetVisible(bool visible) { m_visible = visible; }
  bool Visible() const { return m_visible; }
  void SetMode(ChartCursorMode mode) { m_mode = mode; }
  ChartCursorMode Mode() const { return m_mode; }
  // The trace read from now on; its colour is the cursor's.
  void SetBound(const ChartTrace& trace);
  const ChartTrace& Bound() const { return *m_bound; }
  // pointer is 0 or 1; the fraction is clamped to [0, 1].
  void SetPointerFraction(int pointer, double fraction);
  // Moves pointer 1 for a cursor key (see above); false for other keys and
  // when the trace has no points.
  bool StepByKey(int key);
  // The keys StepByKey takes.
  static bool IsStepKey(int key);
  // The key of a key press with no modifier but the keypad's, or none.
  static std::optional<int> PlainKey(const QEvent* event);
  // The index of the point pointer 1 stands on after a key, or -1 once it
  // was placed otherwise.
  qsizetype PointIndex() const { return m_pointIndex; }
  double PointerFraction(int pointer) const { return m_fractions[size_t(pointer)]; }
  double PointerX(int pointer) const;
  bool ComparesPointers() const;

  // The current mode's reading (NaN where the trace has no value there, or a
  // frequency over a zero period), and the hint's text for it.
  double Reading() const;
  QString HintText() const;

  // Brings the items in line with the state; called before each replot.
  void Update();
  // Where the hint was last placed, in the plot's pixels.
  QRectF HintRect() const { return m_hintRect; }

  // Dragging a pointer with the mouse; each returns whether it took the event.
  bool Press(const QPointF& pos);
  bool Move(const QPointF& pos);
  void Release() { m_dragged = -1; }

 private:
  static constexpr double kGrabDistance = 5;  // px either side of a pointer
  static constexpr double kHintOffset = 10;   // px right of and below pointer 1
  static constexpr qsizetype kPageStep = 10;  // points a Page Up or Page Down

  void PlaceHint();

  // The point nearest to pointer 1, by x.
  qsizetype NearestPoint() const;

  QCustomPlot& m_plot;
  const ChartTrace* m_bound;
  qsizetype m_pointIndex = -1;
  bool m_visible = false;
  ChartCursorMode m_mode = ChartCursorMode::ValueXY;
  std::array<double, 2> m_fractions = {kStartFraction1, kStartFraction2};
  int m_dragged = -1;
  std::array<QCPItemStraightLine*, 2> m_lines{};  // owned by the plot
  QCPItemTracer* m_tracer;                        // owned by the plot
  QCPItemText* m_hint;                            // owned by the plot
  QRectF m_hintRect;                              // px, within the plot area
};
