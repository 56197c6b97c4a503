#pragma once

#include <QString>
#include <QWidget>

#include "acquisitionseams.h"

// A seven-segment integer readout. Shows `value` right-aligned in `digits`
// positions; leading positions show 0 or stay unlit. Values that do not fit
// show an overflow pattern (see segmentface.h). GetValue returns exactly the
// last value set, whatever the face can show. Its face is 16 px per digit
// plus 4 px wide (100 px for six digits, 68 px for four) and 28 px high.
class SegmentReadout : public QWidget, public Readout {
  Q_OBJECT
 public:
  SegmentReadout(int digits, bool leadingZeros, QWidget* parent = nullptr);

  void SetValue(qint32 value) override;
  qint32 GetValue() const override { return m_value; }
  int Digits() const { return m_digits; }
  bool LeadingZeros() const { return m_leadingZeros; }

  // One glyph per position, as segmentface.h describes them.
  QString Glyphs() const { return m_glyphs; }
  // What the face reads, as given to accessibility tools.
  QString ShownText() const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  qint32 m_value = 0;
  int m_digits;
  bool m_leadingZeros;
  QString m_glyphs;
};
