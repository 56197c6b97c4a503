#pragma once

#include <QtGlobal>

#include "telemetryframe.h"

// One channel's complete reading: a frame in which all five of its fields
// were applied, i.e. one that added a point to the live chart.
struct ChannelSample {
  qint32 time = 0;         // s, the channel's own elapsed time
  qint32 voltage = 0;      // mV
  qint32 current = 0;      // mA, positive while discharging
  qint32 capacity = 0;     // mAh
  qint32 temperature = 0;  // as sent

  qint32 Value(Quantity q) const;
  qint32& Field(Quantity q);
  bool operator==(const ChannelSample&) const = default;
};
