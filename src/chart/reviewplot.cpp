#include "reviewplot.h"

#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLocale>
#include <QMouseEvent>
#include <QPrinter>
#include <QToolBar>
#include <algorithm>
#include <cmath>

#include "chartaccessibility.h"
#include "chartcursor.h"
#include "chartlegenditem.h"
#include "chartlook.h"
#include "chartsystemdialogs.h"
#include "charttrace.h"
#include "plotoutput.h"
#include "qcustomplot.h"
#include "songfont.h"

namespace {
constexpr double kZoomFactor = 2;
constexpr double kFitMargin = 0.03;  // of the data's extent, each side

QCPRange Padded(double lo, double hi) {
  if (!(hi > lo)) {
    const double half = std::max(1.0, std::abs(lo) * 0.05);
    return {lo - half, hi + half};
  }
  const double pad = (hi - lo) * kFitMargin;
  return {lo - pad, hi + pad};
}
}  // namespace

struct ReviewPlot::Curve {
  std::unique_ptr<ChartTrace> trace;
  ChartLegendItem* legend = nullptr;  // owned by the plot's legend
  bool right = false;                 // on the right Y axis
  double minX = qQNaN();
  double maxX = qQNaN();
};

ReviewPlot::ReviewPlot(QWidget* parent)
    : QWidget(parent),
      m_toolbar(new QToolBar(this)),
      m_plot(new QCustomPlot(this)),
      m_systemDialogs(std::make_unique<ChartSystemDialogs>()),
      m_dialogs(m_systemDialogs.get()) {
  StackToolbarOverPlot(*this, *m_toolbar, *m_plot);
  BuildLayout();
  BuildToolbar();

  // Dragging a cursor pointer moves the pointer, not the view.
  connect(m_plot, &QCustomPlot::mousePress, this, [this](QMouseEvent* event) {
    if (m_cursor && event->button() == Qt::LeftButton && m_cursor->Press(event->position())) {
      m_plot->setInteraction(QCP::iRangeDrag, false);
      ScheduleReplot();
    }
  });
  connect(m_plot, &QCustomPlot::mouseMove, this, [this](QMouseEvent* event) {
    if (m_cursor && m_cursor->Move(event->position())) {
      ScheduleReplot();
    }
  });
  connect(m_plot, &QCustomPlot::mouseRelease, this, [this](QMouseEvent*) {
    if (m_cursor) {
      m_cursor->Release();
    }
    m_plot->setInteraction(QCP::iRangeDrag, true);
  });
  connect(m_plot, &QCustomPlot::beforeReplot, this, &ReviewPlot::PrepareDrawing);

  InstallChartAccessibility();
  m_plot->setAccessibleName(tr("曲线区"));
  m_plot->setFocusPolicy(Qt::StrongFocus);
  m_plot->installEventFilter(this);
  // The plot area first, then the buttons, as on the live chart.
  QWidget* previous = m_plot;
  for (QAction* action : m_toolbar->actions()) {
    QWidget* button = m_toolbar->widgetForAction(action);
    button->setFocusPolicy(Qt::TabFocus);
    setTabOrder(previous, button);
    previous = button;
  }
  UpdateDescriptions();
}

ReviewPlot::~ReviewPlot() = default;

