#pragma once

#include <QProxyStyle>

// The application's style, with a check box's indicator square shrunk where
// the box is too low for the style's own square (two of the designed boxes
// are 12 px high), so the square is drawn whole, centred on the text line.
class CheckBoxFitStyle : public QProxyStyle {
  Q_OBJECT
 public:
  int pixelMetric(PixelMetric metric, const QStyleOption* option = nullptr,
                  const QWidget* widget = nullptr) const override;
};
