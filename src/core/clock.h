#pragma once

#include <QDateTime>
#include <QElapsedTimer>

// Where the program reads time. The monotonic count never jumps or wraps, so
// waits measured on it end on time across midnight and clock changes.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual qint64 MonotonicMs() const = 0;
  virtual QDateTime LocalNow() const = 0;
};

class SystemClock final : public Clock {
 public:
  SystemClock() { m_started.start(); }
  qint64 MonotonicMs() const override { return m_started.elapsed(); }
  QDateTime LocalNow() const override { return QDateTime::currentDateTime(); }

 private:
  QElapsedTimer m_started;
};
