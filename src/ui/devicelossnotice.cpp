#include "devicelossnotice.h"

#include "indicatorlamp.h"

DeviceLossNotice::DeviceLossNotice(IndicatorLamp& lamp,
                                   std::function<void(const QString&)> setNotice, QObject* parent)
    : QObject(parent), m_lamp(lamp), m_setNotice(std::move(setNotice)) {
  m_blink.setInterval(kBlinkIntervalMs);
  connect(&m_blink, &QTimer::timeout, this, &DeviceLossNotice::Blink);
}

QString DeviceLossNotice::NoticeText() {
  return tr("设备已断开，正在重新连接…");
}

void DeviceLossNotice::OnDeviceWentAway() {
  m_lit = true;
  m_blink.start();
  m_setNotice(NoticeText());
}

void DeviceLossNotice::OnDeviceCameBack() {
  if (!m_blink.isActive()) {
    return;
  }
  m_blink.stop();
  m_lamp.SetFillColor(kLampOn);
  m_setNotice(QString());
}

void DeviceLossNotice::OnPortClosed() {
  m_blink.stop();
  m_setNotice(QString());
}

void DeviceLossNotice::Blink() {
  m_lit = !m_lit;
  m_lamp.SetFillColor(m_lit ? kLampOn : kLampOff);
}
