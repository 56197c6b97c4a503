#include "dischargechart.h"

#include <QActionGroup>
#include <QClipboard>
#include <QDir>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QPrinter>
#include <QSaveFile>
#include <QTextStream>
#include <QToolBar>
#include <algorithm>
#include <cmath>

#include "chartaccessibility.h"
#include "chartcursor.h"
#include "chartlegenditem.h"
#include "chartlook.h"
#include "chartplot.h"
#include "chartsystemdialogs.h"
#include "charttrace.h"
#include "plotoutput.h"
#include "qcustomplot.h"
#include "savefile.h"
#include "songfont.h"

namespace {
// Trace 0 takes the chart's first default trace colour, trace 1 is yellow.
const std::array<QColor, DischargeChart::kTraceCount> kTraceColours = {QColor(255, 0, 0),
                                                                       QColor(255, 255, 0)};
constexpr double kZoomFactor = 2;
// Share of the data's y extent added above and below it when Y rescales.
constexpr double kYMarginShare = 0.05;
// Share of the data's x extent added either side of it by "全部显示".
constexpr double kFitMarginShare = 0.02;

// Arial where installed, else a metric-compatible or plain sans face.
QFont DesignedTitleFont() {
  QFont font;
  font.setFamilies(
      {QStringLiteral("Arial"), QStringLiteral("Liberation Sans"), QStringLiteral("DejaVu Sans")});
  font.setStyleHint(QFont::SansSerif);
  font.setPointSize(14);
  font.setBold(true);
  return font;
}

QString CsvField(const QString& text) {
  if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) &&
      !text.contains(QLatin1Char('\n'))) {
    return text;
  }
  QString quoted = text;
  quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
  return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString CsvNumber(double v) {
  return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

void SetRangeKeepingSpan(QCPAxis* axis, double lower) {
  const double span = axis->range().size();
  axis->setRange(lower, lower + span);
}
}  // namespace

DischargeChart::DischargeChart(QWidget* parent)
    : QWidget(parent),
      m_toolbar(new QToolBar(this)),
      m_plot(new ChartPlot(this)),
      m_systemDialogs(std::make_unique<ChartSystemDialogs>()),
      m_dialogs(m_systemDialogs.get()) {
  StackToolbarOverPlot(*this, *m_toolbar, *m_plot);

  BuildLayout();
  for (int t = 0; t < kTraceCount; ++t) {
    auto* item = new ChartLegendItem(m_plot->legend);
    item->SetCaptionFont(ChartSmallFont(true));
    item->SetColour(kTraceColours[size_t(t)]);
    m_plot->legend->addItem(item);
    m_legendItems[size_t(t)] = item;
  }
  // The traces and the cursor on their own layer, redrawn alone for a new
  // point while the axes stay put.
  m_plot->setCurrentLayer(m_plot->TraceLayer());
  for (int t = 0; t < kTraceCount; ++t) {
    m_traces[size_t(t)] = std::make_unique<ChartTrace>(*m_plot, kTraceColours[size_t(t)]);
  }
  m_cursor = std::make_unique<ChartCursor>(*m_plot, TraceAt(0));
  BuildToolbar();
  BuildCursorMenu();
  m_historyAction = m_toolbar->addAction(tr("历史记录"));
  connect(m_historyAction, &QAction::triggered, this, &DischargeChart::HistoryRequested);
  m_cellsAction = m_toolbar->addAction(tr("电池编号"));
  m_cellsAction->setToolTip(tr("输入或扫码两个通道上电池的编号，记录会带上它们"));
  connect(m_cellsAction, &QAction::triggered, this, &DischargeChart::CellsRequested);

  connect(m_plot, &QCustomPlot::mousePress, this, [this](QMouseEvent* event) {
    if (event->button() == Qt::LeftButton && m_cursor->Press(event->position())) {
      ScheduleReplot();
    }
  });
  connect(m_plot, &QCustomPlot::mouseMove, this, [this](QMouseEvent* event) {
    if (m_cursor->Move(event->position())) {
      ScheduleReplot();
    }
  });
  connect(m_plot, &QCustomPlot::mouseRelease, this, [this](QMouseEvent*) { m_cursor->Release(); });
  m_plot->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(m_plot, &QWidget::customContextMenuRequested, this,
          &DischargeChart::OnCursorMenuRequested);

  // The plot area takes the focus, where the cursor keys move the data
  // cursor, and then the toolbar's buttons from the keyboard, in their
  // order; so the chart's place in the window's tab order reaches all of
  // them. (The plot area comes first as it is created first: that is the
  // order a window's focus chain keeps.)
  setFocusPolicy(Qt::NoFocus);
  m_toolbar->setFocusPolicy(Qt::NoFocus);
  for (QWidget* w : m_toolbar->findChildren<QWidget*>()) {
    w->setFocusPolicy(Qt::NoFocus);
  }
  m_plot->setFocusPolicy(Qt::StrongFocus);
  QWidget* previous = m_plot;
  for (QAction* action : m_toolbar->actions()) {
    QWidget* button = m_toolbar->widgetForAction(action);
    button->setFocusPolicy(Qt::TabFocus);
    setTabOrder(previous, button);
    previous = button;
  }
  m_plot->installEventFilter(this);
  m_accessibility = new ChartAccessibility(*this);
}

