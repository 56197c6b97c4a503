#pragma once

#include <QString>
#include <QtGlobal>

#include "telemetryframe.h"

// The small interfaces the acquisition pass talks to. The window plugs its
// controls in; tests plug in fakes. Any of them may throw to signal that an
// operation failed: the pass then ends where it stands.

// The serial port, as far as a pass uses it.
class TextSource {
 public:
  virtual ~TextSource() = default;
  // Everything received since the previous call, decoded (may be empty).
  virtual QString ReadAllAsText() = 0;
};

// A text box whose whole text is read and replaced.
class TextBox {
 public:
  virtual ~TextBox() = default;
  virtual QString Text() const = 0;
  virtual void SetText(const QString& text) = 0;
};

// The receive log.
class LogSink {
 public:
  virtual ~LogSink() = default;
  // Appends the text as received and moves the caret to the end.
  virtual void AppendAndFollow(const QString& text) = 0;
};

// A numeric readout. GetValue returns exactly the last value set.
class Readout {
 public:
  virtual ~Readout() = default;
  virtual void SetValue(qint32 value) = 0;
  virtual qint32 GetValue() const = 0;
};

// The live chart: trace 0 is channel 1, trace 1 is channel 2.
class ChartSink {
 public:
  virtual ~ChartSink() = default;
  virtual void AddPoint(int trace, double x, double y) = 0;
};

// Hears what a pass received and applied, for a record kept beside the
// window. Called on the pass's own thread, so it must return at once (no
// disk, no waiting) and must not throw.
class PassRecorder {
 public:
  virtual ~PassRecorder() = default;
  // The chunk exactly as the port delivered it (possibly empty), before it
  // is shown or logged.
  virtual void ChunkReceived(const QString& text) noexcept = 0;
  // One field set on its readout (channel 1 or 2).
  virtual void FieldApplied(int channel, Quantity quantity, qint32 value) noexcept = 0;
  // The pass is over, whether it completed or ended early.
  virtual void PassEnded() noexcept = 0;
};
