#include "checkboxfitstyle.h"

#include <QWidget>
#include <algorithm>

int CheckBoxFitStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                                  const QWidget* widget) const {
  const int base = QProxyStyle::pixelMetric(metric, option, widget);
  if ((metric == PM_IndicatorWidth || metric == PM_IndicatorHeight) && widget != nullptr) {
    // One pixel free above and below the square.
    return std::max(1, std::min(base, widget->height() - 2));
  }
  return base;
}
