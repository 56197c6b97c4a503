#pragma once

#include <QString>
#include <stdexcept>

#include "acquisitionseams.h"

// Thrown by ReadAllAsText when there is nothing to read from: the port is
// not open, or its device has gone away and everything it delivered before
// has been read. The acquisition pass then ends where it stands.
class PortReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The serial port as the window uses it. Failing operations return false
// (the window turns that into its message); only ReadAllAsText throws.
class SerialPort : public TextSource {
 public:
  // Port number n leads to the device CurrentPortMap() gives (portsettings.h):
  // an assigned device, else "COMn" on Windows; elsewhere the device named
  // by the environment variable ORVANTA_COM<n>, or /dev/ttyS<n-1>. Takes
  // effect at the next Open.
  virtual void SetPortNumber(int number) = 0;
  virtual int PortNumber() const = 0;

  // "baud,parity,data bits,stop bits", e.g. "115200,n,8,1". False when
  // malformed; the previous settings then stay.
  virtual bool SetSettings(const QString& settings) = 0;

  // False when the device is missing or busy, or the port is open already.
  virtual bool Open() = 0;
  // Closing a port that is not open succeeds.
  virtual bool Close() = 0;
  // Open from the user's point of view: true from a successful Open until
  // Close, also while the device is away.
  virtual bool IsOpen() const = 0;

  // Sets the number of bytes waiting in the receive buffer; only 0 is
  // possible, and it discards whatever arrived before the call. False on a
  // port that is not open.
  virtual bool SetInBufferCount(qint32 count) = 0;

  // The system device the port opens (or last opened), e.g. "/dev/ttyUSB0";
  // empty where there is none.
  virtual QString DevicePath() const { return {}; }
};
