#include "segmentreadout.h"

#include <QPainter>

SegmentReadout::SegmentReadout(int digits, bool leadingZeros, QWidget* parent)
    : QWidget(parent), m_digits(digits), m_leadingZeros(leadingZeros) {}

void SegmentReadout::SetValue(qint32 value) {
  m_value = value;
  update();
}

void SegmentReadout::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.fillRect(rect(), Qt::black);
  painter.setPen(QColor(0, 255, 0));
  QString text = QString::number(m_value);
  if (m_leadingZeros) {
    text = text.rightJustified(m_digits, u'0');
  }
  painter.drawText(rect(), Qt::AlignRight | Qt::AlignVCenter, text);
}
