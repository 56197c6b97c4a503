// Random and mutated chunks through the whole acquisition pass. Every pass is
// checked against the reference grammar (test_robustness_reference.h), and
// frames built with known values are also checked against those values, so
// the parser and its oracle cannot agree on a wrong answer unnoticed.

#include <QRandomGenerator>
#include <QtTest>
#include <array>
#include <stdexcept>

#include "acquisitionpass.h"
#include "framecollector.h"
#include "test_robustness_reference.h"

namespace {

// Change only together with the category floors in randomChunksThroughThePass.
constexpr quint32 kSeed = 0x0B5E55ED;
constexpr int kPasses = 100000;
constexpr int kFaultPasses = 20000;

// One observable effect of a pass on the fakes, in call order.
struct Op {
  enum class Kind { Read, SetText, Append, SetValue, AddPoint };
  Kind kind = Kind::Read;
  int target = 0;  // box, readout (channel index * 5 + quantity) or trace
  QString text;
  qint32 value = 0;
  double x = 0.0;
  double y = 0.0;

  bool operator==(const Op&) const = default;
};

Op MakeOp(Op::Kind kind, int target = 0, const QString& text = {}, qint32 value = 0, double x = 0.0,
          double y = 0.0) {
  return Op{kind, target, text, value, x, y};
}

enum Box { kRawBox, kNonFrameBox, kStatusBox };

QString Describe(const Op& op) {
  switch (op.kind) {
    case Op::Kind::Read:
      return QStringLiteral("Read");
    case Op::Kind::SetText:
      return QStringLiteral("SetText(%1,\"%2\")")
          .arg(op.target)
          .arg(reference::Printable(op.text, 60));
    case Op::Kind::Append:
      return QStringLiteral("Append(\"%1\")").arg(reference::Printable(op.text, 60));
    case Op::Kind::SetValue:
      return QStringLiteral("SetValue(%1,%2)").arg(op.target).arg(op.value);
    case Op::Kind::AddPoint:
      break;
  }
  return QStringLiteral("AddPoint(%1,%2,%3)").arg(op.target).arg(op.x).arg(op.y);
}

QString Describe(const std::vector<Op>& ops) {
  QStringList parts;
  for (const Op& op : ops) {
    parts << Describe(op);
  }
  return parts.join(u' ');
}

struct SeamFailure {};

// The window as the pass sees it. Every seam call goes through Enter(), which
// can be told to refuse the n-th call of a pass by throwing.
class FakeWindow {
 public:
  class Port final : public TextSource {
   public:
    explicit Port(FakeWindow& w) : m_w(w) {}
    QString ReadAllAsText() override {
      m_w.Enter(MakeOp(Op::Kind::Read));
      m_w.ops.push_back(MakeOp(Op::Kind::Read));
      return m_w.pending;
    }

   private:
    FakeWindow& m_w;
  };

  class Box final : public TextBox {
   public:
    Box(FakeWindow& w, int id) : m_w(w), m_id(id) {}
    QString Text() const override {
      m_w.Enter(std::nullopt);
      return text;
    }
    void SetText(const QString& t) override {
      const Op op = MakeOp(Op::Kind::SetText, m_id, t);
      m_w.Enter(op);
      m_w.ops.push_back(op);
      text = t;
    }
    QString text;

   private:
    FakeWindow& m_w;
    int m_id;
  };

  class Log final : public LogSink {
   public:
    explicit Log(FakeWindow& w) : m_w(w) {}
    void AppendAndFollow(const QString& t) override {
      const Op op = MakeOp(Op::Kind::Append, 0, t);
      m_w.Enter(op);
      m_w.ops.push_back(op);
      all += t;
    }
    QString all;

   private:
    FakeWindow& m_w;
  };

  class Meter final : public Readout {
   public:
    Meter(FakeWindow& w, int id) : m_w(w), m_id(id) {}
    void SetValue(qint32 v) override {
      const Op op = MakeOp(Op::Kind::SetValue, m_id, {}, v);
      m_w.Enter(op);
      m_w.ops.push_back(op);
      value = v;
    }
    qint32 GetValue() const override {
      m_w.Enter(std::nullopt);
      return value;
    }
    qint32 value = 0;