void ReviewPlot::BuildLayout() {
  m_plot->setBackground(QBrush(kChartBackground));
  m_plot->setInteractions(QCP::iRangeDrag | QCP::iRangeZoom);
  m_plot->axisRect()->setRangeDrag(Qt::Horizontal | Qt::Vertical);
  m_plot->axisRect()->setRangeZoom(Qt::Horizontal | Qt::Vertical);
  // Both Y axes follow the wheel and the drag.
  const QList<QCPAxis*> horizontal{m_plot->xAxis};
  const QList<QCPAxis*> vertical{m_plot->yAxis, m_plot->yAxis2};
  m_plot->axisRect()->setRangeDragAxes(horizontal, vertical);
  m_plot->axisRect()->setRangeZoomAxes(horizontal, vertical);
  m_plot->setAutoAddPlottableToLegend(false);
  m_plot->setPlottingHint(QCP::phCacheLabels, true);
  if (QCPLayer* overlay = m_plot->layer(QStringLiteral("overlay"))) {
    overlay->setMode(QCPLayer::lmLogical);
  }
  m_plot->setAttribute(Qt::WA_OpaquePaintEvent);

  for (QCPAxis* axis : {m_plot->xAxis, m_plot->yAxis, m_plot->yAxis2}) {
    StyleChartAxis(*axis, SongFont(11, true));
  }
  m_plot->yAxis2->setVisible(false);

  m_titleElement = new QCPTextElement(m_plot, QString(), SongFont(12, true));
  m_titleElement->setTextColor(kChartText);
  m_plot->plotLayout()->insertRow(0);
  m_plot->plotLayout()->addElement(0, 0, m_titleElement);

  QCPLegend* legend = m_plot->legend;
  StyleChartLegend(*legend);
  legend->setBrush(QColor(0, 0, 0, 200));
  m_plot->axisRect()->insetLayout()->setInsetAlignment(0, Qt::AlignTop | Qt::AlignRight);
}

void ReviewPlot::BuildToolbar() {
  StyleChartToolbar(*m_toolbar);
  const struct {
    ReviewCommand command;
    QString text;
    QString tip;
  } entries[] = {
      {ReviewCommand::ZoomIn, tr("放大"), tr("两轴跨度减半")},
      {ReviewCommand::ZoomOut, tr("缩小"), tr("两轴跨度加倍")},
      {ReviewCommand::FitAll, tr("全部显示"), tr("显示全部数据")},
      {ReviewCommand::Cursor, tr("游标"), tr("显示或隐藏数据游标")},
      {ReviewCommand::Copy, tr("复制"), tr("把图像复制到剪贴板")},
      {ReviewCommand::SaveImage, tr("保存图片"), tr("保存为 PNG 或 PDF")},
      {ReviewCommand::Print, tr("打印"), tr("打印图表")},
  };
  m_actions.resize(std::size(entries));
  for (const auto& e : entries) {
    QAction* action = m_toolbar->addAction(e.text);
    action->setToolTip(e.tip);
    m_actions[size_t(e.command)] = action;
  }
  Action(ReviewCommand::Cursor)->setCheckable(true);
  // Only the buttons take the focus (set with the plot area's, above).
  m_toolbar->setFocusPolicy(Qt::NoFocus);
  for (QWidget* w : m_toolbar->findChildren<QWidget*>()) {
    w->setFocusPolicy(Qt::NoFocus);
  }
  connect(Action(ReviewCommand::ZoomIn), &QAction::triggered, this, &ReviewPlot::ZoomIn);
  connect(Action(ReviewCommand::ZoomOut), &QAction::triggered, this, &ReviewPlot::ZoomOut);
  connect(Action(ReviewCommand::FitAll), &QAction::triggered, this, &ReviewPlot::FitAll);
  connect(Action(ReviewCommand::Cursor), &QAction::toggled, this, &ReviewPlot::SetCursorVisible);
  connect(Action(ReviewCommand::Copy), &QAction::triggered, this, &ReviewPlot::CopyImage);
  connect(Action(ReviewCommand::SaveImage), &QAction::triggered, this, [this] {
    const QString path = m_dialogs->ImageFileToSave(this);
    if (!path.isEmpty() && !SaveImage(path)) {
      m_dialogs->ShowError(this, tr("无法把图像保存到 %1。").arg(QDir::toNativeSeparators(path)));
    }
  });
  connect(Action(ReviewCommand::Print), &QAction::triggered, this, [this] {
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageOrientation(QPageLayout::Landscape);
    if (m_dialogs->SetUpPrinter(this, printer) && !PrintTo(printer)) {
      m_dialogs->ShowError(this, tr("无法打印图表。"));
    }
  });
}

QAction* ReviewPlot::Action(ReviewCommand command) const {
  return m_actions[size_t(command)];
}

