#include "focusmark.h"

#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QEvent>
#include <QPainter>

namespace {

// The control a focused part belongs to.
QWidget* MarkedControl(QWidget* focus) {
  QWidget* parent = focus->parentWidget();
  if (parent && (qobject_cast<QComboBox*>(parent) || qobject_cast<QAbstractSpinBox*>(parent))) {
    return parent;
  }
  if (auto* area = parent ? qobject_cast<QAbstractScrollArea*>(parent) : nullptr) {
    if (area->viewport() == focus) {
      return area;
    }
  }
  return focus;
}

}  // namespace

FocusMark::FocusMark(QWidget* window) : QWidget(window) {
  setObjectName(QStringLiteral("FocusMark"));
  setAttribute(Qt::WA_TransparentForMouseEvents);
  setAttribute(Qt::WA_NoSystemBackground);
  setFocusPolicy(Qt::NoFocus);
  hide();
  connect(qApp, &QApplication::focusChanged, this, [this](QWidget*, QWidget* now) { Follow(now); });
}

void FocusMark::Follow(QWidget* focus) {
  QWidget* target =
      focus && focus->window() == window() && focus != this ? MarkedControl(focus) : nullptr;
  if (target == m_target) {
    Place();
    return;
  }
  if (m_target) {
    m_target->removeEventFilter(this);
  }
  m_target = target;
  if (m_target) {
    m_target->installEventFilter(this);
  }
  Place();
}

void FocusMark::Place() {
  if (!m_target || !m_target->isVisible()) {
    hide();
    return;
  }
  setGeometry(QRect(m_target->mapTo(window(), QPoint(0, 0)), m_target->size()));
  // The mark covers only its ring: the control and any widget over it (the
  // log pane over the chart) then scroll and repaint as if it were not
  // there, instead of repainting all they share with it every second.
  const QRect inner = rect().adjusted(kWidthPx, kWidthPx, -kWidthPx, -kWidthPx);
  setMask(QRegion(rect()).subtracted(QRegion(inner)));
  raise();
  show();
  update();
}

bool FocusMark::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_target) {
    switch (event->type()) {
      case QEvent::Move:
      case QEvent::Resize:
      case QEvent::Show:
      case QEvent::Hide:
        Place();
        break;
      default:
        break;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void FocusMark::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const QRectF ring =
      QRectF(rect()).adjusted(kWidthPx / 2.0, kWidthPx / 2.0, -kWidthPx / 2.0, -kWidthPx / 2.0);
  // White under black dashes: seen on the orange window, the white boxes
  // and the black chart alike.
  painter.setPen(QPen(Qt::white, kWidthPx));
  painter.drawRect(ring);
  QPen dashes(Qt::black, kWidthPx, Qt::CustomDashLine, Qt::FlatCap);
  dashes.setDashPattern({2, 2});  // in pen widths: 4 px dashes, 4 px gaps
  painter.setPen(dashes);
  painter.drawRect(ring);
}