DischargeChart::~DischargeChart() = default;

void DischargeChart::BuildLayout() {
  m_plot->SetBackdrop(kChartBackground);
  m_plot->setInteractions(QCP::Interactions());
  m_plot->setAutoAddPlottableToLegend(false);
  m_plot->setPlottingHint(QCP::phCacheLabels, true);
  // The selection overlay is never used: it shares the lower buffer rather
  // than costing a third one to blend on every repaint.
  if (QCPLayer* overlay = m_plot->layer(QStringLiteral("overlay"))) {
    overlay->setMode(QCPLayer::lmLogical);
  }

  for (QCPAxis* axis : {m_plot->xAxis, m_plot->yAxis}) {
    StyleChartAxis(*axis, SongFont(12, true));
  }

  // Bands: the title above the plot area, the legend to its right at the top.
  QCPLayoutGrid* outer = m_plot->plotLayout();
  QCPAxisRect* rect = m_plot->axisRect();
  QCPLegend* legend = m_plot->legend;
  rect->insetLayout()->take(legend);
  outer->take(rect);
  outer->simplify();
  m_titleElement = new QCPTextElement(m_plot, QString(), DesignedTitleFont());
  m_titleElement->setTextColor(kChartText);
  // Drawn with the axes, not on the traces' layer (the current one by now),
  // whose buffer reaches only the plot area.
  m_titleElement->setLayer(QStringLiteral("main"));
  outer->addElement(0, 0, m_titleElement);
  auto* middle = new QCPLayoutGrid;
  outer->addElement(1, 0, middle);
  outer->setRowStretchFactor(0, 0.001);
  middle->addElement(0, 0, rect);
  auto* legendColumn = new QCPLayoutGrid;
  middle->addElement(0, 1, legendColumn);
  middle->setColumnStretchFactor(1, 0.001);
  legendColumn->addElement(0, 0, legend);
  legendColumn->addElement(1, 0, new QCPLayoutElement(m_plot));
  legendColumn->setRowStretchFactor(0, 0.001);
  legendColumn->setMargins(QMargins(0, 8, 8, 0));

  StyleChartLegend(*legend);
  legend->setBrush(Qt::NoBrush);
  legend->setSelectedTextColor(Qt::black);
}