void ReviewPlot::SetDialogs(ChartDialogs* dialogs) {
  m_dialogs = dialogs != nullptr ? dialogs : m_systemDialogs.get();
}

void ReviewPlot::SetTitle(const QString& title) {
  m_titleElement->setText(title);
  setAccessibleName(title);
  ScheduleReplot();
}

void ReviewPlot::SetAxisTitles(const QString& x, const QString& y) {
  m_plot->xAxis->setLabel(x);
  m_plot->yAxis->setLabel(y);
  ScheduleReplot();
}

QString ReviewPlot::AxisTitle(bool x) const {
  return (x ? m_plot->xAxis : m_plot->yAxis)->label();
}

void ReviewPlot::Clear() {
  // The cursor's items and the traces' graphs belong to the plot; neither
  // object removes them itself.
  m_cursor.reset();
  m_cursorCurve = -1;
  m_curves.clear();
  m_plot->clearItems();
  m_plot->clearPlottables();
  m_plot->legend->clearItems();
  m_sharedEntries.clear();
  ScheduleReplot();
}

void ReviewPlot::SetRightAxisTitle(const QString& title) {
  m_plot->yAxis2->setLabel(title);
  m_plot->yAxis2->setVisible(!title.isEmpty());
  ScheduleReplot();
}

int ReviewPlot::AddCurve(const QString& name, const QColor& colour, bool rightAxis,
                         const QString& legendEntry) {
  auto curve = std::make_unique<Curve>();
  curve->right = rightAxis;
  curve->trace =
      std::make_unique<ChartTrace>(*m_plot, colour, rightAxis ? m_plot->yAxis2 : m_plot->yAxis);
  if (rightAxis) {
    curve->trace->SetPenStyle(Qt::DashLine);
  }
  curve->trace->SetTitle(name);
  curve->legend = legendEntry.isEmpty() ? nullptr : m_sharedEntries.value(legendEntry);
  if (!curve->legend) {
    curve->legend = new ChartLegendItem(m_plot->legend);
    curve->legend->SetCaptionFont(ChartSmallFont(true));
    const bool sharedRight = rightAxis && !legendEntry.isEmpty();
    curve->legend->SetColour(sharedRight ? kChartText : colour);
    curve->legend->SetDashed(rightAxis);
    curve->legend->SetTitle(legendEntry.isEmpty() ? name : legendEntry);
    m_plot->legend->addItem(curve->legend);
    if (!legendEntry.isEmpty()) {
      m_sharedEntries.insert(legendEntry, curve->legend);
    }
    if (!rightAxis) {
      // Shared right-axis entries (the temperature's) stay at the bottom.
      for (ChartLegendItem* shared : std::as_const(m_sharedEntries)) {
        if (shared != curve->legend && shared->Dashed()) {
          m_plot->legend->take(shared);
          m_plot->legend->simplify();
          m_plot->legend->addItem(shared);
        }
      }
    }
  }
  m_curves.push_back(std::move(curve));
  if (!m_cursor) {
    m_cursor = std::make_unique<ChartCursor>(*m_plot, *m_curves.front()->trace);
    m_cursor->SetVisible(m_cursorShown);
    m_cursorCurve = 0;
  }
  ScheduleReplot();
  return CurveCount() - 1;
}

void ReviewPlot::SetCurveMarkers(int curve, bool markers) {
  if (curve >= 0 && curve < CurveCount()) {
    m_curves[size_t(curve)]->trace->SetMarkers(markers);
    ScheduleReplot();
  }
}

void ReviewPlot::AddPoint(int curve, double x, double y) {
  if (curve < 0 || curve >= CurveCount() || !std::isfinite(x) || !std::isfinite(y)) {
    return;
  }
  Curve& c = *m_curves[size_t(curve)];
  c.trace->Add(x, y);
  if (!(x >= c.minX)) {
    c.minX = x;
  }
  if (!(x <= c.maxX)) {
    c.maxX = x;
  }
}

