#pragma once

#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QWidget>
#include <array>
#include <memory>

#include "acquisitionseams.h"
#include "chartcursormode.h"

class ChartAccessibility;
class ChartCursor;
class ChartDialogs;
class ChartLegendItem;
class ChartPlot;
class ChartTrace;
class QAction;
class QCPTextElement;
class QCustomPlot;
class QMenu;
class QPrinter;
class QToolBar;

enum class ChartAxis { X, Y };

// The toolbar's commands.
enum class ChartCommand {
  ZoomIn,
  ZoomOut,
  FitAll,
  PauseTracking,
  Cursor,
  Copy,
  SaveImage,
  SaveCsv,
  Print
};

// The live chart: voltage over each channel's own time, trace 0 for channel 1
// and trace 1 for channel 2, on one X and one Y axis, with a toolbar along the
// top, the legend to the right of the plot area and a data cursor.
//
// Points keep the order they were added in; a point whose x is below the
// previous one is joined to it by a line running back. Tracking on each new
// point: X, when the point lies outside it on either side, keeps its span and
// moves so the newest point stands at the right end (or, where the other
// trace's newest point lies less than a span ahead, so that both show); Y,
// when a point falls outside it, rescales to the smallest and largest y held
// plus a small margin. While no point's x is negative, the X range never
// starts below 0, whatever moved it (tracking, zooming, fitting): a channel
// restarting at 0 shows from 0 with the newest point in view. Both ends of
// the x and the y range are kept as running values, so adding a point never
// scans the data. Redraws are coalesced: at most one per event-loop turn.
//
// The plot area takes the keyboard focus, then the toolbar's buttons by Tab.
// With the plot area focused, Left and Right step the data cursor from point
// to point, Page Up and Page Down by ten points, Home and End to the first
// and the last point; T makes it read the other trace. A cursor key shows a
// hidden cursor. Screen readers hear the readings at once.
class DischargeChart : public QWidget, public ChartSink {
  Q_OBJECT
 public:
  static constexpr int kTraceCount = 2;

  explicit DischargeChart(QWidget* parent = nullptr);
  ~DischargeChart() override;

  // Start-up settings.
  void SetTitle(const QString& title);
  void SetAxisMin(ChartAxis axis, double min);
  // Spans that are not positive and finite are ignored.
  void SetAxisSpan(ChartAxis axis, double span);
  void SetAxisTitle(ChartAxis axis, const QString& title);
  // The named face first, then the installed Song faces where it is missing.
  void SetAxisTitleFontName(ChartAxis axis, const QString& family);
  void SetAxisTitleFontSize(ChartAxis axis, int points);
  void SetTraceTitle(int trace, const QString& title);

  // Traces other than 0 and 1 and non-finite coordinates are ignored.
  void AddPoint(int trace, double x, double y) override;
  void SetTraceVisible(int trace, bool visible);
  // Empties both traces and sets their titles again; both axes go back to
  // the ranges the start-up settings gave them. The traces keep their
  // colours and visibility.
  void ClearChart();

  QString Title() const;
  QFont TitleFont() const;
  QColor TitleColour() const;
  double AxisMin(ChartAxis axis) const;
  double AxisSpan(ChartAxis axis) const;
  QString AxisTitle(ChartAxis axis) const;
  QFont AxisTitleFont(ChartAxis axis) const;
  QColor AxisTitleColour(ChartAxis axis) const;
  QFont TickLabelFont(ChartAxis axis) const;
  QColor TickLabelColour(ChartAxis axis) const;
  QColor ScaleLineColour(ChartAxis axis) const;
  bool GridVisible(ChartAxis axis) const;
  QColor BackgroundColour() const;
  QString TraceTitle(int trace) const;
  QColor TraceColour(int trace) const;
  bool TraceVisible(int trace) const;
  qsizetype PointCount(int trace) const;
  QPointF Point(int trace, qsizetype i) const;
  // Number of QCPGraph runs a trace is drawn with (one per run of
  // non-decreasing x).
  qsizetype TraceRunCount(int trace) const;
  // Whether the trace was last drawn from its overview (block lows and
  // highs) because more points than fit fell on each pixel column.
  bool TraceDrawnAsOverview(int trace) const;

