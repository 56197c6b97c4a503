#include "lamp.h"

#include <QPainter>

Lamp::Lamp(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_TranslucentBackground);
}

void Lamp::SetFillColor(const QColor& color) {
  if (color != m_fill) {
    m_fill = color;
    update();
    NameState();
  }
}

void Lamp::SetStateNames(const QString& on, const QString& off) {
  m_onName = on;
  m_offName = off;
  NameState();
}

void Lamp::NameState() {
  setAccessibleName(m_fill == kLampOn ? m_onName : m_offName);
}

QRectF Lamp::Circle() const {
  const qreal d = qMin(width(), height());
  return QRectF((width() - d) / 2.0, (height() - d) / 2.0, d, d);
}

void Lamp::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::Antialiasing);
  painter.setPen(QPen(palette().color(QPalette::Button), 1.0));
  painter.setBrush(m_fill);
  painter.drawEllipse(Circle().adjusted(0.5, 0.5, -0.5, -0.5));
}
