#include "chartcursor.h"

#include <QKeyEvent>

#include <QFontMetrics>
#include <QGuiApplication>
#include <QPalette>
#include <algorithm>
#include <cmath>

#include "charttrace.h"

namespace {
constexpr int kPrecision = 3;

QString Format(double v) {
  return std::isfinite(v) ? QString::number(v, 'f', kPrecision) : QStringLiteral("-");
}
}  // namespace

ChartCursor::ChartCursor(QCustomPlot& plot, const ChartTrace& bound)
    : m_plot(plot),
      m_bound(&bound),
      m_tracer(new QCPItemTracer(&plot)),
      m_hint(new QCPItemText(&plot)) {
  const QPen pen(bound.Colour(), 1);
  for (QCPItemStraightLine*& line : m_lines) {
    line = new QCPItemStraightLine(&plot);
    line->setPen(pen);
    line->setSelectable(false);
    line->setVisible(false);
  }
  m_tracer->setStyle(QCPItemTracer::tsCircle);
  m_tracer->setSize(7);
  m_tracer->setPen(pen);
  m_tracer->setSelectable(false);
  m_tracer->setVisible(false);

  const QPalette palette = QGuiApplication::palette();
  m_hint->setColor(palette.color(QPalette::WindowText));
  m_hint->setBrush(palette.color(QPalette::ToolTipBase));
  m_hint->setPen(QPen(palette.color(QPalette::WindowText), 1));
  m_hint->setPadding(QMargins(4, 2, 4, 2));
  m_hint->setTextAlignment(Qt::AlignLeft);
  m_hint->setPositionAlignment(Qt::AlignLeft | Qt::AlignTop);
  m_hint->position->setType(QCPItemPosition::ptAbsolute);
  m_hint->setClipToAxisRect(false);
  m_hint->setSelectable(false);
  m_hint->setVisible(false);
}

void ChartCursor::SetBound(const ChartTrace& trace) {
  m_bound = &trace;
  m_pointIndex = -1;
  const QPen pen(trace.Colour(), 1);
  for (QCPItemStraightLine* line : m_lines) {
    line->setPen(pen);
  }
  m_tracer->setPen(pen);
}

void ChartCursor::SetPointerFraction(int pointer, double fraction) {
  m_fractions[size_t(pointer)] = std::clamp(fraction, 0.0, 1.0);
  if (pointer == 0) {
    m_pointIndex = -1;
  }
}

qsizetype ChartCursor::NearestPoint() const {
  const double x = PointerX(0);
  qsizetype best = 0;
  double bestDistance = qInf();
  // Once per key press after the mouse placed the pointer: a day of points
  // is scanned in well under a millisecond.
  m_bound->ForEach([&, i = qsizetype(0)](double px, double) mutable {
    const double d = std::abs(px - x);
    if (d < bestDistance) {
      bestDistance = d;
      best = i;
    }
    ++i;
  });
  return best;
}

bool ChartCursor::IsStepKey(int key) {
  return key == Qt::Key_Left || key == Qt::Key_Right || key == Qt::Key_PageUp ||
         key == Qt::Key_PageDown || key == Qt::Key_Home || key == Qt::Key_End;
}

std::optional<int> ChartCursor::PlainKey(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) {
    return std::nullopt;
  }
  const auto* key = static_cast<const QKeyEvent*>(event);
  if (key->modifiers() != Qt::NoModifier && key->modifiers() != Qt::KeypadModifier) {
    return std::nullopt;
  }
  return key->key();
}

bool ChartCursor::StepByKey(int key) {
  const qsizetype count = m_bound->Count();
  if (count == 0) {
    return false;
  }
  const bool known = m_pointIndex >= 0 && m_pointIndex < count;
  const qsizetype from = known ? m_pointIndex : NearestPoint();
  qsizetype to = from;
  switch (key) {
    case Qt::Key_Left:
      to = from - (known ? 1 : 0);
      break;
    case Qt::Key_Right:
      to = from + (known ? 1 : 0);
      break;
    case Qt::Key_PageUp:
      to = from - kPageStep;
      break;
    case Qt::Key_PageDown:
      to = from + kPageStep;
      break;
    case Qt::Key_Home:
      to = 0;
      break;
    case Qt::Key_End:
      to = count - 1;
      break;
    default:
      return false;
  }
  to = std::clamp<qsizetype>(to, 0, count - 1);
  const double x = m_bound->At(to).x();
  QCPAxis* axis = m_plot.xAxis;
  const QCPRange range = axis->range();
  if (x < range.lower) {
    axis->setRange(x, x + range.size());
  } else if (x > range.upper) {
    axis->setRange(x - range.size(), x);
  }
  const QCPRange shown = axis->range();
  SetPointerFraction(0, (x - shown.lower) / shown.size());
  m_pointIndex = to;
  return true;
}

double ChartCursor::PointerX(int pointer) const {
  const QCPRange range = m_plot.xAxis->range();
  return range.lower + m_fractions[size_t(pointer)] * range.size();
}

