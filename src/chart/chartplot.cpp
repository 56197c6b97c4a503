#include "chartplot.h"

#include <QPaintEvent>
#include <QSignalBlocker>
#include <cmath>

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
};

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

ChartPlot::ChartPlot(QWidget* parent) : QCustomPlot(parent) {
  setBackground(Qt::NoBrush);
  m_backdrop = new BackdropLayerable(this);
  addLayer(QStringLiteral("traces"), layer(layerCount() - 1), QCustomPlot::limAbove);
  m_traceLayer = layer(QStringLiteral("traces"));
  m_traceLayer->setMode(QCPLayer::lmBuffered);
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
  if (mReplotting || hasInvalidatedPaintBuffers()) {
    ReplotAll();
    return;
  }
  const QRect area(0, axisRect()->top(), width(), height() - axisRect()->top());
  Redraw(
      [this, &area] {
        AxisAccess::SetupTicks(*xAxis);
        for (QCPLayer* layer : std::as_const(mLayers)) {
          const QSharedPointer<QCPAbstractPaintBuffer> buffer = LayerAccess::Buffer(*layer);
          if (!buffer) {
            continue;
          }
          if (layer == m_traceLayer) {
            RedrawTraceBuffer(*buffer);
          } else {
            // The backdrop fills `area` first, so nothing of the old pixels
            // shows.
            PaintLayerWithin(*layer, *buffer, area, false);
          }
        }
      },
      area);
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
