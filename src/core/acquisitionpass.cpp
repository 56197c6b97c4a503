#include "acquisitionpass.h"

namespace {

class ParseFailed {};

// Applies the parser's reports to the window as they come.
class PassSink final : public FrameSink {
 public:
  explicit PassSink(const AcquisitionTargets& targets) : m_targets(targets) {}

  void NotAFrame() override {
    // The count is local to the pass, so a non-frame pass always shows 1.
    qint16 nonFrameCount = 0;
    ++nonFrameCount;
    m_targets.nonFrameBox.SetText(QString::number(nonFrameCount));
  }

  void Field(int channel, Quantity quantity, qint32 value) override {
    ReadoutsOf(channel)[static_cast<size_t>(quantity)]->SetValue(value);
    if (m_targets.recorder) {
      m_targets.recorder->FieldApplied(channel, quantity, value);
    }
  }

  void ChannelDone(int channel) override {
    const auto& readouts = ReadoutsOf(channel);
    const double x = readouts[static_cast<size_t>(Quantity::Time)]->GetValue();
    const double y = readouts[static_cast<size_t>(Quantity::Voltage)]->GetValue();
    m_targets.chart.AddPoint(channel - 1, x, y);
  }

  void Failed(ParseFailure, int) override { throw ParseFailed(); }

 private:
  const std::array<Readout*, kQuantityCount>& ReadoutsOf(int channel) const {
    return channel == 1 ? m_targets.channel1 : m_targets.channel2;
  }

  const AcquisitionTargets& m_targets;
};

}  // namespace

namespace {

PassOutcome RunPass(const AcquisitionTargets& targets) noexcept {
  try {
    const QString chunk = targets.port.ReadAllAsText();
    // Recorded before anything else can fail, so the record keeps every
    // chunk the port handed over.
    if (targets.recorder) {
      targets.recorder->ChunkReceived(chunk);
    }
    targets.rawBox.SetText(chunk);
    targets.log.AppendAndFollow(targets.rawBox.Text());

    PassSink sink(targets);
    Parse(targets.rawBox.Text(), sink);

    const bool notice = targets.rawBox.Text() == QStringView(kEndOfDischargeNotice);
    targets.statusBox.SetText(QString::fromUtf16(notice ? kStatusPaused : kStatusReady));
    return PassOutcome::Completed;
  } catch (...) {
    return PassOutcome::Ended;
  }
}

}  // namespace

PassOutcome RunAcquisitionPass(const AcquisitionTargets& targets) noexcept {
  const PassOutcome outcome = RunPass(targets);
  if (targets.recorder) {
    targets.recorder->PassEnded();
  }
  return outcome;
}
