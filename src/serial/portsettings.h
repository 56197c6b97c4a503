#pragma once

#include <QString>
#include <QStringList>
#include <optional>

enum class PortParity { None, Even, Odd, Mark, Space };
enum class PortStopBits { One, OneAndHalf, Two };

// The line settings of a serial port, parsed from their text form
// "baud,parity,data bits,stop bits", for example "115200,n,8,1".
struct PortSettings {
  qint32 baud = 0;  // bits per second, > 0
  PortParity parity = PortParity::None;
  int dataBits = 8;  // 5 to 8
  PortStopBits stopBits = PortStopBits::One;

  friend bool operator==(const PortSettings&, const PortSettings&) = default;
};

// Strict: exactly four comma-separated fields with no blanks; the baud rate
// is a positive decimal integer, parity one of n, e, o, m, s (either case),
// data bits 5 to 8, stop bits 1, 1.5 or 2. Anything else gives nullopt.
std::optional<PortSettings> ParsePortSettings(const QString& text);

// Which device each port of the list (COM1 to COM16) leads to where the
// system has no COM ports of that name. Explicit assignments come from the
// command line (--port COMn=DEVICE) and the settings file's [ports] section
// (COMn=DEVICE); a port without one leads to the device named by the
// environment variable ORVANTA_COM<n>, or else /dev/ttyS<n-1>. On Windows
// an unassigned port is COMn itself.
class PortMap {
 public:
  static constexpr int kPortCount = 16;

  // Parses "COMn=DEVICE" (n from 1 to 16, "com" in either case, a device
  // that is not empty) and assigns it, replacing an earlier assignment of
  // the same port. False, with the reason in `error`, otherwise.
  bool Assign(const QString& assignment, QString* error);
  // The device assigned to port `number`, or empty.
  QString Assigned(int number) const;
  // Where port `number` leads: its assignment, else ORVANTA_COM<n>, else
  // the system's own name for it.
  QString Device(int number) const;

 private:
  QString m_devices[kPortCount];
};

class QSettings;
// Adds the assignments of `settings`' [ports] section to `map` without
// replacing those it holds already (the command line's come first). Returns
// the reasons of entries that were not understood, one a line.
QStringList ReadPortSection(QSettings& settings, PortMap& map);

// The map SerialPortDevice opens ports by; set once at start-up.
void SetPortMap(const PortMap& map);
const PortMap& CurrentPortMap();
