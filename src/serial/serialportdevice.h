#pragma once

#include <QObject>
#include <memory>

#include "serialport.h"

// The serial port on Qt SerialPort; the only class that knows QSerialPort.
class SerialPortDevice final : public QObject, public SerialPort {
  Q_OBJECT
 public:
  explicit SerialPortDevice(QObject* parent = nullptr);
  ~SerialPortDevice() override;

  void SetPortNumber(int number) override;
  int PortNumber() const override { return m_portNumber; }
  bool SetSettings(const QString& settings) override;
  bool Open() override;
  bool Close() override;
  bool IsOpen() const override;
  bool SetInBufferCount(qint32 count) override;
  QString ReadAllAsText() override;

 private:
  int m_portNumber = 1;
};
