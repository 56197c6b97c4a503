#include "benchstore.h"

#include <cmath>
#include <map>

#include "framecollector.h"

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

// Until the session store library is merged: the store in memory, by path.
std::map<QString, std::vector<StoredChunk>>& Stores() {
  static std::map<QString, std::vector<StoredChunk>> stores;
  return stores;
}

class MemoryStore final : public SessionReader {
 public:
  explicit MemoryStore(const std::vector<StoredChunk>& chunks) : m_chunks(chunks) {}
  QList<StoredSession> Sessions() override { return {Session()}; }
  std::optional<StoredSession> Find(std::optional<qint64> id) override {
    if (id && *id != 1) {
      return std::nullopt;
    }
    return Session();
  }
  bool ForEachChunk(qint64, const std::function<void(const StoredChunk&)>& visit) override {
    for (const StoredChunk& c : m_chunks) {
      visit(c);
    }
    return true;
  }

 private:
  StoredSession Session() const {
    StoredSession s;
    s.id = 1;
    s.startUtc = QDateTime::currentDateTimeUtc().addSecs(-qint64(m_chunks.size()));
    s.endUtc = QDateTime::currentDateTimeUtc();
    s.port = QStringLiteral("COM1");
    s.ended = SessionEnd::Closed;
    s.chunks = qint64(m_chunks.size());
    s.frames = s.chunks;
    return s;
  }
  const std::vector<StoredChunk>& m_chunks;
};

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
  std::vector<StoredChunk>& chunks = Stores()[path];
  chunks.reserve(size_t(frames));
  for (int t = 0; t < frames; ++t) {
    StoredChunk c;
    c.seq = t + 1;
    c.text = BenchFrame(t);
    const TelemetryFrame f = ParseFrame(c.text);
    for (int ch = 0; ch < 2; ++ch) {
      const ChannelReading& r = ch == 0 ? f.channel1 : f.channel2;
      c.channel[size_t(ch)].fields = {r.time, r.voltage, r.current, r.capacity, r.temperature};
    }
    *log += c.text;
    chunks.push_back(std::move(c));
  }
  return 1;
}

StoreOpener BenchStoreOpener(const QString& path) {
  return
      [path](QString*) { return std::unique_ptr<SessionReader>(new MemoryStore(Stores()[path])); };
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
