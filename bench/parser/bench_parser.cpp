// Frame parser throughput: a well-formed two-channel frame, chunks that stop
// the walk early or late, the conversions on their own, and a whole
// acquisition pass over plain in-memory controls. Figures only; nothing here
// asserts a speed.

#include <benchmark/benchmark.h>

#include <QString>
#include <array>

#include "acquisitionpass.h"
#include "framecollector.h"
#include "plainwindow.h"

namespace {

const QString kTwoChannels = QStringLiteral("$1,1,120,1350,500,100,25;1,118,1342,498,99,24\r\n");

// Counts reports so the walk cannot be optimised away.
class CountingSink final : public FrameSink {
 public:
  void NotAFrame() override { ++reports; }
  void Field(int, Quantity, qint32 value) override { reports += value & 1; }
  void ChannelDone(int) override { ++reports; }
  void Failed(ParseFailure, int) override { ++reports; }
  qint64 reports = 0;
};

void ParseChunk(benchmark::State& state, const QString& chunk) {
  CountingSink sink;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Parse(chunk, sink));
  }
  benchmark::DoNotOptimize(sink.reports);
  state.SetItemsProcessed(state.iterations());
  state.SetBytesProcessed(state.iterations() * chunk.size() * qsizetype(sizeof(QChar)));
}

void BM_ParseTwoChannelFrame(benchmark::State& state) {
  ParseChunk(state, kTwoChannels);
}
BENCHMARK(BM_ParseTwoChannelFrame);

void BM_ParseFrameCollected(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(ParseFrame(kTwoChannels));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ParseFrameCollected);

// Two frames in one pass with only a line end between: the walk runs to
// channel 2's temperature and fails there, the costliest way to fail.
void BM_ParseFailingAtLastField(benchmark::State& state) {
  ParseChunk(state, kTwoChannels + kTwoChannels);
}
BENCHMARK(BM_ParseFailingAtLastField);

// A blank after the marker's comma: fails on the first conversion.
void BM_ParseFailingAtFirstFlag(benchmark::State& state) {
  ParseChunk(state, QStringLiteral("$1, 1,120,1350,500,100,25;1,118,1342,498,99,24"));
}
BENCHMARK(BM_ParseFailingAtFirstFlag);

void BM_ParseNotAFrame(benchmark::State& state) {
  ParseChunk(state, QString::fromUtf16(kEndOfDischargeNotice));
}
BENCHMARK(BM_ParseNotAFrame);

// A long burst of text with no separator after the marker: the walk must not
// cut out more than the tokens it needs.
void BM_ParseLongGarbage(benchmark::State& state) {
  ParseChunk(state, QStringLiteral("$1,") + QString(static_cast<qsizetype>(state.range(0)), u'7'));
}
BENCHMARK(BM_ParseLongGarbage)->Arg(64)->Arg(4096)->Arg(65536);

void BM_ToInt32(benchmark::State& state) {
  static const std::array<QString, 6> kTokens = {
      QStringLiteral("1350"), QStringLiteral("24\r\n"),     QStringLiteral("-300"),
      QStringLiteral("2.5"),  QStringLiteral("2147483647"), QStringLiteral("x1")};
  size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ToInt32(kTokens[i]));
    i = i + 1 == kTokens.size() ? 0 : i + 1;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_ToInt32);

void BM_Tokenize(benchmark::State& state) {
  for (auto _ : state) {
    benchmark::DoNotOptimize(Tokenize(kTwoChannels));
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_Tokenize);

void BM_AcquisitionPassTwoChannels(benchmark::State& state) {
  PlainWindow window;
  window.port.chunk = kTwoChannels;
  window.log.keepText = false;  // a long run must not grow memory
  const AcquisitionTargets targets = window.Targets();
  for (auto _ : state) {
    benchmark::DoNotOptimize(RunAcquisitionPass(targets));
  }
  benchmark::DoNotOptimize(window.chart.last);
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_AcquisitionPassTwoChannels);

}  // namespace

BENCHMARK_MAIN();
