#include "segmentreadout.h"

#include <QPainter>
#include <algorithm>

#include "segmentaccessible.h"
#include "segmentface.h"
#include "segmentpainter.h"

namespace {

constexpr int kPixelsPerDigit = 16;
constexpr int kExtraWidth = 4;   // px
constexpr int kFaceHeight = 28;  // px

}  // namespace

SegmentReadout::SegmentReadout(int digits, bool leadingZeros, QWidget* parent)
    : QWidget(parent),
      m_digits(std::max(digits, 1)),
      m_leadingZeros(leadingZeros),
      m_glyphs(ReadoutGlyphs(0, m_digits, leadingZeros)) {
  InstallSegmentAccessibility();
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void SegmentReadout::SetValue(qint32 value) {
  m_value = value;
  const QString glyphs = ReadoutGlyphs(value, m_digits, m_leadingZeros);
  if (glyphs == m_glyphs) {
    return;
  }
  const QString previous = ShownText();
  m_glyphs = glyphs;
  update();
  NotifyShownTextChanged(this, previous, ShownText());
}

QString SegmentReadout::ShownText() const {
  return ReadoutText(m_glyphs);
}

QSize SegmentReadout::sizeHint() const {
  return QSize(kPixelsPerDigit * m_digits + kExtraWidth, kFaceHeight);
}

void SegmentReadout::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const qreal dpr = painter.device()->devicePixelRatioF();
  PaintFaceBackground(painter, rect());
  const QList<QRectF> cells = ReadoutCells(size(), m_digits, dpr);
  for (int i = 0; i < cells.size(); ++i) {
    PaintDigit(painter, cells[i], SegmentsOf(m_glyphs[i]), dpr);
  }
}
