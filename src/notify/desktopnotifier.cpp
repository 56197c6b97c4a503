#include "desktopnotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");

// Urgency levels of the notification protocol.
constexpr uchar kNormal = 1;
constexpr uchar kCritical = 2;

}  // namespace

DesktopNotifier::DesktopNotifier(QDBusConnection bus, Fallback fallback, Beep beep, QObject* parent)
    : QObject(parent),
      m_bus(std::move(bus)),
      m_fallback(std::move(fallback)),
      m_beep(std::move(beep)) {
  if (!m_bus.isConnected()) {
    return;
  }
  const QDBusMessage ask = QDBusMessage::createMethodCall(kService, kPath, kInterface,
                                                          QStringLiteral("GetCapabilities"));
  auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(ask), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
    const QDBusPendingReply<QStringList> reply = *w;
    if (!reply.isError()) {
      m_serviceSounds = reply.value().contains(QStringLiteral("sound"));
    }
    w->deleteLater();
  });
}

void DesktopNotifier::Notify(const Notification& notification) {
  if (!m_bus.isConnected()) {
    FallBack(notification);
    return;
  }
  QDBusMessage call =
      QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
  QVariantMap hints;
  hints.insert(QStringLiteral("urgency"),
               QVariant::fromValue(notification.urgent ? kCritical : kNormal));
  hints.insert(QStringLiteral("sound-name"),
               notification.urgent ? QStringLiteral("dialog-warning") : QStringLiteral("complete"));
  hints.insert(QStringLiteral("category"),
               notification.urgent ? QStringLiteral("device.error") : QStringLiteral("device"));
  call << QStringLiteral("Orvanta") << uint(0)
       << (notification.urgent ? QStringLiteral("dialog-warning") : QStringLiteral("battery"))
       << notification.summary << notification.body << QStringList() << hints
       << int(-1);  // the service's own time-out
  auto* watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
  connect(watcher, &QDBusPendingCallWatcher::finished, this,
          [this, notification](QDBusPendingCallWatcher* w) {
            const QDBusPendingReply<uint> reply = *w;
            w->deleteLater();
            if (reply.isError()) {
              FallBack(notification);
              return;
            }
            if (!m_serviceSounds && m_beep) {
              m_beep();
            }
            emit Delivered();
          });
}

void DesktopNotifier::FallBack(const Notification& notification) {
  if (m_fallback) {
    m_fallback(notification);
  }
  if (m_beep) {
    m_beep();
  }
  emit FellBack();
}