void DischargeChart::BuildToolbar() {
  StyleChartToolbar(*m_toolbar);
  const struct {
    ChartCommand command;
    QString text;
    QString tip;
    bool checkable;
  } entries[] = {
      {ChartCommand::ZoomIn, tr("放大"), tr("两轴的跨度减半"), false},
      {ChartCommand::ZoomOut, tr("缩小"), tr("两轴的跨度加倍"), false},
      {ChartCommand::FitAll, tr("全部显示"), tr("让两轴显示全部数据"), false},
      {ChartCommand::PauseTracking, tr("暂停"), tr("暂停或继续坐标轴跟踪"), true},
      {ChartCommand::Cursor, tr("游标"), tr("显示或隐藏数据游标"), true},
      {ChartCommand::Copy, tr("复制"), tr("把图表图像复制到剪贴板"), false},
      {ChartCommand::SaveImage, tr("保存图像"), tr("把图表保存为 PNG 或 PDF 文件"), false},
      {ChartCommand::SaveCsv, tr("导出CSV"), tr("把两条曲线的数据点导出为 CSV 文件"), false},
      {ChartCommand::Print, tr("打印"), tr("打印图表"), false},
  };
  for (const auto& e : entries) {
    QAction* action = m_toolbar->addAction(e.text);
    action->setToolTip(e.tip);
    action->setCheckable(e.checkable);
    m_actions[size_t(e.command)] = action;
  }
  connect(Action(ChartCommand::ZoomIn), &QAction::triggered, this, &DischargeChart::ZoomIn);
  connect(Action(ChartCommand::ZoomOut), &QAction::triggered, this, &DischargeChart::ZoomOut);
  connect(Action(ChartCommand::FitAll), &QAction::triggered, this, &DischargeChart::FitAll);
  connect(Action(ChartCommand::PauseTracking), &QAction::toggled, this,
          &DischargeChart::SetTrackingPaused);
  connect(Action(ChartCommand::Cursor), &QAction::toggled, this, &DischargeChart::SetCursorVisible);
  connect(Action(ChartCommand::Copy), &QAction::triggered, this, &DischargeChart::CopyImage);
  connect(Action(ChartCommand::SaveImage), &QAction::triggered, this,
          &DischargeChart::OnSaveImageTriggered);
  connect(Action(ChartCommand::SaveCsv), &QAction::triggered, this,
          &DischargeChart::OnSaveCsvTriggered);
  connect(Action(ChartCommand::Print), &QAction::triggered, this,
          &DischargeChart::OnPrintTriggered);
}

void DischargeChart::BuildCursorMenu() {
  m_cursorMenu = new QMenu(this);
  auto* group = new QActionGroup(m_cursorMenu);
  group->setExclusive(true);
  const std::pair<ChartCursorMode, const char*> kModes[] = {
      {ChartCursorMode::ValueXY, "Value X-Y"},  {ChartCursorMode::ValueX, "Value X"},
      {ChartCursorMode::ValueY, "Value Y"},     {ChartCursorMode::Period, "Period"},
      {ChartCursorMode::PeakPeak, "Peak-Peak"}, {ChartCursorMode::Frequency, "Frequency"}};
  for (const auto& [mode, text] : kModes) {
    QAction* action = m_cursorMenu->addAction(QString::fromLatin1(text));
    action->setCheckable(true);
    action->setChecked(mode == m_cursor->Mode());
    group->addAction(action);
    const ChartCursorMode m = mode;
    connect(action, &QAction::triggered, this, [this, m] { SetCursorMode(m); });
  }
}

QAction* DischargeChart::Action(ChartCommand command) const {
  return m_actions[size_t(command)];
}

void DischargeChart::SetTitle(const QString& title) {
  m_titleElement->setText(title);
  ScheduleReplot();
}

static QCPAxis* AxisOf(QCustomPlot* plot, ChartAxis axis) {
  return axis == ChartAxis::X ? plot->xAxis : plot->yAxis;
}

void DischargeChart::SetAxisMin(ChartAxis axis, double min) {
  if (std::isfinite(min)) {
    QCPAxis* a = AxisOf(m_plot, axis);
    SetRangeKeepingSpan(a, min);
    m_startRanges[size_t(axis)] = {a->range().lower, a->range().upper};
    ScheduleReplot();
  }
}

void DischargeChart::SetAxisSpan(ChartAxis axis, double span) {
  if (!std::isfinite(span) || span <= 0) {
    return;
  }
  QCPAxis* a = AxisOf(m_plot, axis);
  a->setRange(a->range().lower, a->range().lower + span);
  m_startRanges[size_t(axis)] = {a->range().lower, a->range().upper};
  ScheduleReplot();
}