   private:
    FakeWindow& m_w;
    int m_id;
  };

  class Chart final : public ChartSink {
   public:
    explicit Chart(FakeWindow& w) : m_w(w) {}
    void AddPoint(int trace, double x, double y) override {
      const Op op = MakeOp(Op::Kind::AddPoint, trace, {}, 0, x, y);
      m_w.Enter(op);
      m_w.ops.push_back(op);
      points[static_cast<size_t>(trace)].push_back({x, y});
    }
    std::array<std::vector<std::pair<double, double>>, 2> points;

   private:
    FakeWindow& m_w;
  };

  FakeWindow() {
    for (int i = 0; i < 2 * kQuantityCount; ++i) {
      meters.emplace_back(std::make_unique<Meter>(*this, i));
    }
  }

  AcquisitionTargets Targets() {
    AcquisitionTargets t{port, raw, nonFrame, status, log, {}, {}, chart};
    for (int q = 0; q < kQuantityCount; ++q) {
      t.channel1[static_cast<size_t>(q)] = meters[static_cast<size_t>(q)].get();
      t.channel2[static_cast<size_t>(q)] = meters[static_cast<size_t>(kQuantityCount + q)].get();
    }
    return t;
  }

  // Prepares one pass; `failAt` is the seam call to refuse (-1: none).
  void Begin(const QString& chunk, int failAt) {
    pending = chunk;
    ops.clear();
    m_calls = 0;
    m_failAt = failAt;
    fired = false;
    refused.reset();
  }

  qint32 MeterValue(int channel, int quantity) const {
    return meters[static_cast<size_t>((channel - 1) * kQuantityCount + quantity)]->value;
  }

  QString pending;
  std::vector<Op> ops;
  bool fired = false;
  std::optional<Op> refused;  // the refused call, when it would have changed something

  Port port{*this};
  Box raw{*this, kRawBox};
  Box nonFrame{*this, kNonFrameBox};
  Box status{*this, kStatusBox};
  Log log{*this};
  std::vector<std::unique_ptr<Meter>> meters;
  Chart chart{*this};

 private:
  void Enter(const std::optional<Op>& op) {
    if (m_calls++ != m_failAt) {
      return;
    }
    fired = true;
    refused = op;
    if (m_failAt % 2 == 0) {
      throw SeamFailure{};
    }
    throw std::runtime_error("seam refused");
  }

  int m_calls = 0;
  int m_failAt = -1;
};

// What a pass over `chunk` must do to the window, derived from the reference walk.
struct Expectation {
  reference::Walk walk;
  std::vector<Op> ops;
  bool completes = false;  // the pass reaches the status word
};

Expectation Expect(const QString& chunk) {
  Expectation e;
  e.walk = reference::Parse(chunk);
  e.ops.push_back(MakeOp(Op::Kind::Read));
  e.ops.push_back(MakeOp(Op::Kind::SetText, kRawBox, chunk));
  e.ops.push_back(MakeOp(Op::Kind::Append, 0, chunk));
  std::array<qint32, 2 * kQuantityCount> set{};
  for (const reference::Report& r : e.walk.reports) {
    using Kind = reference::Report::Kind;
    if (r.kind == Kind::NotAFrame) {
      e.ops.push_back(MakeOp(Op::Kind::SetText, kNonFrameBox, QStringLiteral("1")));
    } else if (r.kind == Kind::Field) {
      const int id = (r.channel - 1) * kQuantityCount + static_cast<int>(r.quantity);
      set[static_cast<size_t>(id)] = r.value;
      e.ops.push_back(MakeOp(Op::Kind::SetValue, id, {}, r.value));
    } else if (r.kind == Kind::ChannelDone) {
      const int base = (r.channel - 1) * kQuantityCount;
      e.ops.push_back(MakeOp(Op::Kind::AddPoint, r.channel - 1, {}, 0,
                             static_cast<double>(set[static_cast<size_t>(base)]),
                             static_cast<double>(set[static_cast<size_t>(base + 1)])));
    }
  }
  e.completes = e.walk.outcome != ParseOutcome::Failed;
  if (e.completes) {
    const bool notice = chunk == QStringView(kEndOfDischargeNotice);
    e.ops.push_back(MakeOp(Op::Kind::SetText, kStatusBox,
                           QString::fromUtf16(notice ? kStatusPaused : kStatusReady)));
  }
  return e;
}

// A frame built from chosen values, with what the pass must make of it.
struct KnownFrame {
  // Per channel: its values when present, how many of them the pass applies
  // (five unless the chunk breaks in that channel) and whether it gets a point.
  struct Channel {
    bool present = false;
    std::array<qint32, kQuantityCount> values{};
    int applied = 0;
    bool point = false;
  };
  std::array<Channel, 2> channels;
  bool completes = true;
};

struct Generated {
  QString chunk;
  std::optional<KnownFrame> known;
};

class ChunkGenerator {
 public:
  explicit ChunkGenerator(quint32 seed) : m_rng(seed) {}

