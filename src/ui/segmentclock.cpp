#include "segmentclock.h"

#include <QPainter>

#include "segmentaccessible.h"
#include "segmentface.h"
#include "segmentpainter.h"

SegmentClock::SegmentClock(QWidget* parent) : QWidget(parent), m_glyphs(ClockGlyphs(0.0, false)) {
  InstallSegmentAccessibility();
  setAttribute(Qt::WA_OpaquePaintEvent);
}

void SegmentClock::SetTime(double dateTime) {
  m_time = dateTime;
  m_hasTime = true;
  const QString glyphs = ClockGlyphs(dateTime, true);
  if (glyphs == m_glyphs) {
    return;
  }
  const QString previous = ShownText();
  m_glyphs = glyphs;
  update();
  NotifyShownTextChanged(this, previous, ShownText());
}

QString SegmentClock::ShownText() const {
  return ClockText(m_glyphs);
}

QSize SegmentClock::sizeHint() const {
  return QSize(137, 33);
}

void SegmentClock::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const qreal dpr = painter.device()->devicePixelRatioF();
  PaintFaceBackground(painter, rect());
  const ClockCells cells = ClockCellsFor(size(), dpr);
  for (int i = 0; i < cells.digits.size(); ++i) {
    PaintDigit(painter, cells.digits[i], SegmentsOf(m_glyphs[i]), dpr);
  }
  for (const QRectF& separator : cells.separators) {
    PaintSeparator(painter, separator, dpr);
  }
}
