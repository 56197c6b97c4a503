#include "framecollector.h"

void FrameCollector::NotAFrame() {
  m_frame.isFrame = false;
}

void FrameCollector::Field(int channel, Quantity quantity, qint32 value) {
  m_frame.Channel(channel).Field(quantity) = value;
}

void FrameCollector::ChannelDone(int channel) {
  m_frame.Channel(channel).present = true;
}

void FrameCollector::Failed(ParseFailure failure, int tokenIndex) {
  m_failure = failure;
  m_failedToken = tokenIndex;
  if (tokenIndex == 0) {
    m_frame.isFrame = false;  // there was no token 0 to be a marker
  }
}

TelemetryFrame ParseFrame(QStringView chunk, std::optional<ParseFailure>* failure) {
  FrameCollector collector;
  Parse(chunk, collector);
  if (failure) {
    *failure = collector.Failure();
  }
  return collector.Frame();
}
