#include "serialportdevice.h"

#include <QSerialPort>
#include <QTextCodec>
#include <QTextDecoder>
#include <utility>

namespace {

// GBK, the charger's code page (936). The decoder keeps the first byte of a
// split character until the next read. Invalid bytes become U+FFFD; NUL
// bytes stay in the text.
std::unique_ptr<QTextDecoder> MakeDecoder() {
  QTextCodec* codec = QTextCodec::codecForName("GBK");
  if (!codec) {
    codec = QTextCodec::codecForName("GB18030");
  }
  if (!codec) {
    codec = QTextCodec::codecForLocale();
  }
  return std::unique_ptr<QTextDecoder>(codec->makeDecoder(QTextCodec::DefaultConversion));
}

QSerialPort::Parity ToQt(PortParity parity) {
  switch (parity) {
    case PortParity::Even:
      return QSerialPort::EvenParity;
    case PortParity::Odd:
      return QSerialPort::OddParity;
    case PortParity::Mark:
      return QSerialPort::MarkParity;
    case PortParity::Space:
      return QSerialPort::SpaceParity;
    case PortParity::None:
      break;
  }
  return QSerialPort::NoParity;
}

QSerialPort::StopBits ToQt(PortStopBits stopBits) {
  switch (stopBits) {
    case PortStopBits::OneAndHalf:
      return QSerialPort::OneAndHalfStop;
    case PortStopBits::Two:
      return QSerialPort::TwoStop;
    case PortStopBits::One:
      break;
  }
  return QSerialPort::OneStop;
}

}  // namespace

SerialPortDevice::SerialPortDevice(QObject* parent)
    : QObject(parent),
      m_port(new QSerialPort(this)),
      m_settings(*ParsePortSettings(QStringLiteral("9600,n,8,1"))) {
  m_reopenTimer.setInterval(kReopenIntervalMs);
  connect(&m_reopenTimer, &QTimer::timeout, this, &SerialPortDevice::TryReopen);
  connect(m_port, &QSerialPort::readyRead, this, &SerialPortDevice::DataReceived);
  connect(m_port, &QSerialPort::errorOccurred, this,
          [this](QSerialPort::SerialPortError error) { OnDeviceError(error); });
}

SerialPortDevice::~SerialPortDevice() = default;

QString SerialPortDevice::DeviceName(int number) {
  return CurrentPortMap().Device(number);
}

void SerialPortDevice::SetPortNumber(int number) {
  m_portNumber = number;
}

bool SerialPortDevice::SetSettings(const QString& settings) {
  const std::optional<PortSettings> parsed = ParsePortSettings(settings);
  if (!parsed) {
    return false;
  }
  m_settings = *parsed;
  return true;
}

bool SerialPortDevice::Open() {
  if (m_userOpen) {
    return false;
  }
  m_deviceName = DeviceName(m_portNumber);
  if (!OpenDevice()) {
    return false;
  }
  m_userOpen = true;
  m_deviceErrors = 0;
  m_salvaged.clear();
  m_decoder = MakeDecoder();
  return true;
}

bool SerialPortDevice::OpenDevice() {
  m_port->setPortName(m_deviceName);
  m_port->setBaudRate(m_settings.baud);
  m_port->setParity(ToQt(m_settings.parity));
  m_port->setDataBits(static_cast<QSerialPort::DataBits>(m_settings.dataBits));
  m_port->setStopBits(ToQt(m_settings.stopBits));
  m_port->setFlowControl(QSerialPort::NoFlowControl);
  if (!m_port->open(QIODevice::ReadWrite)) {
    return false;
  }
  m_deviceHeld = true;
  m_releaseQueued = false;
  return true;
}

bool SerialPortDevice::Close() {
  m_reopenTimer.stop();
  if (m_deviceHeld) {
    m_deviceHeld = false;
    m_port->close();
  }
  m_userOpen = false;
  m_salvaged.clear();
  m_decoder.reset();
  return true;
}

bool SerialPortDevice::SetInBufferCount(qint32 count) {
  if (!m_userOpen || count != 0) {
    return false;
  }
  if (m_deviceHeld) {
    m_port->clear(QSerialPort::Input);
    m_port->readAll();
  }
  m_salvaged.clear();
  m_decoder = MakeDecoder();
  return true;
}

QString SerialPortDevice::ReadAllAsText() {
  if (!m_userOpen) {
    throw PortReadError("the port is not open");
  }
  QString text = std::exchange(m_salvaged, QString());
  if (m_deviceHeld) {
    const QByteArray bytes = m_port->readAll();
    text += m_decoder->toUnicode(bytes.constData(), int(bytes.size()));
  } else if (text.isEmpty()) {
    throw PortReadError("the device has gone away");
  }
  return text;
}

qint64 SerialPortDevice::BytesBuffered() const {
  return m_deviceHeld ? m_port->bytesAvailable() : 0;
}

void SerialPortDevice::OnDeviceError(int error) {
  if (error == QSerialPort::NoError || !m_deviceHeld || !m_port->isOpen()) {
    return;  // cleared errors, and failed attempts to reopen
  }
  ++m_deviceErrors;
  // Closing from inside the error signal would delete the read notifier
  // that is raising it; the release runs as soon as control is back in the
  // event loop, before the notifier can fire more than once or twice.
  if (!m_releaseQueued) {
    m_releaseQueued = true;
    QMetaObject::invokeMethod(this, &SerialPortDevice::ReleaseDevice, Qt::QueuedConnection);
  }
}

void SerialPortDevice::ReleaseDevice() {
  m_releaseQueued = false;
  if (!m_deviceHeld) {
    return;
  }
  const QByteArray bytes = m_port->readAll();
  m_salvaged += m_decoder->toUnicode(bytes.constData(), int(bytes.size()));
  m_deviceHeld = false;  // first: closing a hung-up device reports errors of its own
  m_port->close();
  m_reopenTimer.start();
  emit DeviceWentAway();
}

void SerialPortDevice::TryReopen() {
  if (!m_userOpen || m_deviceHeld) {
    m_reopenTimer.stop();
    return;
  }
  if (OpenDevice()) {
    m_reopenTimer.stop();
    // As when the port is opened: what the device queued before it was
    // reopened is discarded. What was read before the cut is kept.
    m_port->clear(QSerialPort::Input);
    m_port->readAll();
    m_decoder = MakeDecoder();  // a new stream: no half character carries over
    emit DeviceCameBack();
  }
}

QString SerialPortDevice::DevicePath() const {
  return m_userOpen ? m_deviceName : DeviceName(m_portNumber);
}
