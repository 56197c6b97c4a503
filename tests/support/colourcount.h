#pragma once

#include <QColor>
#include <QImage>
#include <QRect>
#include <algorithm>
#include <cstdlib>

// Pixels of the colour in a rendered chart, also where antialiasing blends it
// into the black face; only within the area, when one is given.
inline int CountColour(const QImage& image, const QColor& colour, QRect area = {}) {
  if (area.isNull()) {
    area = image.rect();
  }
  const int top = std::max({colour.red(), colour.green(), colour.blue()});
  int n = 0;
  for (int y = area.top(); y <= area.bottom(); ++y) {
    for (int x = area.left(); x <= area.right(); ++x) {
      const QColor c = image.pixelColor(x, y);
      const double k = std::max({c.red(), c.green(), c.blue()}) / double(top);
      if (k > 0.4 && std::abs(c.red() - k * colour.red()) < 30 &&
          std::abs(c.green() - k * colour.green()) < 30 &&
          std::abs(c.blue() - k * colour.blue()) < 30) {
        ++n;
      }
    }
  }
  return n;
}
