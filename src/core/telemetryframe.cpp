#include "telemetryframe.h"

qint32& ChannelReading::Field(Quantity q) {
  switch (q) {
    case Quantity::Time:
      return time;
    case Quantity::Voltage:
      return voltage;
    case Quantity::Current:
      return current;
    case Quantity::Capacity:
      return capacity;
    case Quantity::Temperature:
      break;
  }
  return temperature;
}
