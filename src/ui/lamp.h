#pragma once

#include <QWidget>

#include "indicatorlamp.h"

// A filled circle: diameter the smaller side of the widget, centred, with a
// border in the control-face colour. Only the fill colour changes.
class Lamp : public QWidget, public IndicatorLamp {
  Q_OBJECT
 public:
  explicit Lamp(QWidget* parent = nullptr);

  void SetFillColor(const QColor& color) override;
  QColor FillColor() const override { return m_fill; }
  // The circle, in widget coordinates.
  QRectF Circle() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  QColor m_fill = kLampOff;
};