  // Toolbar commands, also callable directly.
  void ZoomIn();
  void ZoomOut();
  // Both axes take in every point held, with a small margin; nothing
  // changes while the chart is empty.
  void FitAll();
  // While paused the axes stay put; points keep arriving. Resuming catches
  // the axes up with the newest point and the data.
  void SetTrackingPaused(bool paused);
  bool TrackingPaused() const { return m_trackingPaused; }
  void SetCursorVisible(bool visible);
  bool CursorVisible() const;
  void SetCursorMode(ChartCursorMode mode);
  ChartCursorMode CursorMode() const;
  void SetCursorPointer(int pointer, double fractionOfWidth);
  double CursorPointerX(int pointer) const;
  // The trace the cursor reads: 0 or 1.
  int CursorTrace() const;
  // A key pressed on the plot area (see above); false when it is not one of
  // the cursor's.
  bool CursorKey(int key);
  static constexpr int kFollowOtherTraceKey = Qt::Key_T;
  double CursorReading() const;
  QString CursorHint() const;
  // Where the cursor's hint was last placed, within the plot's pixels.
  QRectF CursorHintRect() const;
  // The legend entry's value texts at the cursor: X, Y, Y-Max, Y-Min,
  // Y-Mean; empty while the cursor is hidden.
  QStringList LegendValues(int trace);
  void CopyImage();
  bool SaveImage(const QString& path);  // ".pdf" saves a PDF, anything else a PNG
  bool SaveCsv(const QString& path);
  bool PrintTo(QPrinter& printer);
  QAction* Action(ChartCommand command) const;
  QMenu* CursorMenu() const { return m_cursorMenu; }

  // The plot as drawn now, at the plot area's designed size.
  QImage RenderImage();
  // The plot area within RenderImage's picture, as last drawn.
  QRect PlotArea() const;
  // Number of redraws done so far.
  int ReplotCount() const { return m_replotCount; }
  // Replaces the file and print dialogs (not owned; nullptr restores the
  // desktop's own).
  void SetDialogs(ChartDialogs* dialogs);

  // Benchmark aid: when on, every AddPoint rescans all points of both traces
  // for the y range instead of using the running values.
  void SetNaiveYRescan(bool on) { m_naiveYRescan = on; }

 signals:
  // The toolbar's "历史记录" button: the user asks for the review window.
  void HistoryRequested();
  // The toolbar's "电池编号" button: the user wants to label the cells.
  void CellsRequested();

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void BuildLayout();
  void BuildToolbar();
  void BuildCursorMenu();
  void Track(int trace, double x);
  void FitY();
  // Moves the X range, keeping its span, so it starts at 0 or later while no
  // point's x is negative.
  void KeepXFromZero();
  // A redraw of everything, or of the traces alone when nothing else
  // changed; both coalesce into one redraw per event-loop turn.
  void ScheduleReplot();
  void ScheduleTracesReplot();
  void ReplotNow();
  // The plot area's pixel columns that the points added since the last
  // redraw change, or the whole plot area when too many were added.
  QRect ColumnsOfNewPoints() const;
  // Brings the legend, the cursor and the choice of runs or overviews in
  // line with the data and the axes, before anything is drawn.
  void PrepareDrawing();
  QSize PlotSize() const;
  ChartTrace& TraceAt(int trace) const { return *m_traces[size_t(trace)]; }
  static bool ValidTrace(int trace) { return trace >= 0 && trace < kTraceCount; }
  void OnSaveImageTriggered();
  void OnSaveCsvTriggered();
  void OnPrintTriggered();
  void OnCursorMenuRequested(const QPoint& pos);

  QToolBar* m_toolbar;
  ChartPlot* m_plot;
  QCPTextElement* m_titleElement = nullptr;
  std::array<std::unique_ptr<ChartTrace>, kTraceCount> m_traces;
  std::array<ChartLegendItem*, kTraceCount> m_legendItems{};
  std::unique_ptr<ChartCursor> m_cursor;
  std::array<QAction*, 9> m_actions{};
  QMenu* m_cursorMenu = nullptr;
  QAction* m_historyAction = nullptr;
  QAction* m_cellsAction = nullptr;
  std::unique_ptr<ChartDialogs> m_systemDialogs;
  ChartDialogs* m_dialogs;

  bool m_trackingPaused = false;
  bool m_naiveYRescan = false;
  bool m_replotQueued = false;
  bool m_plotStale = false;
  bool m_fullReplotDue = true;
  std::array<double, 2> m_drawnY{};                    // mV, the Y range's ends at the last redraw
  std::array<qsizetype, kTraceCount> m_drawnCounts{};  // points of each trace at the last redraw
  static constexpr qsizetype kMaxNewPointsTracked = 256;
  int m_replotCount = 0;
  bool m_hasNewest = false;
  double m_newestX = 0;   // s, x of the newest point of either trace
  int m_newestTrace = 0;  // the trace that point was added to
  double m_dataMinY = 0;  // mV, over all points held (valid while any)
  double m_dataMaxY = 0;  // mV
  double m_dataMinX = 0;  // s, over all points held (valid while any)
  double m_dataMaxX = 0;  // s
  // The axes' ranges as the start-up settings left them (X, then Y; lower
  // end and upper end), restored by ClearChart.
  std::array<std::array<double, 2>, 2> m_startRanges{};
  qsizetype m_pointsHeld = 0;
  ChartAccessibility* m_accessibility = nullptr;  // a child
};
