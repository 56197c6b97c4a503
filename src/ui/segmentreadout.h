#pragma once

#include <QWidget>

#include "acquisitionseams.h"

// A seven-segment integer readout. Shows `value` right-aligned in `digits`
// positions; leading positions show 0 or stay unlit. GetValue returns exactly
// the last value set, whatever the face can show.
class SegmentReadout : public QWidget, public Readout {
  Q_OBJECT
 public:
  SegmentReadout(int digits, bool leadingZeros, QWidget* parent = nullptr);

  void SetValue(qint32 value) override;
  qint32 GetValue() const override { return m_value; }
  int Digits() const { return m_digits; }
  bool LeadingZeros() const { return m_leadingZeros; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  qint32 m_value = 0;
  int m_digits;
  bool m_leadingZeros;
};
