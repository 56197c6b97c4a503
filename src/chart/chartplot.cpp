#include "chartplot.h"

#include <QPaintEvent>
#include <QSignalBlocker>
#include <cmath>

#include "columngraph.h"

namespace {

// QCPLayer keeps its buffer and its drawing to that buffer to itself and to
// QCustomPlot; a derived class may name them for any layer.
struct LayerAccess : QCPLayer {
  static QSharedPointer<QCPAbstractPaintBuffer> Buffer(QCPLayer& layer) {
    return (layer.*(&LayerAccess::mPaintBuffer)).toStrongRef();
  }
  static void DrawToBuffer(QCPLayer& layer) { (layer.*(&LayerAccess::drawToPaintBuffer))(); }
};

struct LayerableAccess : QCPLayerable {
  static QRect Clip(const QCPLayerable& l) { return (l.*(&LayerableAccess::clipRect))(); }
  static void Draw(QCPLayerable& l, QCPPainter* p) { (l.*(&LayerableAccess::draw))(p); }
  static void Hint(const QCPLayerable& l, QCPPainter* p) {
    (l.*(&LayerableAccess::applyDefaultAntialiasingHint))(p);
  }
};

struct AxisAccess : QCPAxis {
  static void SetupTicks(QCPAxis& axis) { (axis.*(&AxisAccess::setupTickVectors))(); }
  static const QVector<double>& SubTicks(const QCPAxis& axis) {
    return axis.*(&AxisAccess::mSubTickVector);
  }
};

// What QCPLayer::draw does, with every layerable's clip cut down to `area`
// and the layout elements wholly outside it left out.
void DrawLayerWithin(QCPLayer& layer, QCPPainter& painter, const QRect& area) {
  for (QCPLayerable* child : layer.children()) {
    const auto* element = qobject_cast<const QCPLayoutElement*>(child);
    if (!child->realVisibility() || (element && !element->outerRect().intersects(area))) {
      continue;
    }
    painter.save();
    painter.setClipRect(LayerableAccess::Clip(*child).translated(0, -1) & area);
    LayerableAccess::Hint(*child, &painter);
    LayerableAccess::Draw(*child, &painter);
    painter.restore();
  }
}

// Draws `layer` into `buffer` within `area`, first clearing `area` to
// transparent where `clear` asks for it.
void PaintLayerWithin(QCPLayer& layer, QCPAbstractPaintBuffer& buffer, const QRect& area,
                      bool clear) {
  QCPPainter* painter = buffer.startPainting();
  if (painter == nullptr) {
    return;
  }
  if (clear) {
    painter->setCompositionMode(QPainter::CompositionMode_Source);
    painter->fillRect(area, Qt::transparent);
    painter->setCompositionMode(QPainter::CompositionMode_SourceOver);
  }
  DrawLayerWithin(layer, *painter, area);
  delete painter;
  buffer.donePainting();
}

struct PixmapAccess : QCPPaintBufferPixmap {
  // The buffer's picture, shallow; null for buffers that are no pixmaps.
  static QImage Image(const QCPAbstractPaintBuffer& buffer) {
    const auto* pixmap = dynamic_cast<const QCPPaintBufferPixmap*>(&buffer);
    return pixmap != nullptr ? (pixmap->*(&PixmapAccess::mBuffer)).toImage() : QImage();
  }
  static QPixmap* Pixmap(QCPAbstractPaintBuffer& buffer) {
    auto* pixmap = dynamic_cast<QCPPaintBufferPixmap*>(&buffer);
    return pixmap != nullptr ? &(pixmap->*(&PixmapAccess::mBuffer)) : nullptr;
  }
};

// Columns redrawn to the left of those a move brings in: an antialiased
// line reaches a column beside its own.
constexpr int kMovedMarginPx = 3;
// A move by more than this share of the plot area's width costs about as
// much as a redraw.
constexpr double kMostMovedShare = 0.5;
// Moves are whole pixels; a range that moved within this many pixels of a
// whole number of them moved by that number.
constexpr double kWholePixel = 1e-6;

// Whether no line of `curve` reaches the keys lo..hi, drawing nothing there
// wherever the range lies within them.
bool CurveOutside(const QCPCurve& curve, double lo, double hi) {
  if (!curve.scatterStyle().isNone() || curve.lineStyle() != QCPCurve::lsLine) {
    return false;
  }
  const QCPCurveDataContainer& data = *curve.data();
  for (auto it = data.constBegin(); it != data.constEnd() && it + 1 != data.constEnd(); ++it) {
    const auto next = it + 1;
    if (!std::isfinite(it->key) || !std::isfinite(it->value) || !std::isfinite(next->key) ||
        !std::isfinite(next->value)) {
      continue;  // a gap: no line
    }
    if (std::max(it->key, next->key) >= lo && std::min(it->key, next->key) <= hi) {
      return false;
    }
  }
  return true;
}

// Rows per drawImage call. The raster engine hands a drawing of more than
// about 96 spans (rows, or pieces of rows where other controls cover the
// plot) to its thread pool in bands and waits for them; on a busy machine
// waking those threads costs more than the copy or the blend itself.
constexpr int kStripRows = 32;

void DrawInStrips(QPainter& painter, const QImage& image, const QRect& area) {
  const qreal dpr = image.devicePixelRatio();
  const int strip = std::max(1, int(kStripRows / dpr));
  for (int top = area.top(); top <= area.bottom(); top += strip) {
    const QRect target(area.left(), top, area.width(), std::min(strip, area.bottom() + 1 - top));
    const QRectF source(target.left() * dpr, target.top() * dpr, target.width() * dpr,
                        target.height() * dpr);
    painter.drawImage(QRectF(target), image, source);
  }
}

}  // namespace

