#pragma once

#include "frameparser.h"

// A sink that gathers the reports of one walk into a TelemetryFrame.
// A channel counts as present only once its ChannelDone has been reported.
class FrameCollector final : public FrameSink {
 public:
  void NotAFrame() override;
  void Field(int channel, Quantity quantity, qint32 value) override;
  void ChannelDone(int channel) override;
  void Failed(ParseFailure failure, int tokenIndex) override;

  const TelemetryFrame& Frame() const { return m_frame; }
  std::optional<ParseFailure> Failure() const { return m_failure; }
  int FailedToken() const { return m_failedToken; }

 private:
  TelemetryFrame m_frame = InitialFrame();
  static TelemetryFrame InitialFrame() {
    TelemetryFrame f;
    f.isFrame = true;
    return f;
  }
  std::optional<ParseFailure> m_failure;
  int m_failedToken = -1;
};

// Parses one chunk into a frame; the failure, if any, is left in `failure`.
TelemetryFrame ParseFrame(QStringView chunk, std::optional<ParseFailure>* failure = nullptr);
