#pragma once

#include <QString>
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
