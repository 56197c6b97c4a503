#include "segmentclock.h"

#include <QPainter>

#include "datetime.h"

SegmentClock::SegmentClock(QWidget* parent) : QWidget(parent) {}

void SegmentClock::SetTime(double dateTime) {
  m_time = dateTime;
  m_hasTime = true;
  update();
}

void SegmentClock::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  painter.setPen(QColor(0, 255, 0));
  const QString text =
      m_hasTime ? TimeOfDayOf(m_time).toString(QStringLiteral("HH:mm:ss")) : QStringLiteral("--:--:--");
  painter.drawText(rect(), Qt::AlignCenter, text);
}