  Generated Next() {
    const int kind = Below(100);
    if (kind < 30) {
      return WellFormed();
    }
    if (kind < 38) {
      return TwoFrames();
    }
    if (kind < 70) {
      return Generated{Mutated(), std::nullopt};
    }
    if (kind < 80) {
      return Generated{RandomBytes(), std::nullopt};
    }
    if (kind < 95) {
      return Generated{RandomSymbols(), std::nullopt};
    }
    return Generated{NoticeVariant(), std::nullopt};
  }

 private:
  int Below(int n) { return static_cast<int>(m_rng.bounded(static_cast<quint32>(n))); }
  bool Chance(int percent) { return Below(100) < percent; }
  template <size_t N>
  const char16_t* Pick(const std::array<const char16_t*, N>& items) {
    return items[static_cast<size_t>(Below(static_cast<int>(N)))];
  }

  QString Separator() { return Chance(50) ? QStringLiteral(",") : QStringLiteral(";"); }

  // A value and one way of writing it that must read back as exactly that value.
  std::pair<qint32, QString> Number() {
    qint32 v = 0;
    switch (Below(6)) {
      case 0:
        v = Below(3);
        break;
      case 1:
        v = Below(5000);
        break;
      case 2:
        v = -Below(300);
        break;
      case 3:
        v = static_cast<qint32>(m_rng.generate());
        break;
      case 4:
        v = Chance(50) ? std::numeric_limits<qint32>::max() : std::numeric_limits<qint32>::min();
        break;
      default:
        v = Below(1 << 30) - (1 << 29);
        break;
    }
    const qint64 magnitude = std::abs(static_cast<qint64>(v));
    const QString sign =
        v < 0 ? QStringLiteral("-") : (Chance(10) ? QStringLiteral("+") : QString());
    switch (Below(8)) {
      case 0:
        return {v, sign + QString(Below(4), u'0') + QString::number(magnitude)};
      case 1:
        return {v, sign + QString::number(magnitude) +
                       (Chance(50) ? QStringLiteral(".0") : QStringLiteral("."))};
      case 2:
        if (magnitude < (1 << 30)) {
          // Ties go to the even neighbour: m.5 reads as m when m is even.
          const qint64 lower = magnitude % 2 == 0 ? magnitude : magnitude - 1;
          const qint64 written = lower + (Chance(50) ? 0 : 1);
          const qint64 result = written % 2 == 0 ? written : written + 1;
          const qint32 signedResult = static_cast<qint32>(v < 0 ? -result : result);
          return {signedResult, sign + QString::number(written) + QStringLiteral(".5")};
        }
        break;
      case 3:
        if (magnitude > 0 && magnitude < (1 << 30)) {
          return {v, sign + QString::number(magnitude - 1) + QStringLiteral(".75")};
        }
        break;
      case 4:
        if (magnitude < (1 << 30)) {
          return {v, sign + QString::number(magnitude) + QStringLiteral(".4999")};
        }
        break;
      default:
        break;
    }
    return {v, sign + QString::number(magnitude)};
  }

  QString PresentFlag() {
    static constexpr std::array<const char16_t*, 7> kFlags = {u"1",  u"1",  u"1.0",  u"+1",
                                                              u"01", u"1.", u"1.000"};
    return QString::fromUtf16(Pick(kFlags));
  }

