#include "sessionfollower.h"

#include <QCoreApplication>
#include <QSqlDriver>
#include <QSqlError>
#include <QTimer>

#include "labfeed.h"
#include "serverschema.h"
#include "serversessionreader.h"

SessionFollower::SessionFollower(QString uri, qint64 sessionId, qint64 afterSeq, QObject* parent)
    : QObject(parent), m_uri(std::move(uri)), m_sessionId(sessionId), m_lastSeq(afterSeq) {
  qRegisterMetaType<ChannelReadings>();
}

SessionFollower::~SessionFollower() = default;

void SessionFollower::Start() {
  m_retry = new QTimer(this);
  m_retry->setSingleShot(true);
  m_retry->setInterval(LabFeed::kRetryMs);
  connect(m_retry, &QTimer::timeout, this, &SessionFollower::Connect);
  // Only tells that the server is still there; new chunks come by
  // notification.
  m_health = new QTimer(this);
  m_health->setInterval(LabFeed::kHealthMs);
  connect(m_health, &QTimer::timeout, this, [this] {
    if (m_reader && !m_reader->Find(m_sessionId) && !m_reader->ReadError().isEmpty()) {
      Lost(m_reader->ReadError());
    }
  });
  Connect();
}

void SessionFollower::Stop() {
  if (m_retry) {
    m_retry->stop();
    m_health->stop();
  }
  m_reader.reset();
}

void SessionFollower::Lost(const QString& why) {
  m_reader.reset();
  m_health->stop();
  emit Unavailable(why);
  m_retry->start();
}

void SessionFollower::Connect() {
  QString error;
  m_reader = ServerSessionReader::Open(m_uri, &error);
  if (!m_reader) {
    Lost(error);
    return;
  }
  QSqlDriver* driver = m_reader->Driver();
  if (!driver->subscribeToNotification(QString::fromLatin1(serverschema::kNotifyChannel))) {
    Lost(driver->lastError().text());
    return;
  }
  connect(driver, &QSqlDriver::notification, this,
          [this](const QString&, QSqlDriver::NotificationSource, const QVariant& payload) {
            if (payload.toString().trimmed().compare(m_uuid, Qt::CaseInsensitive) == 0) {
              ReadNew();
            }
          });
  m_health->start();
  // What arrived before listening began.
  ReadNew();
}

void SessionFollower::ReadNew() {
  if (!m_reader) {
    return;
  }
  const std::optional<StoredSession> session = m_reader->Find(m_sessionId);
  if (!session) {
    Lost(m_reader->ReadError().isEmpty()
             ? QCoreApplication::translate("LabServer", "实验室服务器上没有这个会话了")
             : m_reader->ReadError());
    return;
  }
  m_uuid = session->uuid;
  ChannelReadings readings;
  const bool ok =
      m_reader->ForEachChunkAfter(m_sessionId, m_lastSeq, [&](const StoredChunk& chunk) {
        m_lastSeq = chunk.seq;
        for (size_t c = 0; c < 2; ++c) {
          if (const std::optional<ChannelSample> sample = chunk.channel[c].Sample()) {
            readings[c].push_back(*sample);
          }
        }
      });
  if (!ok) {
    Lost(QCoreApplication::translate("LabServer", "无法读取实验室服务器"));
    return;
  }
  emit Arrived(m_sessionId, readings, m_lastSeq, session->ended == SessionEnd::Running);
}
