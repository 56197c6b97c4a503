#include "labfeed.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTimer>

#include "acquisitionpass.h"
#include "labserver.h"
#include "serverschema.h"

namespace {

// Each running session with its newest chunk's text and each channel's
// newest voltage, current and capacity among the recent chunks; every
// lookup walks the chunks' key backwards from the newest.
QString SessionQuery(const QString& where) {
  return QStringLiteral(
             "SELECT s.id, s.uuid::text, s.bench, s.port, s.start_ms, s.ended, s.cell1, "
             "s.cell2, s.chunks, "
             "(extract(epoch FROM clock_timestamp()) * 1000)::bigint - s.last_wall_ms, "
             "n.text, n.text_escaped, a.v1, a.i1, a.r1, b.v2, b.i2, b.r2 "
             "FROM sessions s "
             "LEFT JOIN LATERAL (SELECT seq, text, text_escaped FROM chunks "
             "  WHERE session_uuid = s.uuid ORDER BY seq DESC LIMIT 1) n ON true "
             "LEFT JOIN LATERAL (SELECT v1, i1, r1 FROM chunks WHERE session_uuid = s.uuid "
             "  AND seq > n.seq - %1 AND v1 IS NOT NULL AND i1 IS NOT NULL AND r1 IS NOT NULL "
             "  ORDER BY seq DESC LIMIT 1) a ON true "
             "LEFT JOIN LATERAL (SELECT v2, i2, r2 FROM chunks WHERE session_uuid = s.uuid "
             "  AND seq > n.seq - %1 AND v2 IS NOT NULL AND i2 IS NOT NULL AND r2 IS NOT NULL "
             "  ORDER BY seq DESC LIMIT 1) b ON true "
             "WHERE %2 ORDER BY s.bench, s.port, s.id")
      .arg(LabFeed::kLookBackChunks)
      .arg(where);
}

LabSession SessionFrom(const QSqlQuery& q) {
  LabSession s;
  s.id = q.value(0).toLongLong();
  s.uuid = q.value(1).toString();
  s.bench = q.value(2).toString();
  s.port = q.value(3).toString();
  s.startUtc = QDateTime::fromMSecsSinceEpoch(q.value(4).toLongLong(), Qt::UTC);
  s.running = q.value(5).toInt() == 0;
  s.cells = {q.value(6).toString(), q.value(7).toString()};
  s.chunks = q.value(8).toLongLong();
  if (!q.value(9).isNull()) {
    s.ageMs = std::max<qint64>(0, q.value(9).toLongLong());
  }
  const bool notice =
      !q.value(10).isNull() && labserver::TextFrom(q, 10) == QStringView(kEndOfDischargeNotice);
  s.status = QString::fromUtf16(notice ? kStatusPaused : kStatusReady);
  for (int c = 0; c < 2; ++c) {
    const int first = 12 + 3 * c;
    if (!q.value(first).isNull()) {
      s.last[size_t(c)] = LabReading{q.value(first).toInt(), q.value(first + 1).toInt(),
                                     q.value(first + 2).toInt()};
    }
  }
  return s;
}

}  // namespace

LabFeed::LabFeed(QString uri, QObject* parent) : QObject(parent), m_uri(std::move(uri)) {
  qRegisterMetaType<LabSession>();
  qRegisterMetaType<QList<LabSession>>();
}

LabFeed::~LabFeed() {
  Disconnect();
}

void LabFeed::Start() {
  m_retry = new QTimer(this);
  m_retry->setSingleShot(true);
  m_retry->setInterval(kRetryMs);
  connect(m_retry, &QTimer::timeout, this, &LabFeed::Connect);
  m_health = new QTimer(this);
  m_health->setInterval(kHealthMs);
  connect(m_health, &QTimer::timeout, this, &LabFeed::CheckHealth);
  // Notifications that come together (every bench's batch of one second)
  // are read together.
  m_pendingTimer = new QTimer(this);
  m_pendingTimer->setSingleShot(true);
  m_pendingTimer->setInterval(50);
  connect(m_pendingTimer, &QTimer::timeout, this, &LabFeed::ReadPending);
  Connect();
}

void LabFeed::Stop() {
  if (m_retry) {
    m_retry->stop();
    m_health->stop();
    m_pendingTimer->stop();
  }
  Disconnect();
}

void LabFeed::Disconnect() {
  if (m_connection.isEmpty()) {
    return;
  }
  if (QSqlDriver* driver = QSqlDatabase::database(m_connection, false).driver()) {
    disconnect(driver, nullptr, this, nullptr);
  }
  labserver::Close(m_connection);
  m_connection.clear();
}

void LabFeed::Lost(const QString& why) {
  Disconnect();
  m_health->stop();
  m_pending.clear();
  emit Unavailable(why);
  m_retry->start();
}

void LabFeed::Connect() {
  QString error;
  m_connection = labserver::Connect(m_uri, "lab", &error);
  if (m_connection.isEmpty()) {
    Lost(error);
    return;
  }
  QSqlDatabase db = QSqlDatabase::database(m_connection, false);
  QSqlDriver* driver = db.driver();
  // Listening before the first read: a chunk arriving in between is then
  // notified, not lost.
  if (!driver->subscribeToNotification(QString::fromLatin1(serverschema::kNotifyChannel))) {
    Lost(QCoreApplication::translate("LabServer", "无法接收实验室服务器的更新通知：%1")
             .arg(driver->lastError().text()));
    return;
  }
  connect(driver, &QSqlDriver::notification, this, &LabFeed::OnNotification);
  QSqlQuery q(db);
  QList<LabSession> running;
  if (!q.exec(SessionQuery(QStringLiteral("s.ended = 0")))) {
    Lost(QCoreApplication::translate("LabServer", "无法读取实验室服务器：%1")
             .arg(q.lastError().text()));
    return;
  }
  while (q.next()) {
    running << SessionFrom(q);
  }
  m_health->start();
  emit Connected(running);
}

void LabFeed::OnNotification(const QString& name, QSqlDriver::NotificationSource,
                             const QVariant& payload) {
  if (name != QLatin1StringView(serverschema::kNotifyChannel)) {
    return;
  }
  m_pending.insert(payload.toString().trimmed().toLower());
  if (!m_pendingTimer->isActive()) {
    m_pendingTimer->start();
  }
}

void LabFeed::ReadPending() {
  if (m_connection.isEmpty() || m_pending.isEmpty()) {
    return;
  }
  const QSet<QString> pending = std::exchange(m_pending, {});
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  // The payload is bound as text and compared as text: whatever a
  // notification carries is never part of the statement.
  q.prepare(SessionQuery(QStringLiteral("s.uuid::text = ?")));
  for (const QString& uuid : pending) {
    q.addBindValue(uuid);
    if (!q.exec()) {
      Lost(QCoreApplication::translate("LabServer", "无法读取实验室服务器：%1")
               .arg(q.lastError().text()));
      return;
    }
    while (q.next()) {
      emit SessionChanged(SessionFrom(q));
    }
  }
}

void LabFeed::CheckHealth() {
  QSqlQuery q(QSqlDatabase::database(m_connection, false));
  if (!q.exec(QStringLiteral("SELECT 1"))) {
    Lost(QCoreApplication::translate("LabServer", "与实验室服务器的连接断开了：%1")
             .arg(q.lastError().text()));
  }
}
