#pragma once

#include <QObject>
#include <QString>
#include <array>
#include <memory>
#include <vector>

#include "reviewsource.h"

class QTimer;
class ServerSessionReader;

using ChannelReadings = std::array<std::vector<ChannelSample>, 2>;
Q_DECLARE_METATYPE(ChannelReadings)

// Follows one session on the lab server as it records: whenever the server
// notifies that chunks of it arrived, reads the chunks after the last one
// handed over and hands over their channels' complete readings. Lives on a
// thread of its own with a connection of its own; create it, move it to
// the thread, then call Start() there (queued).
class SessionFollower : public QObject {
  Q_OBJECT
 public:
  // `afterSeq`: the last chunk already shown.
  SessionFollower(QString uri, qint64 sessionId, qint64 afterSeq, QObject* parent = nullptr);
  ~SessionFollower() override;

 public slots:
  void Start();
  void Stop();

 signals:
  // New complete readings; `chunks` is the number of chunks read in all,
  // `running` whether the session still records.
  void Arrived(qint64 sessionId, const ChannelReadings& readings, qint64 chunks, bool running);
  void Unavailable(const QString& message);

 private:
  void Connect();
  void ReadNew();
  void Lost(const QString& why);

  QString m_uri;
  qint64 m_sessionId = 0;
  qint64 m_lastSeq = 0;
  QString m_uuid;
  std::unique_ptr<ServerSessionReader> m_reader;
  QTimer* m_retry = nullptr;
  QTimer* m_health = nullptr;
};
