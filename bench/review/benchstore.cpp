#include "benchstore.h"

#include <cmath>
#include <cstdio>
#include <deque>

#include "framecollector.h"
#include "storewriter.h"

namespace {

struct Reading {
  int v, i, c, temp;
};

Reading At(int channel, int t, int frames, int seed = 0) {
  const double x = double(t) / frames;
  const int v = int(std::lround(1400 - 150 * x - 250 * std::pow(x, 6) - 30 * seed * x +
                                3 * std::sin(t / 97.0) - 20 * channel));
  const int i = 500 - 20 * channel - seed;
  return {v, i, i * t / 3600, 25 + int(8 * x)};
}

}  // namespace

QString BenchFrame(int t) {
  const int frames = 604'800;
  const Reading a = At(1, t, frames);
  const Reading b = At(2, t, frames);
  return QStringLiteral("$1,1,%1,%2,%3,%4,%5;1,%1,%6,%7,%8,%9\r\n")
      .arg(QString::number(t), QString::number(a.v), QString::number(a.i), QString::number(a.c),
           QString::number(a.temp), QString::number(b.v), QString::number(b.i),
           QString::number(b.c), QString::number(b.temp));
}

qint64 WriteBenchSession(const QString& path, int frames, QString* log) {
  StoreWriter writer(StoreWriter::Config{path});
  if (!writer.Open()) {
    std::printf("store: %s\n", qPrintable(writer.Error()));
    return 0;
  }
  const qint64 startMs = QDateTime::currentMSecsSinceEpoch() - qint64(frames) * 1000;
  std::deque<StoreCommand> batch;
  StoreCommand begin;
  begin.kind = StoreCommand::Kind::Begin;
  begin.session = 1;
  begin.startMs = startMs;
  begin.port = QStringLiteral("COM1");
  begin.device = QStringLiteral("/dev/ttyS0");
  batch.push_back(begin);
  for (int t = 0; t < frames; ++t) {
    StoreCommand c;
    c.session = 1;
    c.chunk.seq = t + 1;
    c.chunk.wallMs = startMs + qint64(t) * 1000;
    c.chunk.monoMs = qint64(t) * 1000;
    c.chunk.text = BenchFrame(t);
    const TelemetryFrame f = ParseFrame(c.chunk.text);
    for (int ch = 0; ch < 2; ++ch) {
      const ChannelReading& r = ch == 0 ? f.channel1 : f.channel2;
      c.chunk.channel[size_t(ch)].fields = {r.time, r.voltage, r.current, r.capacity,
                                            r.temperature};
    }
    *log += c.chunk.text;
    batch.push_back(std::move(c));
    // A batch per simulated minute or so, as a live store's worker commits.
    if (batch.size() >= 20'000) {
      writer.Write(batch);
      batch.clear();
    }
  }
  StoreCommand end;
  end.kind = StoreCommand::Kind::End;
  end.session = 1;
  end.ended = SessionEnd::Closed;
  end.endMs = startMs + qint64(frames) * 1000;
  batch.push_back(end);
  if (!writer.Write(batch)) {
    std::printf("store: %s\n", qPrintable(writer.Error()));
  }
  writer.Close();
  return LatestBenchSession(path);
}

qint64 LatestBenchSession(const QString& path) {
  QString error;
  const std::unique_ptr<SessionReader> reader = SessionReader::Open(path, &error);
  const std::optional<StoredSession> session = reader ? reader->Find(std::nullopt) : std::nullopt;
  return session ? session->id : 0;
}

StoreOpener BenchStoreOpener(const QString& path) {
  return [path](QString* error) { return SessionReader::Open(path, error); };
}

ReviewSource BenchSource(int seed, int frames) {
  ReviewSource s;
  s.name = QStringLiteral("day %1").arg(seed + 1);
  s.start = QDateTime::currentDateTime().addDays(-seed);
  for (int ch = 1; ch <= 2; ++ch) {
    auto& samples = s.channels[size_t(ch - 1)];
    samples.reserve(size_t(frames));
    for (int t = 0; t < frames; ++t) {
      const Reading r = At(ch, t, frames, seed);
      samples.push_back({t, r.v, r.i, r.c, r.temp});
    }
  }
  return s;
}