  QString AbsentFlag() {
    static constexpr std::array<const char16_t*, 7> kFlags = {u"0",   u"0",   u"2", u"-1",
                                                              u"0.5", u"1.5", u"10"};
    return QString::fromUtf16(Pick(kFlags));
  }

  // A token that holds no separator; it need not be a number.
  QString Junk() {
    static constexpr std::array<const char16_t*, 8> kJunk = {u"",  u"",       u"x",   u"12",
                                                             u"-", u"\u4E2D", u"1e3", u"\r\n"};
    return QString::fromUtf16(Pick(kJunk));
  }

  // `tokens` receives the thirteen tokens; the returned frame says what they mean.
  KnownFrame FrameTokens(QStringList& tokens, bool lastMayCarryLineEnd) {
    KnownFrame frame;
    tokens = {QStringLiteral("$1")};
    for (int c = 0; c < 2; ++c) {
      KnownFrame::Channel& channel = frame.channels[static_cast<size_t>(c)];
      channel.present = Chance(75);
      tokens << (channel.present ? PresentFlag() : AbsentFlag());
      for (int q = 0; q < kQuantityCount; ++q) {
        if (channel.present) {
          const auto [value, text] = Number();
          channel.values[static_cast<size_t>(q)] = value;
          tokens << text;
        } else {
          tokens << Junk();
        }
      }
      channel.applied = channel.present ? kQuantityCount : 0;
      channel.point = channel.present;
    }
    if (lastMayCarryLineEnd && frame.channels[1].present && Chance(40)) {
      tokens.last() += Chance(70) ? QStringLiteral("\r\n") : QStringLiteral("\n");
    }
    return frame;
  }

  QString Join(const QStringList& tokens) {
    QString chunk = tokens.value(0);
    for (int i = 1; i < tokens.size(); ++i) {
      // The charger uses ";" between the channels; any separator splits alike.
      chunk += (i == 7 && Chance(70)) ? QStringLiteral(";") : Separator();
      chunk += tokens[i];
    }
    return chunk;
  }

  Generated WellFormed() {
    QStringList tokens;
    KnownFrame frame = FrameTokens(tokens, true);
    if (!frame.channels[1].present && Chance(30)) {
      tokens = tokens.mid(0, 8);  // channel 2's fields are never looked at
    }
    QString chunk = Join(tokens);
    if (Chance(15) && !chunk.endsWith(u'\n')) {
      // Past token 12, or in the slots of an absent channel 2: never looked at.
      static constexpr std::array<const char16_t*, 5> kTails = {u",", u";junk", u" Exit", u",,,",
                                                                u";1,2,3"};
      chunk += QString::fromUtf16(Pick(kTails));
    }
    return Generated{chunk, frame};
  }

  // Two frames read in one pass. After a separator the rest is ignored; after
  // a line end or nothing the second marker sticks to token 12.
  Generated TwoFrames() {
    QStringList first;
    KnownFrame frame = FrameTokens(first, false);
    QStringList second;
    FrameTokens(second, true);
    static constexpr std::array<const char16_t*, 7> kJoins = {u"",  u"\r\n", u"\n",  u",",
                                                              u";", u" ",    u"\r\n"};
    const QString join = QString::fromUtf16(Pick(kJoins));
    const bool stuck = join.isEmpty() || join.endsWith(u'\n');
    if (stuck && frame.channels[1].present) {
      frame.channels[1].applied = kQuantityCount - 1;
      frame.channels[1].point = false;
      frame.completes = false;
    }
    const QString firstText = Join(first);
    return Generated{firstText + join + Join(second), frame};
  }

  QString Digits(int count) {
    QString s;
    s.reserve(count);
    for (int i = 0; i < count; ++i) {
      s += QChar(u'0' + Below(10));
    }
    return s;
  }

  QString OverlongNumber() {
    const int length = 10 + Below(Chance(20) ? 400 : 40);
    QString s = Digits(length);
    if (Chance(50)) {
      s.insert(Below(length + 1), u'.');
    }
    if (Chance(20)) {
      s.prepend(QString(Below(300), u'0'));
    }
    if (Chance(30)) {
      s.prepend(Chance(50) ? u'-' : u'+');
    }
    return s;
  }

