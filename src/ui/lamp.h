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
  // What the lamp says to accessibility tools when lit and when not; its
  // accessible name follows its fill colour.
  void SetStateNames(const QString& on, const QString& off);
  // The circle, in widget coordinates.
  QRectF Circle() const;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  void NameState();

  QColor m_fill = kLampOff;
  QString m_onName;
  QString m_offName;
};
