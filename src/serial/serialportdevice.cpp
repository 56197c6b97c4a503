#include "serialportdevice.h"

SerialPortDevice::SerialPortDevice(QObject* parent) : QObject(parent) {}
SerialPortDevice::~SerialPortDevice() = default;
void SerialPortDevice::SetPortNumber(int number) { m_portNumber = number; }
bool SerialPortDevice::SetSettings(const QString&) { return false; }
bool SerialPortDevice::Open() { return false; }
bool SerialPortDevice::Close() { return true; }
bool SerialPortDevice::IsOpen() const { return false; }
bool SerialPortDevice::SetInBufferCount(qint32) { return false; }
QString SerialPortDevice::ReadAllAsText() { return {}; }