// Fills the whole plot in one colour, under everything else.
class ChartPlot::BackdropLayerable : public QCPLayerable {
 public:
  explicit BackdropLayerable(QCustomPlot* plot) : QCPLayerable(plot) {
    moveToLayer(plot->layer(QStringLiteral("background")), true);
  }
  QColor colour = Qt::black;

 protected:
  void applyDefaultAntialiasingHint(QCPPainter*) const override {}
  void draw(QCPPainter* painter) override { painter->fillRect(mParentPlot->viewport(), colour); }
};

// The axes' grids, drawn as QCPGrid draws them (sub grid, zero line, grid,
// one axis after the other in the grid layer's order) but with the lines of
// each pen in one call instead of one call a line.
class ChartPlot::GridLayerable : public QCPLayerable {
 public:
  explicit GridLayerable(QCustomPlot* plot) : QCPLayerable(plot) {
    QCPLayer* gridLayer = plot->layer(QStringLiteral("grid"));
    plot->addLayer(QStringLiteral("axis grids"), gridLayer, QCustomPlot::limBelow);
    QCPLayer* hidden = plot->layer(QStringLiteral("axis grids"));
    hidden->setVisible(false);
    for (QCPLayerable* child : gridLayer->children()) {
      if (auto* grid = qobject_cast<QCPGrid*>(child)) {
        m_grids.push_back(grid);
      }
    }
    for (QCPGrid* grid : m_grids) {
      grid->setLayer(hidden);
    }
    setLayer(gridLayer);
  }

 protected:
  void applyDefaultAntialiasingHint(QCPPainter*) const override {}
  void draw(QCPPainter* painter) override {
    for (const QCPGrid* grid : m_grids) {
      const auto* axis = qobject_cast<const QCPAxis*>(grid->parentLayerable());
      if (axis == nullptr || !grid->visible() || !axis->realVisibility()) {
        continue;
      }
      if (axis->subTicks() && grid->subGridVisible()) {
        applyAntialiasingHint(painter, grid->antialiasedSubGrid(), QCP::aeSubGrid);
        DrawLines(painter, *axis, AxisAccess::SubTicks(*axis), grid->subGridPen(), -1);
      }
      const QVector<double> ticks = axis->tickVector();
      qsizetype zero = -1;
      const QCPRange range = axis->range();
      if (grid->zeroLinePen().style() != Qt::NoPen && range.lower < 0 && range.upper > 0) {
        const double epsilon = range.size() * 1e-6;
        for (qsizetype i = 0; i < ticks.size() && zero < 0; ++i) {
          if (std::abs(ticks[i]) < epsilon) {
            zero = i;
          }
        }
        if (zero >= 0) {
          applyAntialiasingHint(painter, grid->antialiasedZeroLine(), QCP::aeZeroLine);
          DrawLines(painter, *axis, {ticks[zero]}, grid->zeroLinePen(), -1);
        }
      }
      applyAntialiasingHint(painter, grid->antialiased(), QCP::aeGrid);
      DrawLines(painter, *axis, ticks, grid->pen(), zero);
    }
  }

