#include "channelsample.h"

namespace {

// The field a quantity names, for reading and for writing alike.
template <class Sample>
auto& FieldOf(Sample& sample, Quantity q) {
  switch (q) {
    case Quantity::Time:
      break;
    case Quantity::Voltage:
      return sample.voltage;
    case Quantity::Current:
      return sample.current;
    case Quantity::Capacity:
      return sample.capacity;
    case Quantity::Temperature:
      return sample.temperature;
  }
  return sample.time;
}

}  // namespace

qint32 ChannelSample::Value(Quantity q) const {
  return FieldOf(*this, q);
}

qint32& ChannelSample::Field(Quantity q) {
  return FieldOf(*this, q);
}
