#include "testnotifications.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QSettings>
#include <QStyle>
#include <QSystemTrayIcon>
#include <cstdio>

namespace {
const QString kNoNotify = QStringLiteral("no-notify");
}

void AddNotifyOptions(QCommandLineParser& parser) {
  parser.addOption(QCommandLineOption(
      kNoNotify, QCoreApplication::translate(
                     "main",
                     "放电结束、设备一分钟无数据或记录停止一分钟时不发桌面通知（也可在设置文件的 "
                     "[notify] 节写 enabled=false）。")));
}

bool NotificationsEnabled(const QCommandLineParser& parser, QSettings& settings) {
  if (parser.isSet(kNoNotify)) {
    return false;
  }
  return settings.value(QStringLiteral("notify/enabled"), true).toBool();
}

TestNotifications::TestNotifications(const Clock& clock, QDBusConnection bus, bool enabled,
                                     QObject* parent)
    : QObject(parent),
      m_enabled(enabled),
      m_watch(
          clock,
          [this](AttentionWatch::Condition condition, const QString& summary, const QString& body) {
            if (m_enabled) {
              m_notifier.Notify(
                  {summary, body, condition != AttentionWatch::Condition::EndOfDischarge});
            }
          }),
      m_notifier(
          enabled ? bus : QDBusConnection(QString()),
          [this](const Notification& n) { ShowInTray(n); }, [] { QApplication::beep(); }) {
  if (m_enabled) {
    m_watch.Start();
  }
}

TestNotifications::~TestNotifications() = default;

void TestNotifications::ShowInTray(const Notification& notification) {
  if (!QSystemTrayIcon::isSystemTrayAvailable()) {
    std::fprintf(stderr, "orvanta: %s: %s\n", qPrintable(notification.summary),
                 qPrintable(notification.body));
    return;
  }
  if (!m_tray) {
    QIcon icon = QApplication::windowIcon();
    if (icon.isNull()) {
      icon = QApplication::style()->standardIcon(QStyle::SP_MessageBoxInformation);
    }
    m_tray = std::make_unique<QSystemTrayIcon>(icon);
    m_tray->setToolTip(QStringLiteral("Orvanta"));
    m_tray->show();
  }
  m_tray->showMessage(
      notification.summary, notification.body,
      notification.urgent ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information);
}
