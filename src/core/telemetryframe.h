#pragma once

#include <QtGlobal>

// One parsed chunk of charger telemetry. All readings are whole numbers as the
// charger sends them; a channel's fields are meaningful only when `present`.
enum class Quantity { Time, Voltage, Current, Capacity, Temperature };

inline constexpr int kQuantityCount = 5;

struct ChannelReading {
  bool present = false;
  qint32 time = 0;         // s
  qint32 voltage = 0;      // mV
  qint32 current = 0;      // mA
  qint32 capacity = 0;     // mAh
  qint32 temperature = 0;  // as sent, no unit

  qint32& Field(Quantity q);
  bool operator==(const ChannelReading&) const = default;
};

struct TelemetryFrame {
  bool isFrame = false;  // token 0 is exactly "$1"
  ChannelReading channel1;
  ChannelReading channel2;

  ChannelReading& Channel(int channel) { return channel == 1 ? channel1 : channel2; }
  bool operator==(const TelemetryFrame&) const = default;
};
