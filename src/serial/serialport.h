#pragma once

#include <QString>

#include "acquisitionseams.h"

// The serial port as the window uses it. Failing operations return false
// (the window turns that into its message); nothing here throws.
class SerialPort : public TextSource {
 public:
  // Port number n is "COMn" on Windows; elsewhere the device named by the
  // environment variable ORVANTA_COM<n>, or /dev/ttyS<n-1>.
  virtual void SetPortNumber(int number) = 0;
  virtual int PortNumber() const = 0;

  // "baud,parity,data bits,stop bits", e.g. "115200,n,8,1". False when malformed.
  virtual bool SetSettings(const QString& settings) = 0;

  virtual bool Open() = 0;
  // Closing a port that is not open succeeds.
  virtual bool Close() = 0;
  virtual bool IsOpen() const = 0;

  // Sets the number of bytes waiting in the receive buffer; 0 discards
  // whatever arrived before the call. Only meaningful on an open port.
  virtual bool SetInBufferCount(qint32 count) = 0;
};