void DischargeChart::SetAxisTitle(ChartAxis axis, const QString& title) {
  AxisOf(m_plot, axis)->setLabel(title);
  ScheduleReplot();
}

void DischargeChart::SetAxisTitleFontName(ChartAxis axis, const QString& family) {
  QCPAxis* a = AxisOf(m_plot, axis);
  QFont font = a->labelFont();
  QStringList families{family};
  for (const QString& f : SongFont(font.pointSizeF(), font.bold()).families()) {
    if (!families.contains(f)) {
      families << f;
    }
  }
  font.setFamilies(families);
  a->setLabelFont(font);
  ScheduleReplot();
}

void DischargeChart::SetAxisTitleFontSize(ChartAxis axis, int points) {
  if (points <= 0) {
    return;
  }
  QCPAxis* a = AxisOf(m_plot, axis);
  QFont font = a->labelFont();
  font.setPointSize(points);
  a->setLabelFont(font);
  ScheduleReplot();
}

void DischargeChart::SetTraceTitle(int trace, const QString& title) {
  if (ValidTrace(trace)) {
    TraceAt(trace).SetTitle(title);
    ScheduleReplot();
  }
}

void DischargeChart::AddPoint(int trace, double x, double y) {
  if (!ValidTrace(trace) || !std::isfinite(x) || !std::isfinite(y)) {
    return;
  }
  TraceAt(trace).Add(x, y);
  if (m_naiveYRescan) {
    double lo = qQNaN();
    double hi = qQNaN();
    for (const auto& t : m_traces) {
      t->ScanYRange(lo, hi);
    }
    m_dataMinY = lo;
    m_dataMaxY = hi;
  } else if (m_pointsHeld == 0) {
    m_dataMinY = y;
    m_dataMaxY = y;
  } else {
    m_dataMinY = std::min(m_dataMinY, y);
    m_dataMaxY = std::max(m_dataMaxY, y);
  }
  m_dataMinX = m_pointsHeld == 0 ? x : std::min(m_dataMinX, x);
  m_dataMaxX = m_pointsHeld == 0 ? x : std::max(m_dataMaxX, x);
  ++m_pointsHeld;
  m_newestX = x;
  m_newestTrace = trace;
  m_hasNewest = true;
  if (!m_trackingPaused) {
    Track(trace, x);
    const QCPRange yRange = m_plot->yAxis->range();
    if (y < yRange.lower || y > yRange.upper) {
      FitY();
    }
  }
  ScheduleTracesReplot();
}

void DischargeChart::Track(int trace, double x) {
  QCPAxis* axis = m_plot->xAxis;
  const QCPRange range = axis->range();
  if (x >= range.lower && x <= range.upper) {
    return;
  }
  // Outside the range on either side, the newest point moves to the right
  // end, where the line that follows it has the whole span to grow into, or
  // as far right as the range can go without starting below 0 (a restart at
  // 0 shows the new curve from 0). Where the other trace's newest point lies
  // a little ahead of it, the range ends there instead, so two channels that
  // fit in one span both stay in view.
  double upper = x;
  const ChartTrace& other = TraceAt(1 - trace);
  if (other.Count() > 0) {
    const double otherX = other.At(other.Count() - 1).x();
    if (otherX > x && otherX - x <= range.size()) {
      upper = otherX;
    }
  }
  SetRangeKeepingSpan(axis, upper - range.size());
  KeepXFromZero();
}

void DischargeChart::KeepXFromZero() {
  QCPAxis* axis = m_plot->xAxis;
  const bool noNegativeX = m_pointsHeld == 0 || m_dataMinX >= 0;
  if (noNegativeX && axis->range().lower < 0) {
    SetRangeKeepingSpan(axis, 0);
  }
}

