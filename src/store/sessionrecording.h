#pragma once

#include <QObject>
#include <functional>
#include <optional>

#include "acquisitionseams.h"
#include "sessionstore.h"

class Clock;

// Records what the window receives into the session store: a session runs
// from the port being opened to it being closed (or the program ending), and
// every pass that received something adds one chunk with the readings it set.
// Runs on the window's thread and never waits for the disk.
class SessionRecording final : public QObject, public PassRecorder {
  Q_OBJECT
 public:
  // `notice` gets the short text the window shows while recording is off,
  // and an empty text when it is back.
  using Notice = std::function<void(const QString&)>;

  SessionRecording(SessionStore::Settings settings, const Clock& clock, QObject* parent = nullptr);
  ~SessionRecording() override;

  void SetNotice(Notice notice);
  // `message` gets, once each, what the user should know about the store
  // without it stopping anything: a file set aside, a store file that was
  // deleted behind the program's back, sessions deleted to stay under the
  // size limit. Messages from before it is set wait for it.
  void SetMessage(Notice message);

  // The port `entry` ("COM1") was opened on `device`, or the port was closed.
  void PortOpened(const QString& entry, const QString& device);
  void PortClosed();
  // For the window's port control: both of the above in one call.
  std::function<void(bool open, const QString& entry, const QString& device)> PortHandler();

  // The cells on the charger's channels (channel 1, channel 2; empty when
  // unlabelled): they label the running session and the ones after it.
  void SetCells(const std::array<QString, 2>& cells);
  const std::array<QString, 2>& Cells() const { return m_cells; }

  void ChunkReceived(const QString& text) noexcept override;
  void FieldApplied(int channel, Quantity quantity, qint32 value) noexcept override;
  void PassEnded() noexcept override;

  SessionStore& Store() { return *m_store; }
  // The text shown while recording is off.
  static QString OffNotice();

 private:
  void OnRecordingChanged(bool recording);
  void Tell(const QString& text);
  qint64 WallMs() const;

  const Clock& m_clock;
  std::unique_ptr<SessionStore> m_store;
  Notice m_notice;
  Notice m_message;
  QStringList m_untold;                // messages waiting for SetMessage
  QString m_lastLimitError;            // told once
  std::optional<qint64> m_session;     // token of the running session
  std::array<QString, 2> m_cells;      // labels for the sessions begun
  qint64 m_seq = 0;                    // last chunk number of the running session
  std::optional<StoredChunk> m_chunk;  // the pass in progress
};