  QChar Unusual() {
    static constexpr std::array<char16_t, 14> kChars = {
        u'\0',     u'\u00E9', u'\u4E2D',        u'\uFF11',        u'\u0663',
        u'\u00A0', u'\u3000', char16_t{0xD800}, char16_t{0xDC00}, u'\uFFFD',
        u'\t',     u'\r',     u'\x7F',          u'\u2212'};
    return QChar(kChars[static_cast<size_t>(Below(static_cast<int>(kChars.size())))]);
  }

  QString Mutated() {
    QStringList tokens;
    FrameTokens(tokens, true);
    const int rounds = 1 + Below(3);
    for (int r = 0; r < rounds; ++r) {
      const int at = Below(static_cast<int>(tokens.size()));
      switch (Below(9)) {
        case 0:
          tokens.removeAt(at);
          break;
        case 1:
          tokens.insert(at, tokens[at]);
          break;
        case 2:
          tokens[at] = OverlongNumber();
          break;
        case 3:
          tokens[at].insert(Below(static_cast<int>(tokens[at].size()) + 1), QChar(u'\0'));
          break;
        case 4: {
          const int pos = Below(static_cast<int>(tokens[at].size()) + 1);
          tokens[at].insert(pos, Unusual());
        } break;
        case 5:
          tokens[at] = tokens[at].left(Below(static_cast<int>(tokens[at].size()) + 1));
          break;
        case 6:
          tokens.insert(at, QString());  // a doubled separator
          break;
        case 7:
          tokens[at] = QStringLiteral(" ") + tokens[at];  // a blank splits too
          break;
        default:
          if (!tokens[at].isEmpty()) {
            tokens[at][Below(static_cast<int>(tokens[at].size()))] = Unusual();
          }
          break;
      }
    }
    QString chunk = Join(tokens);
    if (Chance(15)) {
      chunk.truncate(Below(static_cast<int>(chunk.size()) + 1));
    }
    return chunk;
  }

  QString RandomBytes() {
    QByteArray bytes(Below(80), Qt::Uninitialized);
    for (char& b : bytes) {
      b = static_cast<char>(Below(256));
    }
    if (Chance(20)) {
      bytes.prepend("$1,");
    }
    return Chance(50) ? QString::fromUtf8(bytes) : QString::fromLatin1(bytes);
  }

  QString RandomSymbols() {
    static const QString kAlphabet = QStringLiteral("$1,;;,  ..+-0123456789\r\n\t$e") +
                                     QChar(u'\0') + QChar(u'\u4E2D') + QChar(u'\uFF11');
    QString s = Chance(40) ? QStringLiteral("$1,") : QString();
    const int length = Below(60);
    for (int i = 0; i < length; ++i) {
      s += kAlphabet[Below(static_cast<int>(kAlphabet.size()))];
    }
    return s;
  }

  QString NoticeVariant() {
    const QString notice = QString::fromUtf16(kEndOfDischargeNotice);
    switch (Below(6)) {
      case 0:
      case 1:
        return notice;
      case 2:
        return notice + QStringLiteral("\r\n");
      case 3:
        return notice.trimmed();
      case 4:
        return notice.toUpper();
      default:
        return QString();
    }
  }

  QRandomGenerator m_rng;
};

TelemetryFrame FrameOf(const reference::Walk& walk) {
  TelemetryFrame frame;
  frame.isFrame = walk.outcome != ParseOutcome::NotAFrame &&
                  !(walk.reports.size() == 1 && walk.reports[0].tokenIndex == 0);
  for (const reference::Report& r : walk.reports) {
    if (r.kind == reference::Report::Kind::Field) {
      frame.Channel(r.channel).Field(r.quantity) = r.value;
    } else if (r.kind == reference::Report::Kind::ChannelDone) {
      frame.Channel(r.channel).present = true;
    }
  }
  return frame;
}

bool SameNumber(std::optional<double> a, std::optional<double> b) {
  return a.has_value() == b.has_value() && (!a || *a == *b);
}

}  // namespace

