#pragma once

#include <QColor>
#include <QHash>
#include <QImage>
#include <QString>
#include <QWidget>
#include <memory>
#include <vector>

class ChartCursor;
class ChartDialogs;
class ChartLegendItem;
class ChartTrace;
class QAction;
class QCPTextElement;
class QCustomPlot;
class QPrinter;
class QToolBar;

// The toolbar's commands of the review plot.
enum class ReviewCommand { ZoomIn, ZoomOut, FitAll, Cursor, Copy, SaveImage, Print };

// A plot for looking back at recordings: any number of curves, each with its
// own name and colour, against one X and one Y axis, on the live chart's dark
// face. The mouse wheel zooms about the pointer and dragging pans; the
// toolbar zooms, fits, shows a data cursor (reading the first curve, the
// legend showing every curve's value at it), copies, saves PNG or PDF and
// prints. Long curves draw from their block overviews when zoomed out, as
// the live chart's traces do.
//
// The plot area takes the focus by Tab, then the toolbar's buttons; on the
// plot area the cursor keys of the live chart step the data cursor from point to point
// (Left, Right, Page Up, Page Down, Home, End) and T makes it read the next
// curve. For screen readers the widget is a chart named by its title and
// described by each curve's last point; the plot area describes the
// cursor's readings while it is shown.
class ReviewPlot : public QWidget {
  Q_OBJECT
 public:
  explicit ReviewPlot(QWidget* parent = nullptr);
  ~ReviewPlot() override;

  void SetTitle(const QString& title);
  void SetAxisTitles(const QString& x, const QString& y);
  QString AxisTitle(bool x) const;

  // Removes every curve.
  void Clear();
  // The right Y axis's title; an empty title hides the axis.
  void SetRightAxisTitle(const QString& title);
  // A new empty curve; returns its index. A curve on the right axis is
  // drawn dashed and has that axis's range to itself. Curves given the same
  // `legendEntry` share one legend entry of that title (the cycles of one
  // cell, say), so the legend stays small; without one a curve has an entry
  // of its own. A shared entry of right-axis curves, which may be of several
  // colours, has a dashed mark in the text's colour. With the data cursor
  // shown, a shared entry reads the curve the cursor reads when that is one
  // of its curves, otherwise its first curve with a value at the cursor.
  int AddCurve(const QString& name, const QColor& colour, bool rightAxis = false,
               const QString& legendEntry = {});
  // The legend's entries, top down.
  QStringList LegendTitles() const;
  // A dot at each point of the curve besides its line.
  void SetCurveMarkers(int curve, bool markers);
  // Non-finite coordinates are ignored.
  void AddPoint(int curve, double x, double y);
  // Sets both axes to take in every point held, with a small margin.
  void FitAll();

  int CurveCount() const { return int(m_curves.size()); }
  QString CurveName(int curve) const;
  QColor CurveColour(int curve) const;
  qsizetype PointCount(int curve) const;
  double AxisLower(bool x) const;
  double AxisUpper(bool x) const;

  void ZoomIn();
  void ZoomOut();
  void SetCursorVisible(bool visible);
  bool CursorVisible() const;
  // A key pressed on the plot area; false when it is not one of the
  // cursor's. A cursor key shows a hidden cursor.
  bool CursorKey(int key);
  // The curve the cursor reads, or -1 without curves.
  int CursorCurve() const { return m_cursorCurve; }
  double CursorPointerX() const;
  // What a screen reader is told: each curve's last point, and the cursor's
  // readings (empty while it is hidden).
  QString LastPoints() const;
  QString CursorReadings() const;
  void CopyImage();
  bool SaveImage(const QString& path);  // ".pdf" saves a PDF, anything else a PNG
  bool PrintTo(QPrinter& printer);
  QAction* Action(ReviewCommand command) const;
  void SetDialogs(ChartDialogs* dialogs);  // not owned; nullptr: the desktop's own

  // The plot drawn at `size` logical pixels, `scale` device pixels each.
  QImage RenderImage(QSize size, double scale = 1);
  // Draws now and returns when done (for timing and tests).
  void ReplotNow();

 private:
  struct Curve;
  void BuildLayout();
  void BuildToolbar();
  void PrepareDrawing();
  void ScheduleReplot();
  QSize PlotSize() const;
  void UpdateDescriptions();
  bool eventFilter(QObject* watched, QEvent* event) override;

  QToolBar* m_toolbar;
  QCustomPlot* m_plot;
  QCPTextElement* m_titleElement = nullptr;
  std::vector<std::unique_ptr<Curve>> m_curves;
  QHash<QString, ChartLegendItem*> m_sharedEntries;  // owned by the plot's legend
  std::unique_ptr<ChartCursor> m_cursor;
  bool m_cursorShown = false;
  int m_cursorCurve = -1;
  std::vector<QAction*> m_actions;
  std::unique_ptr<ChartDialogs> m_systemDialogs;
  ChartDialogs* m_dialogs;
};
