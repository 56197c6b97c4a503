#pragma once

// One copy of the program's acquisition without its window, for the test
// programs that play a copy of Orvanta in a process of their own: the
// window's side of a pass, port COM1 opened as the program opens it, and the
// pass run on a timer over a recording.

#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <cstdio>

#include "acquisitionpass.h"
#include "serialportdevice.h"
#include "sessionrecording.h"

namespace headless {

class Box final : public TextBox {
 public:
  QString Text() const override { return m_text; }
  void SetText(const QString& text) override { m_text = text; }

 private:
  QString m_text;
};

class NoLog final : public LogSink {
 public:
  void AppendAndFollow(const QString&) override {}
};

class Value final : public Readout {
 public:
  void SetValue(qint32 v) override { m_value = v; }
  qint32 GetValue() const override { return m_value; }

 private:
  qint32 m_value = 0;
};

class NoChart final : public ChartSink {
 public:
  void AddPoint(int, double, double) override {}
};

// The window's side of a pass, without a window.
struct Targets {
  Box raw, nonFrame, status;
  NoLog log;
  std::array<Value, 10> values;
  NoChart chart;

  AcquisitionTargets For(TextSource& port, PassRecorder& recorder) {
    auto& v = values;
    return {.port = port,
            .rawBox = raw,
            .nonFrameBox = nonFrame,
            .statusBox = status,
            .log = log,
            .channel1 = {&v[0], &v[1], &v[2], &v[3], &v[4]},
            .channel2 = {&v[5], &v[6], &v[7], &v[8], &v[9]},
            .chart = chart,
            .recorder = &recorder};
  }
};

// Opens port COM1 (ORVANTA_COM1) as the program does and tells the
// recording; says on standard error, as `program`, when it cannot.
inline bool OpenCom1(SerialPortDevice& port, SessionRecording& recording, const char* program) {
  port.SetPortNumber(1);
  if (!port.SetSettings(QStringLiteral("115200,n,8,1")) || !port.Open() ||
      !port.SetInBufferCount(0)) {
    std::fprintf(stderr, "%s: cannot open COM1\n", program);
    return false;
  }
  recording.PortOpened(QStringLiteral("COM1"), port.DevicePath());
  return true;
}

// A pass over `port` every `tickMs`, but never before the previous pass's
// rows are committed (as the program's 1 s tick allows); prints "pass <n>"
// after each pass that recorded chunk n.
class PassLoop {
 public:
  PassLoop(SessionRecording& recording, TextSource& port, int tickMs) {
    m_tick.setInterval(tickMs);
    QObject::connect(&m_tick, &QTimer::timeout, [this, &recording, &port] {
      if (recording.Store().Pending() > 0) {
        return;  // the previous pass is not on disk yet
      }
      m_targets.raw.SetText(QString());  // stays empty unless this pass received something
      RunAcquisitionPass(m_targets.For(port, recording));
      if (!m_targets.raw.Text().isEmpty()) {
        std::printf("pass %lld\n", static_cast<long long>(++m_recorded));
        std::fflush(stdout);
      }
    });
    m_tick.start();
  }
  void Stop() { m_tick.stop(); }

 private:
  Targets m_targets;
  qint64 m_recorded = 0;
  QTimer m_tick;
};

}  // namespace headless
