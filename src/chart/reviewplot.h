#pragma once

#include <QColor>
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
  // A new empty curve; returns its index.
  int AddCurve(const QString& name, const QColor& colour);
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

  QToolBar* m_toolbar;
  QCustomPlot* m_plot;
  QCPTextElement* m_titleElement = nullptr;
  std::vector<std::unique_ptr<Curve>> m_curves;
  std::unique_ptr<ChartCursor> m_cursor;
  bool m_cursorShown = false;
  std::vector<QAction*> m_actions;
  std::unique_ptr<ChartDialogs> m_systemDialogs;
  ChartDialogs* m_dialogs;
};