class TestRobustness : public QObject {
  Q_OBJECT

 private slots:
  void randomChunksThroughThePass();
  void seamFailuresEndThePassWhereItStands();
  void overlongDigitRuns_data();
  void overlongDigitRuns();

 private:
  // Checks the parser on its own against the reference; returns a failure text or nothing.
  static QString ParserDisagreement(const QString& chunk, const Expectation& expected);
};

QString TestRobustness::ParserDisagreement(const QString& chunk, const Expectation& expected) {
  const QStringList tokens = Tokenize(chunk);
  const QStringList refTokens = reference::Tokenize(chunk);
  if (tokens != refTokens) {
    return QStringLiteral("Tokenize gave %1 tokens, reference %2")
        .arg(tokens.size())
        .arg(refTokens.size());
  }
  for (qsizetype i = 0; i < tokens.size() && i < 13; ++i) {
    const std::optional<double> refNumber = reference::ToNumber(tokens[i]);
    if (!SameNumber(ToNumber(tokens[i]), refNumber)) {
      return QStringLiteral("ToNumber disagrees on token %1 \"%2\"")
          .arg(i)
          .arg(reference::Printable(tokens[i]));
    }
    if (ToInt32(tokens[i]) != (refNumber ? reference::RoundToInt32(*refNumber) : std::nullopt)) {
      return QStringLiteral("ToInt32 disagrees on token %1 \"%2\"")
          .arg(i)
          .arg(reference::Printable(tokens[i]));
    }
  }
  reference::RecordingSink sink;
  const ParseOutcome outcome = Parse(chunk, sink);
  if (outcome != expected.walk.outcome || sink.reports != expected.walk.reports) {
    return QStringLiteral("Parse reported [%1], reference [%2]")
        .arg(reference::Describe(sink.reports), reference::Describe(expected.walk.reports));
  }
  if (ParseFrame(chunk) != FrameOf(expected.walk)) {
    return QStringLiteral("ParseFrame differs from the reference walk");
  }
  return {};
}

