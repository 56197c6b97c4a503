#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <array>
#include <functional>
#include <optional>

#include "acquisitionseams.h"

class Clock;

// Watches the running test for what the user should be told of while away
// from the window: the charger's end-of-discharge notice, a device that has
// sent nothing for a minute while the port is open and being read, and a
// session store that has been failing for a minute. Each condition is raised
// once when it starts and again only after it has cleared.
//
// Hears the passes as a PassRecorder (on the window's thread), the port
// through PortChanged and the store through RecordingChanged; its own timer
// looks at the store once a second, and tests call Check() instead.
class AttentionWatch final : public QObject, public PassRecorder {
  Q_OBJECT
 public:
  enum class Condition { EndOfDischarge, DeviceAway, RecordingOff };
  // Told once per occurrence, with the texts to show.
  using Raise = std::function<void(Condition, const QString& summary, const QString& body)>;

  static constexpr qint64 kAwayMs = 60'000;
  // Passes further apart than this mean the reading stopped ("断开设备") and
  // started again: the device's silence is counted from the new start.
  static constexpr qint64 kPassGapMs = 5'000;

  AttentionWatch(const Clock& clock, Raise raise, QObject* parent = nullptr);

  // Each channel's cell label; an empty one leaves the channel unnamed.
  void SetCells(const std::array<QString, 2>& cells);
  // The port opened on list entry `entry` (e.g. "COM1") or closed.
  void PortChanged(bool open, const QString& entry, const QString& device);
  // The session store started failing (with why) or works again.
  void RecordingChanged(bool recording, const QString& error);
  // Looks at the conditions that need time to pass.
  void Check();
  // Starts the once-a-second check.
  void Start() { m_timer.start(); }

  void ChunkReceived(const QString& text) noexcept override;
  void FieldApplied(int, Quantity, qint32) noexcept override {}
  void PassEnded() noexcept override;

  // "通道 1（电池 A0001）、通道 2": which cells a notification is about.
  QString CellsText() const;

 private:
  void RaiseOnce(Condition condition, bool& told, const QString& summary, const QString& body);

  const Clock& m_clock;
  Raise m_raise;
  QTimer m_timer;
  std::array<QString, 2> m_cells;
  QString m_entry;
  bool m_open = false;
  std::optional<qint64> m_lastPassMs;
  qint64 m_lastArrivalMs = 0;  // last chunk with text, or when reading (re)started
  std::optional<qint64> m_offSinceMs;
  QString m_storeError;
  bool m_endTold = false;
  bool m_awayTold = false;
  bool m_offTold = false;
};