 private:
  // One line across the axis rect at each of `at` but the one at `skip`.
  static void DrawLines(QCPPainter* painter, const QCPAxis& axis, const QVector<double>& at,
                        const QPen& pen, qsizetype skip) {
    const QCPAxisRect* rect = axis.axisRect();
    QVector<QLineF> lines;
    lines.reserve(at.size());
    for (qsizetype i = 0; i < at.size(); ++i) {
      if (i == skip) {
        continue;
      }
      const double t = axis.coordToPixel(at[i]);
      lines << (axis.orientation() == Qt::Horizontal ? QLineF(t, rect->bottom(), t, rect->top())
                                                     : QLineF(rect->left(), t, rect->right(), t));
    }
    painter->setPen(pen);
    // As QCPPainter::drawLine does: aliased lines on screen go to whole
    // pixels first.
    if (painter->antialiasing() || painter->modes().testFlag(QCPPainter::pmVectorized)) {
      painter->drawLines(lines);
      return;
    }
    QVector<QLine> whole;
    whole.reserve(lines.size());
    for (const QLineF& line : lines) {
      whole << line.toLine();
    }
    painter->drawLines(whole);
  }

  std::vector<QCPGrid*> m_grids;
};

ChartPlot::ChartPlot(QWidget* parent) : QCustomPlot(parent) {
  setBackground(Qt::NoBrush);
  m_backdrop = new BackdropLayerable(this);
  addLayer(QStringLiteral("traces"), layer(layerCount() - 1), QCustomPlot::limAbove);
  m_traceLayer = layer(QStringLiteral("traces"));
  m_traceLayer->setMode(QCPLayer::lmBuffered);
  new GridLayerable(this);
  setCurrentLayer(m_traceLayer);
  setAttribute(Qt::WA_OpaquePaintEvent);
  // Every replot, QCustomPlot's own included, lays out and draws for the
  // drawn range.
  connect(this, &QCustomPlot::beforeReplot, this, [this] {
    DrawWithSnappedX();
    m_layersX = xAxis->range();
  });
  connect(this, &QCustomPlot::afterReplot, this, &ChartPlot::RestoreX);
}

QCPRange ChartPlot::DrawnXRange() const {
  const QCPRange range = m_xSnapped ? m_ownX : xAxis->range();
  const int widthPx = axisRect()->width();
  if (widthPx <= 0 || xAxis->scaleType() != QCPAxis::stLinear || xAxis->rangeReversed()) {
    return range;
  }
  const double pixel = range.size() / widthPx;  // x units per pixel
  // A lower end within a millionth of a pixel of a whole one stays there.
  const double lower = std::ceil(range.lower / pixel - 1e-6) * pixel;
  if (!std::isfinite(lower) || !(pixel > 0)) {
    return range;
  }
  return {lower, lower + range.size()};
}

void ChartPlot::DrawWithSnappedX() {
  if (m_xSnapped) {
    return;
  }
  const QCPRange drawn = DrawnXRange();
  m_ownX = xAxis->range();
  m_xSnapped = true;
  const QSignalBlocker quiet(xAxis);
  xAxis->setRange(drawn);
}

void ChartPlot::RestoreX() {
  if (!m_xSnapped) {
    return;
  }
  m_xSnapped = false;
  const QSignalBlocker quiet(xAxis);
  xAxis->setRange(m_ownX);
}