void TestRobustness::randomChunksThroughThePass() {
  quint32 seed = kSeed;
  if (qEnvironmentVariableIsSet("ORVANTA_ROBUSTNESS_SEED")) {
    seed = qEnvironmentVariable("ORVANTA_ROBUSTNESS_SEED").toUInt(nullptr, 0);
    qInfo("seed %u", seed);
  }
  ChunkGenerator generator(seed);
  FakeWindow window;
  const AcquisitionTargets targets = window.Targets();
  QString allChunks;
  int completeFrames = 0;
  int bothChannels = 0;
  int notFrames = 0;
  int failedWalks = 0;
  int knownFrames = 0;
  int paused = 0;

  for (int pass = 0; pass < kPasses; ++pass) {
    const Generated generated = generator.Next();
    const QString& chunk = generated.chunk;
    const QString statusBefore = window.status.text;
    std::array<qint32, 2 * kQuantityCount> metersBefore{};
    for (size_t i = 0; i < metersBefore.size(); ++i) {
      metersBefore[i] = window.meters[i]->value;
    }
    const std::array<size_t, 2> pointsBefore = {window.chart.points[0].size(),
                                                window.chart.points[1].size()};

    window.Begin(chunk, -1);
    const PassOutcome outcome = RunAcquisitionPass(targets);
    allChunks += chunk;
    const Expectation expected = Expect(chunk);
    const auto where = [&] {
      return QStringLiteral("pass %1, chunk \"%2\": ").arg(pass).arg(reference::Printable(chunk));
    };

    if (window.ops != expected.ops) {
      QFAIL(qPrintable(where() + QStringLiteral("window saw [%1], expected [%2]")
                                     .arg(Describe(window.ops), Describe(expected.ops))));
    }
    if (outcome != (expected.completes ? PassOutcome::Completed : PassOutcome::Ended)) {
      QFAIL(qPrintable(where() + QStringLiteral("wrong pass outcome")));
    }
    if (window.raw.text != chunk) {
      QFAIL(qPrintable(where() + QStringLiteral("Text2 does not hold the chunk")));
    }
    for (size_t trace = 0; trace < 2; ++trace) {
      if (window.chart.points[trace].size() > pointsBefore[trace] + 1) {
        QFAIL(qPrintable(where() + QStringLiteral("more than one point on trace %1").arg(trace)));
      }
    }
    const QString& status = window.status.text;
    if (status != statusBefore && status != QStringView(kStatusReady) &&
        status != QStringView(kStatusPaused)) {
      QFAIL(qPrintable(where() + QStringLiteral("unexpected status word")));
    }
    const QString disagreement = ParserDisagreement(chunk, expected);
    if (!disagreement.isEmpty()) {
      QFAIL(qPrintable(where() + disagreement));
    }

    if (generated.known) {
      // Checked against the values the frame was built from, not the reference.
      ++knownFrames;
      const KnownFrame& known = *generated.known;
      if (outcome != (known.completes ? PassOutcome::Completed : PassOutcome::Ended)) {
        QFAIL(qPrintable(where() + QStringLiteral("known frame: wrong pass outcome")));
      }
      for (int c = 1; c <= 2; ++c) {
        const KnownFrame::Channel& channel = known.channels[static_cast<size_t>(c - 1)];
        for (int q = 0; q < kQuantityCount; ++q) {
          const qint32 want = q < channel.applied
                                  ? channel.values[static_cast<size_t>(q)]
                                  : metersBefore[static_cast<size_t>((c - 1) * kQuantityCount + q)];
          if (window.MeterValue(c, q) != want) {
            QFAIL(qPrintable(where() + QStringLiteral("known frame: readout %1 of channel %2 is "
                                                      "%3, expected %4")
                                           .arg(q)
                                           .arg(c)
                                           .arg(window.MeterValue(c, q))
                                           .arg(want)));
          }
        }
        const auto& trace = window.chart.points[static_cast<size_t>(c - 1)];
        const size_t added = trace.size() - pointsBefore[static_cast<size_t>(c - 1)];
        if (added != (channel.point ? 1u : 0u) ||
            (channel.point &&
             trace.back() != std::pair<double, double>(channel.values[0], channel.values[1]))) {
          QFAIL(qPrintable(where() +
                           QStringLiteral("known frame: wrong chart point on channel %1").arg(c)));
        }
      }
      if (known.completes && status != QStringView(kStatusReady)) {
        QFAIL(qPrintable(where() + QStringLiteral("known frame: status is not ready")));
      }
    }

    completeFrames += expected.walk.outcome == ParseOutcome::Complete;
    notFrames += expected.walk.outcome == ParseOutcome::NotAFrame;
    failedWalks += expected.walk.outcome == ParseOutcome::Failed;
    const TelemetryFrame parsed = FrameOf(expected.walk);
    bothChannels += parsed.channel1.present && parsed.channel2.present;
    paused += status == QStringView(kStatusPaused) && statusBefore != status;
  }

  QVERIFY(window.log.all == allChunks);
  qInfo(
      "%d passes: %d complete frames (%d with both channels, %d built from known values), "
      "%d not frames, %d failed walks, %d switches to paused",
      kPasses, completeFrames, bothChannels, knownFrames, notFrames, failedWalks, paused);
  // The generator must keep reaching every kind of pass, or the checks above prove little.
  QVERIFY(completeFrames > kPasses / 5);
  QVERIFY(bothChannels > kPasses / 10);
  QVERIFY(notFrames > kPasses / 10);
  QVERIFY(failedWalks > kPasses / 5);
  QVERIFY(paused > kPasses / 1000);
}

