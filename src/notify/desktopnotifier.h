#pragma once

#include <QDBusConnection>
#include <QObject>
#include <QString>
#include <functional>

// One message for the desktop.
struct Notification {
  QString summary;
  QString body;
  bool urgent = false;  // a fault (device, store) rather than a finished test
};

// Puts notifications on the desktop through the freedesktop notification
// service (org.freedesktop.Notifications on the session bus) and plays a
// sound with each.
//
// The sound: the notification carries the "sound-name" hint of the sound
// naming scheme ("complete", "dialog-warning"), so a desktop that plays
// sounds plays its own theme's sound, at its own volume and mute. Only a
// service that does not list the "sound" capability, or none at all, gets
// the program's beep instead, so the user hears one sound, never two or
// none.
//
// Every bus call is asynchronous: the window's thread never waits for the
// bus. When the service is missing or a call fails, the notification goes to
// `fallback` (the system tray's message) instead.
class DesktopNotifier final : public QObject {
  Q_OBJECT
 public:
  using Fallback = std::function<void(const Notification&)>;
  using Beep = std::function<void()>;

  DesktopNotifier(QDBusConnection bus, Fallback fallback, Beep beep, QObject* parent = nullptr);

  void Notify(const Notification& notification);

 signals:
  // A notification reached the service (tests wait for it).
  void Delivered();
  // A notification went to the fallback (tests wait for it).
  void FellBack();

 private:
  void FallBack(const Notification& notification);

  QDBusConnection m_bus;
  Fallback m_fallback;
  Beep m_beep;
  // Unknown until the service answers; until then, and without a service
  // that plays sounds, the program beeps.
  bool m_serviceSounds = false;
};