void ChartPlot::SetBackdrop(const QColor& colour) {
  m_backdrop->colour = colour;
}

QColor ChartPlot::Backdrop() const {
  return m_backdrop->colour;
}

QRect ChartPlot::Reach() const {
  return m_traceReach.isEmpty() ? rect() : m_traceReach;
}

void ChartPlot::RedrawTraceBuffer(QCPAbstractPaintBuffer& buffer) {
  buffer.clear(Qt::transparent);
  LayerAccess::DrawToBuffer(*m_traceLayer);
}

void ChartPlot::ReplotTraces(const QRect& changed) {
  const QSharedPointer<QCPAbstractPaintBuffer> buffer = LayerAccess::Buffer(*m_traceLayer);
  if (!buffer || hasInvalidatedPaintBuffers()) {
    replot(rpQueuedRefresh);
    return;
  }
  // The rest of the buffer keeps what the screen shows.
  const QRect area = changed & Reach();
  if (area.isEmpty()) {
    return;
  }
  DrawWithSnappedX();
  PaintLayerWithin(*m_traceLayer, *buffer, area, true);
  RestoreX();
  buffer->setInvalidated(false);
  update(QRegion(area) - Covered());
}

void ChartPlot::Redraw(const std::function<void()>& draw, const QRegion& repaint) {
  mReplotting = true;
  mReplotQueued = false;
  emit beforeReplot();
  draw();
  for (const QSharedPointer<QCPAbstractPaintBuffer>& buffer : std::as_const(mPaintBuffers)) {
    buffer->setInvalidated(false);
  }
  update(repaint - Covered());
  emit afterReplot();
  mReplotting = false;
}

void ChartPlot::ReplotAll() {
  if (mReplotting) {
    return;
  }
  Redraw(
      [this] {
        updateLayout();
        setupPaintBuffers();
        for (QCPLayer* layer : std::as_const(mLayers)) {
          LayerAccess::DrawToBuffer(*layer);
        }
      },
      rect());
}

void ChartPlot::ReplotScrolled() {
  Scroll(nullptr);
}

void ChartPlot::ReplotScrolled(const QRect& changed) {
  Scroll(&changed);
}

void ChartPlot::Scroll(const QRect* changed) {
  if (mReplotting || hasInvalidatedPaintBuffers()) {
    ReplotAll();
    return;
  }
  const QRect area(0, axisRect()->top(), width(), height() - axisRect()->top());
  const QCPRange before = m_layersX;
  Redraw(
      [this, &area, &before, changed] {
        AxisAccess::SetupTicks(*xAxis);
        for (QCPLayer* layer : std::as_const(mLayers)) {
          const QSharedPointer<QCPAbstractPaintBuffer> buffer = LayerAccess::Buffer(*layer);
          if (!buffer) {
            continue;
          }
          if (layer == m_traceLayer) {
            if (changed == nullptr || !MoveTraces(*buffer, before, *changed)) {
              RedrawTraceBuffer(*buffer);
            }
          } else {
            // The backdrop fills `area` first, so nothing of the old pixels
            // shows.
            PaintLayerWithin(*layer, *buffer, area, false);
          }
        }
      },
      area);
}

bool ChartPlot::MoveTraces(QCPAbstractPaintBuffer& buffer, const QCPRange& before,
                           const QRect& changed) {
  const QRect reach = Reach();
  const QCPRange now = xAxis->range();  // the drawn range, while drawing
  const int widthPx = axisRect()->width();
  QPixmap* pixmap = PixmapAccess::Pixmap(buffer);
  // A picture at another pixel ratio moves by fractions of its pixels.
  if (pixmap == nullptr || pixmap->isNull() || buffer.devicePixelRatio() != 1 ||
      reach != axisRect()->rect() || widthPx <= 0 ||
      !(std::abs(now.size() - before.size()) <= 1e-12 * now.size())) {
    return false;
  }
  const double moved = (now.lower - before.lower) / (now.size() / widthPx);
  const double pixels = std::round(moved);
  if (!(std::abs(moved - pixels) < kWholePixel) || pixels < 1 ||
      pixels > kMostMovedShare * widthPx) {
    return false;
  }
  const int n = int(pixels);
  const QRect brought(QPoint(reach.right() - n - kMovedMarginPx, reach.top()), reach.bottomRight());
  const QRect redraw = (brought | changed) & reach;
  if (redraw.width() > kMostMovedShare * reach.width() || !TracesDrawSameMovedBy(n, before)) {
    return false;
  }
  pixmap->scroll(-n, 0, reach);
  PaintLayerWithin(*m_traceLayer, buffer, redraw, true);
  ++m_traceMoves;
  return true;
}

