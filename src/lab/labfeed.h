#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QSet>
#include <QSqlDriver>
#include <QString>
#include <array>
#include <optional>

class QTimer;

// One channel's newest voltage, current and capacity in a running session.
struct LabReading {
  qint32 voltage = 0;   // mV
  qint32 current = 0;   // mA
  qint32 capacity = 0;  // mAh
};

// A session as the lab view shows it.
struct LabSession {
  qint64 id = 0;  // the server's short id
  QString uuid;
  QString bench;
  QString port;
  QDateTime startUtc;
  bool running = true;  // false once the session has ended (the view drops it)
  std::array<QString, 2> cells;
  // Each channel's newest reading among the session's recent chunks; none
  // for a channel that had none.
  std::array<std::optional<LabReading>, 2> last;
  // The charger's status word as the bench's window shows it after the
  // newest chunk: "就绪", or "暂停" after the end-of-discharge notice.
  QString status;
  // How old the newest chunk was when the server was asked, by the
  // server's clock against the bench's; none when there is no chunk yet.
  std::optional<qint64> ageMs;
  qint64 chunks = 0;  // chunks on the server
};
Q_DECLARE_METATYPE(LabSession)

// The running sessions of every bench, followed on a thread of its own with
// a connection of its own: the full list when it connects, then each
// session again when the server notifies that chunks of it arrived
// (LISTEN on the channel every upload notifies). Never polls the chunks; a
// light query every few seconds only tells that the server is still there.
// When the server cannot be reached it says so and tries again.
//
// Create it, move it to a thread, then call Start() there (queued).
class LabFeed : public QObject {
  Q_OBJECT
 public:
  explicit LabFeed(QString uri, QObject* parent = nullptr);
  ~LabFeed() override;

  // How long to wait before connecting again, and between health checks.
  static constexpr int kRetryMs = 5000;
  static constexpr int kHealthMs = 5000;
  // How far back from the newest chunk a channel's last reading is looked
  // for, in chunks; a channel silent for longer shows none.
  static constexpr int kLookBackChunks = 600;

 public slots:
  void Start();
  void Stop();

 signals:
  // Connected: every running session.
  void Connected(const QList<LabSession>& running);
  // A session changed: new chunks, or it ended (running false).
  void SessionChanged(const LabSession& session);
  // The server cannot be reached or read; a user-facing message.
  void Unavailable(const QString& message);

 private:
  void Connect();
  void Disconnect();
  void Lost(const QString& why);
  void OnNotification(const QString& name, QSqlDriver::NotificationSource source,
                      const QVariant& payload);
  void ReadPending();
  void CheckHealth();

  QString m_uri;
  QString m_connection;
  QTimer* m_retry = nullptr;
  QTimer* m_health = nullptr;
  QTimer* m_pendingTimer = nullptr;
  QSet<QString> m_pending;  // uuids notified since the last read
};
