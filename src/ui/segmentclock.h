#pragma once

#include <QWidget>

// A seven-segment clock showing the time of day of a date-time value
// (days since 30 December 1899).
class SegmentClock : public QWidget {
  Q_OBJECT
 public:
  explicit SegmentClock(QWidget* parent = nullptr);

  void SetTime(double dateTime);
  double Time() const { return m_time; }
  bool HasTime() const { return m_hasTime; }

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  double m_time = 0.0;
  bool m_hasTime = false;
};
