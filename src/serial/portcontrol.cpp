#include "portcontrol.h"

#include <QComboBox>
#include <QPushButton>
#include <QSignalBlocker>
#include <QTimer>

#include "indicatorlamp.h"
#include "messagesink.h"
#include "serialport.h"

PortControl::PortControl(PortControlView view, SerialPort& port, MessageSink& messages, Pause pause)
    : m_view(view), m_port(port), m_messages(messages), m_pause(std::move(pause)) {}

void PortControl::StartUp() {
  // Filling the list moves its selection on its own, and the window hands
  // the list's selections to OnPortListClicked only on the next turn of the
  // event loop; the selection of the first entry raises it here, inside the
  // load sequence.
  {
    const QSignalBlocker quiet(&m_view.cmbCOM);
    m_view.cmbCOM.clear();
    for (int i = 0; i < kPortCount; ++i) {
      m_view.cmbCOM.addItem(QStringLiteral("COM%1").arg(i + 1));
    }
    m_view.cmbCOM.setCurrentIndex(-1);
    m_view.cmbCOM.setCurrentIndex(0);
  }
  OnPortListClicked();
  m_view.cmdStart.setEnabled(false);
  m_view.cmdCloseCOM.setVisible(false);
  m_view.cmdCloseCOM.setEnabled(false);
}

void PortControl::OnOpenPortClicked() {
  m_view.LED1.SetFillColor(kLampOn);
  m_view.cmdCloseCOM.setVisible(true);
  m_view.cmdCloseCOM.setEnabled(true);

  const int index = SelectedIndex();
  if (index < 0 || index > kPortCount) {
    ShowError(kNoPortSelected);
    return;
  }
  m_port.SetPortNumber(index + 1);

  // Nothing is undone on failure: the lamp stays on and the close button
  // stays over the open button, which the keyboard can still reach.
  if (!m_port.SetSettings(QString::fromUtf16(kPortSettings)) || !m_port.Open() ||
      !m_port.SetInBufferCount(0)) {
    ShowError(kOpenFailed);
    return;
  }
  m_view.cmdOpenCOM.setEnabled(false);
  m_view.cmdStart.setEnabled(true);
  m_view.cmdOpenCOM.setVisible(false);
  m_view.cmbCOM.setEnabled(false);
  if (m_portChanged) {
    m_portChanged(true, QStringLiteral("COM%1").arg(index + 1), m_port.DevicePath());
  }
}

void PortControl::OnClosePortClicked() {
  m_view.LED1.SetFillColor(kLampOff);
  if (!m_port.Close()) {
    ShowError(kCloseFailed);
    return;
  }
  if (m_portChanged) {
    m_portChanged(false, QString(), QString());
  }
  m_view.cmdOpenCOM.setVisible(true);
  m_view.cmdOpenCOM.setEnabled(true);
  m_view.cmdStart.setEnabled(false);
  m_view.cmdCloseCOM.setEnabled(false);
  m_view.cmdCloseCOM.setVisible(false);
  m_view.cmbCOM.setEnabled(true);
}

void PortControl::OnPortListClicked() {
  if (m_view.cmbCOM.currentIndex() + 1 == m_port.PortNumber()) {
    return;
  }
  m_view.Timer1.stop();
  const bool wasOpen = m_port.IsOpen();
  m_pause(100);
  if (!wasOpen && m_port.IsOpen()) {
    // The user's click on the open button was handled during the pause
    // (it committed the typed entry that raised this handler): that open
    // stands, with the buttons it set.
    return;
  }
  if (m_port.IsOpen() && m_port.Close() && m_portChanged) {
    m_portChanged(false, QString(), QString());
  }
  m_view.cmdOpenCOM.setEnabled(true);
}

void PortControl::OnConnectClicked() {
  if (m_view.Timer1.isActive()) {
    m_view.Timer1.stop();
    m_view.cmdStart.setText(QString::fromUtf16(kConnectCaption));
    m_view.LED2.SetFillColor(kLampOff);
    m_view.cmdCloseCOM.setEnabled(true);
  } else {
    m_view.Timer1.start();
    m_view.cmdStart.setText(QString::fromUtf16(kDisconnectCaption));
    m_view.LED2.SetFillColor(kLampOn);
    m_view.cmdCloseCOM.setEnabled(false);
  }
}

int PortControl::SelectedIndex() const {
  // The list keeps its index while the user types into it, so the typed
  // text decides: it selects the entry it spells exactly, or nothing.
  const QComboBox& list = m_view.cmbCOM;
  if (!list.isEditable()) {
    return list.currentIndex();
  }
  const QString text = list.currentText();
  if (list.currentIndex() >= 0 && list.itemText(list.currentIndex()) == text) {
    return list.currentIndex();
  }
  return list.findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void PortControl::ShowError(const char16_t* text) {
  m_messages.ShowError(QString::fromUtf16(kMessageTitle), QString::fromUtf16(text));
}
