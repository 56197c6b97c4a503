#pragma once

#include <QColor>

// A lamp whose only changing property is its fill colour.
class IndicatorLamp {
 public:
  virtual ~IndicatorLamp() = default;
  virtual void SetFillColor(const QColor& color) = 0;
  virtual QColor FillColor() const = 0;
};

inline const QColor kLampOn(0, 255, 0);
inline const QColor kLampOff(128, 128, 128);