void ReviewPlot::FitAll() {
  double x0 = qQNaN(), x1 = qQNaN();
  double y0[2] = {qQNaN(), qQNaN()};  // left axis, right axis
  double y1[2] = {qQNaN(), qQNaN()};
  for (const auto& c : m_curves) {
    if (c->trace->Count() == 0) {
      continue;
    }
    const int a = c->right ? 1 : 0;
    x0 = std::isnan(x0) ? c->minX : std::min(x0, c->minX);
    x1 = std::isnan(x1) ? c->maxX : std::max(x1, c->maxX);
    y0[a] = std::isnan(y0[a]) ? c->trace->MinY() : std::min(y0[a], c->trace->MinY());
    y1[a] = std::isnan(y1[a]) ? c->trace->MaxY() : std::max(y1[a], c->trace->MaxY());
  }
  if (!std::isnan(x0)) {
    m_plot->xAxis->setRange(Padded(x0, x1));
  }
  if (!std::isnan(y0[0])) {
    m_plot->yAxis->setRange(Padded(y0[0], y1[0]));
  }
  if (!std::isnan(y0[1])) {
    m_plot->yAxis2->setRange(Padded(y0[1], y1[1]));
  }
  ScheduleReplot();
}

QString ReviewPlot::CurveName(int curve) const {
  return m_curves[size_t(curve)]->trace->Title();
}
QColor ReviewPlot::CurveColour(int curve) const {
  return m_curves[size_t(curve)]->trace->Colour();
}
qsizetype ReviewPlot::PointCount(int curve) const {
  return m_curves[size_t(curve)]->trace->Count();
}
double ReviewPlot::AxisLower(bool x) const {
  return (x ? m_plot->xAxis : m_plot->yAxis)->range().lower;
}
double ReviewPlot::AxisUpper(bool x) const {
  return (x ? m_plot->xAxis : m_plot->yAxis)->range().upper;
}

void ReviewPlot::ZoomIn() {
  ScalePlotAxes(*m_plot, 1 / kZoomFactor);
  m_plot->yAxis2->scaleRange(1 / kZoomFactor);
  ScheduleReplot();
}

void ReviewPlot::ZoomOut() {
  ScalePlotAxes(*m_plot, kZoomFactor);
  m_plot->yAxis2->scaleRange(kZoomFactor);
  ScheduleReplot();
}

void ReviewPlot::SetCursorVisible(bool visible) {
  m_cursorShown = visible;
  if (m_cursor) {
    m_cursor->SetVisible(visible);
  }
  QAction* action = Action(ReviewCommand::Cursor);
  if (action->isChecked() != visible) {
    action->setChecked(visible);
  }
  ScheduleReplot();
}

bool ReviewPlot::CursorVisible() const {
  return m_cursorShown;
}

double ReviewPlot::CursorPointerX() const {
  return m_cursor ? m_cursor->PointerX(0) : qQNaN();
}

bool ReviewPlot::CursorKey(int key) {
  const bool step = ChartCursor::IsStepKey(key);
  if ((!step && key != Qt::Key_T) || !m_cursor) {
    return false;
  }
  if (!m_cursorShown) {
    SetCursorVisible(true);
  }
  if (key == Qt::Key_T) {
    m_cursorCurve = (m_cursorCurve + 1) % CurveCount();
    m_cursor->SetBound(*m_curves[size_t(m_cursorCurve)]->trace);
  } else {
    m_cursor->StepByKey(key);
  }
  ScheduleReplot();
  UpdateDescriptions();
  return true;
}

bool ReviewPlot::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_plot) {
    if (const std::optional<int> key = ChartCursor::PlainKey(event)) {
      return CursorKey(*key);
    }
  }
  return QWidget::eventFilter(watched, event);
}

namespace {
QString Number(double v) {
  return QString::number(v, 'g', QLocale::FloatingPointShortest);
}
}  // namespace

QString ReviewPlot::LastPoints() const {
  QStringList parts;
  for (const auto& c : m_curves) {
    const qsizetype count = c->trace->Count();
    if (count > 0) {
      const QPointF last = c->trace->At(count - 1);
      parts << tr("%1：%2 %3，%4 %5")
                   .arg(c->trace->Title(), m_plot->xAxis->label(), Number(last.x()),
                        m_plot->yAxis->label(), Number(last.y()));
    }
  }
  return parts.isEmpty() ? tr("暂无数据") : parts.join(tr("；"));
}

