#pragma once

#include <QColor>
#include <QString>
#include <array>

#include "qcustomplot.h"

// One legend entry: the trace's colour mark and title and, while the data
// cursor is shown, the trace's values at the cursor and its y statistics.
// Captions are drawn bold in aqua, values in the entry's font and colour.
class ChartLegendItem : public QCPAbstractLegendItem {
  Q_OBJECT
 public:
  enum class Value { X, Y, YMax, YMin, YMean };
  static constexpr int kValueCount = 5;

  explicit ChartLegendItem(QCPLegend* legend);

  void SetColour(const QColor& colour) { m_colour = colour; }
  // The mark drawn dashed, as the entry's curves are.
  void SetDashed(bool dashed) { m_dashed = dashed; }
  bool Dashed() const { return m_dashed; }
  void SetTitle(const QString& title) { m_title = title; }
  QString Title() const { return m_title; }
  // NaN values are shown as "-".
  void SetValues(bool shown, const std::array<double, kValueCount>& values);
  bool ValuesShown() const { return m_valuesShown; }
  // The text of one value as the entry shows it.
  QString ValueText(Value value) const;
  void SetCaptionFont(const QFont& font) { m_captionFont = font; }

 protected:
  void draw(QCPPainter* painter) override;
  QSize minimumOuterSizeHint() const override;

 private:
  static constexpr int kMarkWidth = 20;  // px
  static constexpr int kGap = 6;         // px
  static constexpr int kSlack = 4;       // px, for rounding in text widths
  static QString Caption(int value);

  QColor m_colour;
  bool m_dashed = false;
  QString m_title;
  bool m_valuesShown = false;
  std::array<double, kValueCount> m_values{};
  QFont m_captionFont;
};