void DischargeChart::FitAll() {
  if (m_pointsHeld == 0) {
    return;
  }
  double lo = m_dataMinX;
  double hi = m_dataMaxX;
  if (!(hi > lo)) {
    // One x only: the span stays, with the points at its middle.
    const double half = m_plot->xAxis->range().size() / 2;
    lo -= half;
    hi += half;
  } else {
    const double margin = (hi - lo) * kFitMarginShare;
    lo -= margin;
    hi += margin;
  }
  m_plot->xAxis->setRange(lo, hi);
  KeepXFromZero();
  FitY();
  ScheduleReplot();
}

void DischargeChart::FitY() {
  if (m_pointsHeld == 0) {
    return;
  }
  double lo = m_dataMinY;
  double hi = m_dataMaxY;
  if (!(hi > lo)) {
    // All points share one y: an empty range cannot be shown, so the axis
    // keeps its span centred on that value.
    const double half = m_plot->yAxis->range().size() / 2;
    lo -= half;
    hi += half;
  } else {
    // A small margin keeps the extremes off the plot frame and leaves room
    // for the top tick label.
    const double margin = (hi - lo) * kYMarginShare;
    lo -= margin;
    hi += margin;
  }
  m_plot->yAxis->setRange(lo, hi);
}

void DischargeChart::SetTraceVisible(int trace, bool visible) {
  if (ValidTrace(trace)) {
    TraceAt(trace).SetVisible(visible);
    ScheduleReplot();
  }
}

void DischargeChart::ClearChart() {
  for (auto& t : m_traces) {
    t->Clear();
  }
  m_pointsHeld = 0;
  m_hasNewest = false;
  // A new test starts on the axes the chart started with, not pinned to the
  // right end of the last one's range.
  for (ChartAxis axis : {ChartAxis::X, ChartAxis::Y}) {
    const auto& range = m_startRanges[size_t(axis)];
    AxisOf(m_plot, axis)->setRange(range[0], range[1]);
  }
  TraceAt(0).SetTitle(QStringLiteral("通道1"));
  TraceAt(1).SetTitle(QStringLiteral("通道2"));
  ScheduleReplot();
}

QString DischargeChart::Title() const {
  return m_titleElement->text();
}
QFont DischargeChart::TitleFont() const {
  return m_titleElement->font();
}
QColor DischargeChart::TitleColour() const {
  return m_titleElement->textColor();
}
double DischargeChart::AxisMin(ChartAxis axis) const {
  return AxisOf(m_plot, axis)->range().lower;
}
double DischargeChart::AxisSpan(ChartAxis axis) const {
  return AxisOf(m_plot, axis)->range().size();
}
QString DischargeChart::AxisTitle(ChartAxis axis) const {
  return AxisOf(m_plot, axis)->label();
}
QFont DischargeChart::AxisTitleFont(ChartAxis axis) const {
  return AxisOf(m_plot, axis)->labelFont();
}
QColor DischargeChart::AxisTitleColour(ChartAxis axis) const {
  return AxisOf(m_plot, axis)->labelColor();
}
QFont DischargeChart::TickLabelFont(ChartAxis axis) const {
  return AxisOf(m_plot, axis)->tickLabelFont();
}
QColor DischargeChart::TickLabelColour(ChartAxis axis) const {
  return AxisOf(m_plot, axis)->tickLabelColor();
}
QColor DischargeChart::ScaleLineColour(ChartAxis axis) const {
  return AxisOf(m_plot, axis)->basePen().color();
}
bool DischargeChart::GridVisible(ChartAxis axis) const {
  return AxisOf(m_plot, axis)->grid()->visible();
}
QColor DischargeChart::BackgroundColour() const {
  return kChartBackground;
}
QString DischargeChart::TraceTitle(int trace) const {
  return TraceAt(trace).Title();
}
QColor DischargeChart::TraceColour(int trace) const {
  return TraceAt(trace).Colour();
}
bool DischargeChart::TraceVisible(int trace) const {
  return TraceAt(trace).Visible();
}
qsizetype DischargeChart::PointCount(int trace) const {
  return TraceAt(trace).Count();
}
QPointF DischargeChart::Point(int trace, qsizetype i) const {
  return TraceAt(trace).At(i);
}
qsizetype DischargeChart::TraceRunCount(int trace) const {
  return TraceAt(trace).RunCount();
}
bool DischargeChart::TraceDrawnAsOverview(int trace) const {
  return TraceAt(trace).OverviewShown();
}