void TestRobustness::seamFailuresEndThePassWhereItStands() {
  ChunkGenerator generator(kSeed ^ 0x5EA3u);
  QRandomGenerator faults(kSeed + 1);
  FakeWindow window;
  const AcquisitionTargets targets = window.Targets();
  int fired = 0;
  int refusedChanges = 0;

  for (int pass = 0; pass < kFaultPasses; ++pass) {
    const QString chunk = generator.Next().chunk;
    const QString statusBefore = window.status.text;
    window.Begin(chunk, static_cast<int>(faults.bounded(24u)));
    PassOutcome outcome = PassOutcome::Completed;
    try {
      outcome = RunAcquisitionPass(targets);
    } catch (...) {
      QFAIL(qPrintable(QStringLiteral("pass %1: an exception left the pass").arg(pass)));
    }
    const Expectation expected = Expect(chunk);
    const auto where = [&] {
      return QStringLiteral("pass %1, chunk \"%2\": ").arg(pass).arg(reference::Printable(chunk));
    };
    if (!window.fired) {
      if (window.ops != expected.ops) {
        QFAIL(qPrintable(where() + QStringLiteral("window saw [%1], expected [%2]")
                                       .arg(Describe(window.ops), Describe(expected.ops))));
      }
      continue;
    }
    ++fired;
    // Everything before the refused call stays applied; nothing after it runs.
    // A refused read after the last change of a failing walk leaves the whole list.
    const bool isPrefix = window.ops.size() <= expected.ops.size() &&
                          std::equal(window.ops.begin(), window.ops.end(), expected.ops.begin());
    if (outcome != PassOutcome::Ended || !isPrefix) {
      QFAIL(qPrintable(where() + QStringLiteral("after a refused call the window saw [%1], "
                                                "expected a prefix of [%2]")
                                     .arg(Describe(window.ops), Describe(expected.ops))));
    }
    if (window.refused) {
      ++refusedChanges;
      if (window.ops.size() == expected.ops.size() ||
          *window.refused != expected.ops[window.ops.size()]) {
        QFAIL(qPrintable(where() + QStringLiteral("refused %1, which was not the next change")
                                       .arg(Describe(*window.refused))));
      }
    }
    if (window.status.text != statusBefore) {
      QFAIL(qPrintable(where() + QStringLiteral("status word changed by an ended pass")));
    }
  }
  qInfo("%d of %d passes met a refused call, %d of them a refused change", fired, kFaultPasses,
        refusedChanges);
  QVERIFY(fired > kFaultPasses / 3);
  QVERIFY(refusedChanges > kFaultPasses / 10);
}

void TestRobustness::overlongDigitRuns_data() {
  QTest::addColumn<QString>("token");
  QTest::addColumn<bool>("converts");
  QTest::addColumn<qint32>("value");

  const QString z400(400, u'0');
  QTest::newRow("400 nines") << QString(400, u'9') << false << 0;
  QTest::newRow("one and 400 zeros") << QStringLiteral("1") + z400 << false << 0;
  QTest::newRow("1000 leading zeros") << QString(1000, u'0') + QStringLiteral("12") << true << 12;
  QTest::newRow("leading zeros to min") << QStringLiteral("-") + z400 + QStringLiteral("2147483648")
                                        << true << std::numeric_limits<qint32>::min();
  QTest::newRow("leading zeros past max") << z400 + QStringLiteral("2147483648") << false << 0;
  QTest::newRow("600 trailing fraction zeros")
      << QStringLiteral("7.") + QString(600, u'0') << true << 7;
  QTest::newRow("tie with 400 trailing zeros") << QStringLiteral("2.5") + z400 << true << 2;
  QTest::newRow("subnormal fraction")
      << QStringLiteral("0.") + QString(310, u'0') + QStringLiteral("1") << true << 0;
  // Below the smallest double: the value is still a number and reads as 0.
  QTest::newRow("fraction below any double")
      << QStringLiteral("0.") + z400 + QStringLiteral("1") << true << 0;
  QTest::newRow("negative fraction below any double")
      << QStringLiteral("-.") + z400 + QStringLiteral("9") << true << 0;
}

void TestRobustness::overlongDigitRuns() {
  QFETCH(QString, token);
  QFETCH(bool, converts);
  QFETCH(qint32, value);

  const TelemetryFrame frame = ParseFrame(QStringLiteral("$1,1,%1,1350,500,100,25;0").arg(token));
  QCOMPARE(ToInt32(token).has_value(), converts);
  QCOMPARE(frame.channel1.present, converts);
  if (converts) {
    QCOMPARE(*ToInt32(token), value);
    QCOMPARE(frame.channel1.time, value);
  }
}

QTEST_GUILESS_MAIN(TestRobustness)
#include "test_robustness.moc"