bool ChartPlot::TracesDrawSameMovedBy(int pixels, const QCPRange& before) const {
  // Keys a line must stay clear of to draw nothing in the plot area,
  // before or after the move, with a margin for antialiasing.
  const double margin = kMovedMarginPx * xAxis->range().size() / axisRect()->width();
  const double lo = before.lower - margin;
  const double hi = xAxis->range().upper + margin;
  for (QCPLayerable* child : m_traceLayer->children()) {
    if (!child->realVisibility()) {
      continue;
    }
    if (const auto* graph = dynamic_cast<const ColumnGraph*>(child)) {
      if (!graph->DrawsSameMovedBy(pixels, size())) {
        return false;
      }
    } else if (const auto* element = qobject_cast<const QCPLayoutElement*>(child);
               element != nullptr && !element->outerRect().intersects(Reach())) {
      continue;  // drawn only within its own rect
    } else if (const auto* curve = qobject_cast<const QCPCurve*>(child);
               curve == nullptr || !CurveOutside(*curve, lo, hi)) {
      return false;
    }
  }
  return true;
}

QRegion ChartPlot::Covered() const {
  QRegion covered;
  for (const QWidget* w = this; w->parentWidget() != nullptr && !w->isWindow();
       w = w->parentWidget()) {
    const QObjectList& siblings = w->parentWidget()->children();
    // Children later in the list are stacked above.
    for (qsizetype i = siblings.indexOf(const_cast<QWidget*>(w)) + 1; i < siblings.size(); ++i) {
      const auto* above = qobject_cast<const QWidget*>(siblings[i]);
      if (above != nullptr && above->isVisible() && !above->isWindow() &&
          (above->autoFillBackground() || above->testAttribute(Qt::WA_OpaquePaintEvent)) &&
          !above->testAttribute(Qt::WA_TranslucentBackground)) {
        covered += QRect(mapFrom(above->parentWidget(), above->pos()), above->size());
      }
    }
  }
  return covered & rect();
}

void ChartPlot::paintEvent(QPaintEvent* event) {
  QCPPainter painter(this);
  if (!painter.isActive()) {
    return;
  }
  const QRect dirty = event->rect();
  const QSharedPointer<QCPAbstractPaintBuffer> traces = LayerAccess::Buffer(*m_traceLayer);
  for (int i = 0; i < mPaintBuffers.size(); ++i) {
    const QSharedPointer<QCPAbstractPaintBuffer>& buffer = mPaintBuffers.at(i);
    const QImage image = PixmapAccess::Image(*buffer);
    if (image.isNull()) {
      buffer->draw(&painter);
      continue;
    }
    if (i == 0) {
      // Opaque from the backdrop up, so its pixels read the same without
      // alpha: a plain copy to the screen, no blend.
      QImage opaque(image.constBits(), image.width(), image.height(), image.bytesPerLine(),
                    QImage::Format_RGB32);
      opaque.setDevicePixelRatio(image.devicePixelRatio());
      painter.setCompositionMode(QPainter::CompositionMode_Source);
      DrawInStrips(painter, opaque, dirty);
      painter.setCompositionMode(QPainter::CompositionMode_SourceOver);
    } else {
      DrawInStrips(painter, image, buffer == traces ? dirty & Reach() : dirty);
    }
  }
}