void DischargeChart::ZoomIn() {
  ScalePlotAxes(*m_plot, 1 / kZoomFactor);
  ScheduleReplot();
}

void DischargeChart::ZoomOut() {
  ScalePlotAxes(*m_plot, kZoomFactor);
  KeepXFromZero();
  ScheduleReplot();
}

void DischargeChart::SetTrackingPaused(bool paused) {
  m_trackingPaused = paused;
  QAction* action = Action(ChartCommand::PauseTracking);
  if (action->isChecked() != paused) {
    action->setChecked(paused);
  }
  action->setText(paused ? tr("继续") : tr("暂停"));
  if (!paused && m_hasNewest) {
    Track(m_newestTrace, m_newestX);
    const QCPRange yRange = m_plot->yAxis->range();
    if (m_dataMinY < yRange.lower || m_dataMaxY > yRange.upper) {
      FitY();
    }
  }
  ScheduleReplot();
}

void DischargeChart::SetCursorVisible(bool visible) {
  if (visible && !m_cursor->Visible()) {
    m_cursor->SetBound(TraceAt(0));
    m_cursor->SetPointerFraction(0, ChartCursor::kStartFraction1);
    m_cursor->SetPointerFraction(1, ChartCursor::kStartFraction2);
  }
  m_cursor->SetVisible(visible);
  QAction* action = Action(ChartCommand::Cursor);
  if (action->isChecked() != visible) {
    action->setChecked(visible);
  }
  ScheduleReplot();
}

bool DischargeChart::CursorVisible() const {
  return m_cursor->Visible();
}

void DischargeChart::SetCursorMode(ChartCursorMode mode) {
  m_cursor->SetMode(mode);
  for (QAction* action : m_cursorMenu->actions()) {
    action->setChecked(m_cursorMenu->actions().indexOf(action) == int(mode));
  }
  ScheduleReplot();
}

ChartCursorMode DischargeChart::CursorMode() const {
  return m_cursor->Mode();
}

void DischargeChart::SetCursorPointer(int pointer, double fractionOfWidth) {
  if (pointer == 0 || pointer == 1) {
    m_cursor->SetPointerFraction(pointer, fractionOfWidth);
    ScheduleReplot();
  }
}

int DischargeChart::CursorTrace() const {
  return &m_cursor->Bound() == &TraceAt(0) ? 0 : 1;
}

bool DischargeChart::CursorKey(int key) {
  const bool step = ChartCursor::IsStepKey(key);
  if (!step && key != kFollowOtherTraceKey) {
    return false;
  }
  // A cursor key shows a hidden cursor, as its toolbar button would.
  if (!m_cursor->Visible()) {
    SetCursorVisible(true);
  }
  if (key == kFollowOtherTraceKey) {
    m_cursor->SetBound(TraceAt(1 - CursorTrace()));
  } else {
    m_cursor->StepByKey(key);
  }
  ScheduleReplot();
  // Heard at once: the reader speaks the focused plot's new readings.
  m_accessibility->UpdateNow();
  return true;
}

bool DischargeChart::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_plot) {
    if (const std::optional<int> key = ChartCursor::PlainKey(event)) {
      return CursorKey(*key);
    }
  }
  return QWidget::eventFilter(watched, event);
}

double DischargeChart::CursorPointerX(int pointer) const {
  return m_cursor->PointerX(pointer);
}
double DischargeChart::CursorReading() const {
  return m_cursor->Reading();
}
QString DischargeChart::CursorHint() const {
  return m_cursor->HintText();
}

QRectF DischargeChart::CursorHintRect() const {
  return m_cursor->HintRect();
}

QStringList DischargeChart::LegendValues(int trace) {
  ChartLegendItem* item = m_legendItems[size_t(trace)];
  PrepareDrawing();
  QStringList values;
  if (item->ValuesShown()) {
    for (int i = 0; i < ChartLegendItem::kValueCount; ++i) {
      values << item->ValueText(ChartLegendItem::Value(i));
    }
  }
  return values;
}