QString ReviewPlot::CursorReadings() const {
  if (!m_cursorShown || !m_cursor) {
    return {};
  }
  const Curve& bound = *m_curves[size_t(m_cursorCurve)];
  QStringList parts{bound.trace->Title() + u' ' +
                    m_cursor->HintText().replace(QLatin1Char('\n'), QStringLiteral(", "))};
  const double x = m_cursor->PointerX(0);
  for (const auto& c : m_curves) {
    if (c.get() != &bound) {
      const double y = c->trace->ValueAt(x);
      parts << tr("%1 Y: %2")
                   .arg(c->trace->Title(),
                        std::isfinite(y) ? QString::number(y, 'f', 3) : QStringLiteral("-"));
    }
  }
  return parts.join(tr("；"));
}

void ReviewPlot::UpdateDescriptions() {
  // Told to accessibility tools only when the text changes.
  setAccessibleDescription(LastPoints());
  m_plot->setAccessibleDescription(CursorReadings());
}

void ReviewPlot::PrepareDrawing() {
  const QCPRange xRange = m_plot->xAxis->range();
  const int widthPx = m_plot->axisRect()->width() > 0 ? m_plot->axisRect()->width() : width();
  const double x1 = m_cursor ? m_cursor->PointerX(0) : qQNaN();
  // The curve whose values each legend entry shows: the one the cursor
  // reads, else the entry's first with a value at the cursor, else its first.
  QHash<ChartLegendItem*, const Curve*> reader;
  if (m_cursorCurve >= 0 && m_cursorCurve < CurveCount()) {
    reader.insert(m_curves[size_t(m_cursorCurve)]->legend, m_curves[size_t(m_cursorCurve)].get());
  }
  for (const auto& c : m_curves) {
    c->trace->ChooseDetail(xRange, widthPx);
    if (!reader.contains(c->legend) && std::isfinite(c->trace->ValueAt(x1))) {
      reader.insert(c->legend, c.get());
    }
  }
  for (const auto& c : m_curves) {
    if (!reader.contains(c->legend)) {
      reader.insert(c->legend, c.get());
    }
  }
  for (auto it = reader.cbegin(); it != reader.cend(); ++it) {
    const ChartTrace& trace = *it.value()->trace;
    it.key()->SetValues(m_cursorShown,
                        {x1, trace.ValueAt(x1), trace.MaxY(), trace.MinY(), trace.MeanY()});
  }
  if (m_cursor) {
    m_cursor->Update();
  }
  UpdateDescriptions();
}

QSize ReviewPlot::PlotSize() const {
  return {std::max(1, width()), std::max(1, height() - m_toolbar->sizeHint().height())};
}

QImage ReviewPlot::RenderImage(QSize size, double scale) {
  PrepareDrawing();
  return m_plot->toPixmap(size.width(), size.height(), scale).toImage();
}

void ReviewPlot::CopyImage() {
  QGuiApplication::clipboard()->setImage(RenderImage(PlotSize()));
}

bool ReviewPlot::SaveImage(const QString& path) {
  PrepareDrawing();
  return SavePlotImage(*m_plot, path, PlotSize());
}

bool ReviewPlot::PrintTo(QPrinter& printer) {
  PrepareDrawing();
  return PrintPlot(*m_plot, printer, PlotSize());
}

void ReviewPlot::ScheduleReplot() {
  m_plot->replot(QCustomPlot::rpQueuedReplot);
}

void ReviewPlot::ReplotNow() {
  m_plot->replot(QCustomPlot::rpImmediateRefresh);
}

QStringList ReviewPlot::LegendTitles() const {
  QStringList titles;
  for (int i = 0; i < m_plot->legend->itemCount(); ++i) {
    if (const auto* entry = qobject_cast<ChartLegendItem*>(m_plot->legend->item(i))) {
      titles << entry->Title();
    }
  }
  return titles;
}
