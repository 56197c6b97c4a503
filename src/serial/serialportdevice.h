#pragma once

#include <QObject>
#include <QTimer>
#include <memory>

#include "portsettings.h"
#include "serialport.h"

class QSerialPort;
class QTextDecoder;

// The serial port on Qt SerialPort; the only class that knows QSerialPort.
//
// Received bytes are decoded from GBK by one decoder per open port, so a
// two-byte character split across two reads arrives whole.
//
// A device that goes away while the port is open (a USB adapter pulled out)
// is released at once on the first error it reports; what it delivered
// before is kept for the next read. The port stays open for the user, and
// the same device is reopened, one attempt a second, until it is back or
// the user closes the port; a reopen discards what the device had queued, as
// an open does. Qt SerialPort before 6.7.1 reports a vanished
// device on Unix as an endless stream of ReadErrors; releasing on any error
// is what keeps that from becoming a busy loop.
class SerialPortDevice final : public QObject, public SerialPort {
  Q_OBJECT
 public:
  static constexpr int kReopenIntervalMs = 1000;

  explicit SerialPortDevice(QObject* parent = nullptr);
  ~SerialPortDevice() override;

  // The system name of port `number` (see SerialPort::SetPortNumber).
  static QString DeviceName(int number);

  void SetPortNumber(int number) override;
  int PortNumber() const override { return m_portNumber; }
  bool SetSettings(const QString& settings) override;
  bool Open() override;
  bool Close() override;
  bool IsOpen() const override { return m_userOpen; }
  bool SetInBufferCount(qint32 count) override;
  QString ReadAllAsText() override;
  QString DevicePath() const override;

  // True while the port is open but its device is away.
  bool DeviceLost() const { return m_userOpen && !m_deviceHeld; }
  // True while attempts to reopen a vanished device are scheduled.
  bool Reopening() const { return m_reopenTimer.isActive(); }
  // Bytes received and not yet read.
  qint64 BytesBuffered() const;
  // Device errors handled since the port was opened.
  int DeviceErrorCount() const { return m_deviceErrors; }

 signals:
  void DataReceived();
  void DeviceWentAway();
  void DeviceCameBack();

 private:
  bool OpenDevice();
  void OnDeviceError(int error);
  void ReleaseDevice();
  void TryReopen();

  QSerialPort* m_port;
  int m_portNumber = 1;
  PortSettings m_settings;
  QString m_deviceName;  // the device of the current open, kept for reopening
  bool m_userOpen = false;
  bool m_deviceHeld = false;
  bool m_releaseQueued = false;
  int m_deviceErrors = 0;
  std::unique_ptr<QTextDecoder> m_decoder;
  QString m_salvaged;  // decoded text of a device that went away, not yet read
  QTimer m_reopenTimer;
};