void DischargeChart::PrepareDrawing() {
  const QCPRange xRange = m_plot->xAxis->range();
  const int widthPx = m_plot->axisRect()->width() > 0 ? m_plot->axisRect()->width() : width();
  for (auto& trace : m_traces) {
    trace->ChooseDetail(xRange, widthPx);
  }
  const bool shown = m_cursor->Visible();
  const double x1 = m_cursor->PointerX(0);
  for (int t = 0; t < kTraceCount; ++t) {
    const ChartTrace& trace = TraceAt(t);
    ChartLegendItem* item = m_legendItems[size_t(t)];
    item->SetTitle(trace.Title());
    item->SetValues(shown, {x1, trace.ValueAt(x1), trace.MaxY(), trace.MinY(), trace.MeanY()});
  }
  m_cursor->Update();
}

QSize DischargeChart::PlotSize() const {
  return {width(), std::max(1, height() - m_toolbar->sizeHint().height())};
}

QImage DischargeChart::RenderImage() {
  PrepareDrawing();
  const QSize size = PlotSize();
  return m_plot->toPixmap(size.width(), size.height()).toImage();
}

QRect DischargeChart::PlotArea() const {
  return m_plot->axisRect()->rect();
}

void DischargeChart::CopyImage() {
  QGuiApplication::clipboard()->setImage(RenderImage());
}

bool DischargeChart::SaveImage(const QString& path) {
  PrepareDrawing();
  return SavePlotImage(*m_plot, path, PlotSize());
}

bool DischargeChart::SaveCsv(const QString& path) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    return false;
  }
  QTextStream out(&file);
  out.setEncoding(QStringConverter::Utf8);
  out << "trace,x,y\n";
  for (const auto& trace : m_traces) {
    const QString title = CsvField(trace->Title());
    trace->ForEach([&](double x, double y) {
      out << title << ',' << CsvNumber(x) << ',' << CsvNumber(y) << '\n';
    });
  }
  out.flush();
  return out.status() == QTextStream::Ok && CommitSaveFile(file);
}

bool DischargeChart::PrintTo(QPrinter& printer) {
  PrepareDrawing();
  return PrintPlot(*m_plot, printer, PlotSize());
}

void DischargeChart::SetDialogs(ChartDialogs* dialogs) {
  m_dialogs = dialogs != nullptr ? dialogs : m_systemDialogs.get();
}

void DischargeChart::OnSaveImageTriggered() {
  const QString path = m_dialogs->ImageFileToSave(this);
  if (!path.isEmpty() && !SaveImage(path)) {
    m_dialogs->ShowError(this, tr("无法把图表图像保存到 %1。").arg(QDir::toNativeSeparators(path)));
  }
}

void DischargeChart::OnSaveCsvTriggered() {
  const QString path = m_dialogs->CsvFileToSave(this);
  if (!path.isEmpty() && !SaveCsv(path)) {
    m_dialogs->ShowError(this, tr("无法把图表数据保存到 %1。").arg(QDir::toNativeSeparators(path)));
  }
}

void DischargeChart::OnPrintTriggered() {
  QPrinter printer(QPrinter::HighResolution);
  printer.setPageOrientation(QPageLayout::Landscape);
  if (m_dialogs->SetUpPrinter(this, printer) && !PrintTo(printer)) {
    m_dialogs->ShowError(this, tr("无法打印图表。"));
  }
}

void DischargeChart::OnCursorMenuRequested(const QPoint& pos) {
  if (m_cursor->Visible() && m_plot->axisRect()->rect().contains(pos)) {
    m_cursorMenu->popup(m_plot->mapToGlobal(pos));
  }
}

void DischargeChart::ScheduleReplot() {
  m_fullReplotDue = true;
  ScheduleTracesReplot();
}