bool ChartCursor::ComparesPointers() const {
  return m_mode == ChartCursorMode::Period || m_mode == ChartCursorMode::PeakPeak ||
         m_mode == ChartCursorMode::Frequency;
}

double ChartCursor::Reading() const {
  const double x1 = PointerX(0);
  const double x2 = PointerX(1);
  switch (m_mode) {
    case ChartCursorMode::ValueX:
      return x1;
    case ChartCursorMode::ValueXY:
    case ChartCursorMode::ValueY:
      return m_bound->ValueAt(x1);
    case ChartCursorMode::Period:
      return std::abs(x2 - x1);
    case ChartCursorMode::PeakPeak:
      return std::abs(m_bound->ValueAt(x2) - m_bound->ValueAt(x1));
    case ChartCursorMode::Frequency: {
      const double period = std::abs(x2 - x1);
      return period > 0 ? 1.0 / period : qQNaN();
    }
  }
  return qQNaN();
}

QString ChartCursor::HintText() const {
  const double reading = Reading();
  switch (m_mode) {
    case ChartCursorMode::ValueXY:
      return QStringLiteral("X: %1\nY: %2").arg(Format(PointerX(0)), Format(reading));
    case ChartCursorMode::ValueX:
      return QStringLiteral("X: %1").arg(Format(reading));
    case ChartCursorMode::ValueY:
      return QStringLiteral("Y: %1").arg(Format(reading));
    case ChartCursorMode::Period:
      return QStringLiteral("Period: %1").arg(Format(reading));
    case ChartCursorMode::PeakPeak:
      return QStringLiteral("Peak-Peak: %1").arg(Format(reading));
    case ChartCursorMode::Frequency:
      // Frequencies of a chart in seconds are small: three significant digits.
      return QStringLiteral("Frequency: %1")
          .arg(std::isfinite(reading) ? QString::number(reading, 'g', kPrecision)
                                      : QStringLiteral("-"));
  }
  return {};
}

void ChartCursor::Update() {
  for (size_t i = 0; i < m_lines.size(); ++i) {
    const double x = PointerX(int(i));
    m_lines[i]->point1->setCoords(x, 0);
    m_lines[i]->point2->setCoords(x, 1);
    m_lines[i]->setVisible(m_visible && (i == 0 || ComparesPointers()));
  }
  const double x1 = PointerX(0);
  const double y1 = m_bound->ValueAt(x1);
  m_tracer->position->setAxes(m_plot.xAxis, m_bound->ValueAxis());
  m_tracer->position->setCoords(x1,
                                std::isfinite(y1) ? y1 : m_bound->ValueAxis()->range().center());
  m_tracer->setVisible(m_visible && std::isfinite(y1));
  m_hint->setText(HintText());
  m_hint->setVisible(m_visible);
  PlaceHint();
}

void ChartCursor::PlaceHint() {
  // Below and right of the pointer where the hint fits; otherwise on the
  // other side of it, and never past the plot area's edges (where it would
  // cover the tick labels or the legend).
  const QRect area = m_plot.axisRect()->rect();
  const QPointF at = m_tracer->position->pixelPosition();
  const QFontMetrics metrics(m_hint->font());
  const QMargins pad = m_hint->padding();
  const QSize size = metrics.boundingRect(QRect(), Qt::AlignLeft, m_hint->text()).size() +
                     QSize(pad.left() + pad.right() + 2, pad.top() + pad.bottom() + 2);
  double left = at.x() + kHintOffset;
  if (left + size.width() > area.right()) {
    left = at.x() - kHintOffset - size.width();
  }
  double top = at.y() + kHintOffset;
  if (top + size.height() > area.bottom()) {
    top = at.y() - kHintOffset - size.height();
  }
  left = std::clamp<double>(left, area.left(), std::max(area.left(), area.right() - size.width()));
  top = std::clamp<double>(top, area.top(), std::max(area.top(), area.bottom() - size.height()));
  m_hintRect = QRectF(left, top, size.width(), size.height());
  m_hint->position->setCoords(left, top);
}

bool ChartCursor::Press(const QPointF& pos) {
  if (!m_visible || !m_plot.axisRect()->rect().contains(pos.toPoint())) {
    return false;
  }
  // Pointer 2 first: where the two overlap, the one drawn last is grabbed.
  for (int pointer : {1, 0}) {
    if (pointer == 1 && !ComparesPointers()) {
      continue;
    }
    const double px = m_plot.xAxis->coordToPixel(PointerX(pointer));
    if (std::abs(pos.x() - px) <= kGrabDistance) {
      m_dragged = pointer;
      return true;
    }
  }
  return false;
}

bool ChartCursor::Move(const QPointF& pos) {
  if (m_dragged < 0) {
    return false;
  }
  const QRect area = m_plot.axisRect()->rect();
  SetPointerFraction(m_dragged, (pos.x() - area.left()) / std::max(1, area.width()));
  return true;
}
