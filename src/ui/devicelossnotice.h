#pragma once

#include <QObject>
#include <QTimer>
#include <functional>

class IndicatorLamp;

// Shows plainly that the open port's device has gone away and is being
// reopened, without changing the designed port states: while it is away the
// port lamp blinks between its on and off colours and a notice stands in the
// window title; when it is back the lamp is steadily on again and the notice
// is gone. Closing the port ends the notice; the close sequence sets the lamp.
class DeviceLossNotice : public QObject {
  Q_OBJECT
 public:
  static constexpr int kBlinkIntervalMs = 500;

  // `setNotice` sets the title notice (an empty text clears it).
  DeviceLossNotice(IndicatorLamp& lamp, std::function<void(const QString&)> setNotice,
                   QObject* parent = nullptr);

  void OnDeviceWentAway();
  void OnDeviceCameBack();
  void OnPortClosed();

  bool Showing() const { return m_blink.isActive(); }
  // The title notice while the device is away.
  static QString NoticeText();

 private:
  void Blink();

  IndicatorLamp& m_lamp;
  std::function<void(const QString&)> m_setNotice;
  QTimer m_blink;
  bool m_lit = true;
};