void DischargeChart::ScheduleTracesReplot() {
  if (m_accessibility) {
    m_accessibility->Changed();
  }
  if (m_replotQueued) {
    return;
  }
  m_replotQueued = true;
  QMetaObject::invokeMethod(this, &DischargeChart::ReplotNow, Qt::QueuedConnection);
}

void DischargeChart::ReplotNow() {
  m_replotQueued = false;
  if (!m_plot->isVisible()) {
    // Nothing to show: draw when the chart is shown.
    m_plotStale = true;
    return;
  }
  std::array<bool, kTraceCount> overview{};
  for (int t = 0; t < kTraceCount; ++t) {
    overview[size_t(t)] = TraceAt(t).OverviewShown();
  }
  PrepareDrawing();
  const QCPRange x = m_plot->DrawnXRange();
  const QCPRange y = m_plot->yAxis->range();
  // Any replot, QCustomPlot's own on a resize included, redraws the layers.
  const QCPRange layersX = m_plot->LayersXRange();
  // The cursor's hint and the legend's values follow the data, and they are
  // drawn with the axes.
  const bool cursor = m_cursor->Visible();
  bool sameDetail = true;
  for (int t = 0; t < kTraceCount; ++t) {
    sameDetail = sameDetail && overview[size_t(t)] == TraceAt(t).OverviewShown();
  }
  const bool othersSame =
      !m_fullReplotDue && !cursor && sameDetail && y.lower == m_drawnY[0] && y.upper == m_drawnY[1];
  if (othersSame && x.lower == layersX.lower && x.upper == layersX.upper) {
    m_plot->ReplotTraces(ColumnsOfNewPoints());
  } else if (othersSame) {
    // The X axis scrolls, as it does every second once the traces outrun its
    // span.
    m_plot->ReplotScrolled(ColumnsOfNewPoints());
  } else {
    m_plot->ReplotAll();
    // The traces reach only the plot area, the cursor's hint beyond it.
    m_plot->SetTraceReach(cursor ? QRect() : m_plot->axisRect()->rect());
    m_fullReplotDue = false;
  }
  m_drawnY = {y.lower, y.upper};
  for (int t = 0; t < kTraceCount; ++t) {
    m_drawnCounts[size_t(t)] = TraceAt(t).Count();
  }
  m_plotStale = false;
  ++m_replotCount;
}

QRect DischargeChart::ColumnsOfNewPoints() const {
  const QRect area = m_plot->axisRect()->rect();
  double left = qInf();
  double right = -qInf();
  for (int t = 0; t < kTraceCount; ++t) {
    const ChartTrace& trace = TraceAt(t);
    const qsizetype drawn = std::min(m_drawnCounts[size_t(t)], trace.Count());
    if (trace.Count() - drawn > kMaxNewPointsTracked) {
      return area;
    }
    // From the point before the last drawn point's pixel column: with many
    // points a column, the line is sampled per column, and the column that
    // took new points may be joined to its neighbour differently.
    qsizetype from = std::max<qsizetype>(0, drawn - 1);
    if (from > 0) {
      const double column = std::floor(m_plot->xAxis->coordToPixel(trace.At(from).x()));
      for (int steps = 0; from > 0 && steps < kMaxNewPointsTracked; ++steps) {
        --from;
        if (m_plot->xAxis->coordToPixel(trace.At(from).x()) < column) {
          break;
        }
      }
    }
    for (qsizetype i = from; i < trace.Count(); ++i) {
      const double px = m_plot->xAxis->coordToPixel(trace.At(i).x());
      left = std::min(left, px);
      right = std::max(right, px);
    }
  }
  if (!(left <= right)) {
    return {};
  }
  // Whole columns: a new point can redraw its neighbour's line at any
  // height, and the sampling of the newest pixel columns may change.
  const double kMarginPx = 4;
  const QRect columns(
      QPoint(int(std::floor(std::max(left, double(area.left())) - kMarginPx)), area.top()),
      QPoint(int(std::ceil(std::min(right, double(area.right())) + kMarginPx)), area.bottom()));
  return columns & area;
}

void DischargeChart::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  if (m_plotStale) {
    ScheduleReplot();
  }
}
