#pragma once

#include <QString>
#include <QWidget>

// A seven-segment clock showing the time of day of a date-time value
// (days since 30 December 1899) as 24-hour hh:mm:ss; the date part is not
// shown. Before its first time is set it shows --:--:--. Its face is
// 137 × 33 px.
class SegmentClock : public QWidget {
  Q_OBJECT
 public:
  explicit SegmentClock(QWidget* parent = nullptr);

  void SetTime(double dateTime);
  double Time() const { return m_time; }
  bool HasTime() const { return m_hasTime; }

  // Six glyphs, hhmmss, as segmentface.h describes them.
  QString Glyphs() const { return m_glyphs; }
  // What the face reads ("hh:mm:ss"), as given to accessibility tools.
  QString ShownText() const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  double m_time = 0.0;  // days since 30 December 1899
  bool m_hasTime = false;
  QString m_glyphs;
};
