#include "chartlegenditem.h"

#include <QFontMetrics>
#include <algorithm>
#include <cmath>

namespace {
const QColor kCaptionColour(0, 255, 255);
constexpr int kValuePrecision = 3;
}  // namespace

ChartLegendItem::ChartLegendItem(QCPLegend* legend) : QCPAbstractLegendItem(legend) {
  setSelectable(false);
}

void ChartLegendItem::SetValues(bool shown, const std::array<double, kValueCount>& values) {
  m_valuesShown = shown;
  m_values = values;
}

QString ChartLegendItem::Caption(int value) {
  static const std::array<QString, kValueCount> kCaptions = {
      QStringLiteral("X"), QStringLiteral("Y"), QStringLiteral("Y-Max"), QStringLiteral("Y-Min"),
      QStringLiteral("Y-Mean")};
  return kCaptions[size_t(value)];
}

QString ChartLegendItem::ValueText(Value value) const {
  const double v = m_values[size_t(value)];
  return std::isfinite(v) ? QString::number(v, 'f', kValuePrecision) : QStringLiteral("-");
}

QSize ChartLegendItem::minimumOuterSizeHint() const {
  const QFontMetrics text(mFont);
  const QFontMetrics caption(m_captionFont);
  int width = kMarkWidth + kGap + text.horizontalAdvance(m_title);
  int height = std::max(text.height(), caption.height());
  if (m_valuesShown) {
    int captionWidth = 0;
    int valueWidth = 0;
    for (int i = 0; i < kValueCount; ++i) {
      captionWidth = std::max(captionWidth, caption.horizontalAdvance(Caption(i)));
      valueWidth = std::max(valueWidth, text.horizontalAdvance(ValueText(Value(i))));
    }
    width = std::max(width, kMarkWidth + kGap + captionWidth + kGap + valueWidth);
    height += kValueCount * std::max(text.height(), caption.height());
  }
  return {width + kSlack + mMargins.left() + mMargins.right(),
          height + mMargins.top() + mMargins.bottom()};
}

void ChartLegendItem::draw(QCPPainter* painter) {
  const QFontMetrics text(mFont);
  const QFontMetrics caption(m_captionFont);
  const int lineHeight = std::max(text.height(), caption.height());
  const QRect r = mRect;
  const int markY = r.top() + lineHeight / 2;
  painter->setPen(QPen(m_colour, 2, m_dashed ? Qt::DashLine : Qt::SolidLine));
  painter->drawLine(QLineF(r.left(), markY, r.left() + kMarkWidth, markY));

  const int textLeft = r.left() + kMarkWidth + kGap;
  painter->setFont(mFont);
  painter->setPen(mTextColor);
  const int right = r.left() + r.width();
  painter->drawText(QRect(textLeft, r.top(), right - textLeft, lineHeight),
                    Qt::AlignLeft | Qt::AlignVCenter, m_title);
  if (!m_valuesShown) {
    return;
  }
  int captionWidth = 0;
  for (int i = 0; i < kValueCount; ++i) {
    captionWidth = std::max(captionWidth, caption.horizontalAdvance(Caption(i)));
  }
  const int valueLeft = textLeft + captionWidth + kGap;
  for (int i = 0; i < kValueCount; ++i) {
    const int top = r.top() + (i + 1) * lineHeight;
    painter->setFont(m_captionFont);
    painter->setPen(kCaptionColour);
    painter->drawText(QRect(textLeft, top, captionWidth, lineHeight),
                      Qt::AlignLeft | Qt::AlignVCenter, Caption(i));
    painter->setFont(mFont);
    painter->setPen(mTextColor);
    painter->drawText(QRect(valueLeft, top, right - valueLeft, lineHeight),
                      Qt::AlignRight | Qt::AlignVCenter, ValueText(Value(i)));
  }
}
