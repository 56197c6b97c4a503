#pragma once

#include <QDBusConnection>
#include <QObject>
#include <array>
#include <memory>

#include "acquisitionseams.h"
#include "attentionwatch.h"
#include "desktopnotifier.h"

class Clock;
class QCommandLineParser;
class QSettings;
class QSystemTrayIcon;

// The command line's --no-notify.
void AddNotifyOptions(QCommandLineParser& parser);
// Whether the program tells the desktop when a test ends or stalls: on
// unless --no-notify is given or the settings file says
//   [notify]
//   enabled=false
bool NotificationsEnabled(const QCommandLineParser& parser, QSettings& settings);

// The desktop notifications of a running test: the watch over the passes,
// the port and the store, and the notifier that tells the desktop (or the
// system tray's message where no notification service runs).
class TestNotifications final : public QObject {
  Q_OBJECT
 public:
  TestNotifications(const Clock& clock, QDBusConnection bus, bool enabled,
                    QObject* parent = nullptr);
  ~TestNotifications() override;

  // The cells on channel 1 and 2, named in each notification.
  void SetCells(const std::array<QString, 2>& cells) { m_watch.SetCells(cells); }

  AttentionWatch& Watch() { return m_watch; }
  DesktopNotifier& Notifier() { return m_notifier; }

 private:
  void ShowInTray(const Notification& notification);

  bool m_enabled;
  AttentionWatch m_watch;
  DesktopNotifier m_notifier;
  std::unique_ptr<QSystemTrayIcon> m_tray;
};

// Hands each pass to two recorders (the store and the notifications).
class PassRecorderPair final : public PassRecorder {
 public:
  PassRecorderPair(PassRecorder* first, PassRecorder* second) : m_first(first), m_second(second) {}
  void ChunkReceived(const QString& text) noexcept override {
    for (PassRecorder* r : {m_first, m_second}) {
      if (r) {
        r->ChunkReceived(text);
      }
    }
  }
  void FieldApplied(int channel, Quantity quantity, qint32 value) noexcept override {
    for (PassRecorder* r : {m_first, m_second}) {
      if (r) {
        r->FieldApplied(channel, quantity, value);
      }
    }
  }
  void PassEnded() noexcept override {
    for (PassRecorder* r : {m_first, m_second}) {
      if (r) {
        r->PassEnded();
      }
    }
  }

 private:
  PassRecorder* m_first;
  PassRecorder* m_second;
};
