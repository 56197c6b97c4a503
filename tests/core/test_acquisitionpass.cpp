#include <QtTest>
#include <deque>

#include "acquisitionpass.h"

namespace {

// Every fake writes one line per call into a shared journal, so tests can
// check the order of calls across all targets.
struct Journal {
  QStringList lines;
};

class FakePort final : public TextSource {
 public:
  explicit FakePort(Journal& j) : m_journal(j) {}
  QString ReadAllAsText() override {
    m_journal.lines << QStringLiteral("read");
    if (failRead) {
      throw std::runtime_error("port refused the read");
    }
    return chunk;
  }
  QString chunk;
  bool failRead = false;

 private:
  Journal& m_journal;
};

class FakeBox final : public TextBox {
 public:
  FakeBox(Journal& j, QString name, QString text) : m_journal(j), m_name(name), text(text) {}
  QString Text() const override { return text; }
  void SetText(const QString& t) override {
    m_journal.lines << m_name + QStringLiteral(" = ") + t;
    text = t;
  }

 private:
  Journal& m_journal;
  QString m_name;

 public:
  QString text;
};

class FakeLog final : public LogSink {
 public:
  explicit FakeLog(Journal& j) : m_journal(j) {}
  void AppendAndFollow(const QString& t) override {
    m_journal.lines << QStringLiteral("log ") + t;
    if (fail) {
      throw std::runtime_error("log failed");
    }
    text += t;
  }
  QString text;
  bool fail = false;

 private:
  Journal& m_journal;
};

// A readout that may be told to show a different value than it was given, to
// prove that chart points come from GetValue and not from the parsed number.
class FakeReadout final : public Readout {
 public:
  FakeReadout(Journal& j, QString name) : m_journal(j), m_name(name) {}
  void SetValue(qint32 v) override {
    m_journal.lines << QStringLiteral("%1.Set %2").arg(m_name).arg(v);
    value = v + offset;
  }
  qint32 GetValue() const override {
    m_journal.lines << QStringLiteral("%1.Get").arg(m_name);
    return value;
  }
  qint32 value = 0;
  qint32 offset = 0;

 private:
  Journal& m_journal;
  QString m_name;
};

class FakeChart final : public ChartSink {
 public:
  explicit FakeChart(Journal& j) : m_journal(j) {}
  void AddPoint(int trace, double x, double y) override {
    m_journal.lines << QStringLiteral("point %1 %2 %3").arg(trace).arg(x).arg(y);
  }

 private:
  Journal& m_journal;
};

// Notes what the pass reports, apart from the shared journal so the order of
// the window's own calls stays as it was.
class FakeRecorder final : public PassRecorder {
 public:
  void ChunkReceived(const QString& text) noexcept override { lines << u"chunk "_qs + text; }
  void FieldApplied(int channel, Quantity q, qint32 value) noexcept override {
    lines << QStringLiteral("%1.%2=%3").arg(channel).arg(int(q)).arg(value);
  }
  void PassEnded() noexcept override { lines << u"end"_qs; }
  QStringList lines;
};

// The window as the pass sees it.
struct Bench {
  Journal journal;
  FakePort port{journal};
  FakeBox text2{journal, QStringLiteral("Text2"), QStringLiteral("接收数据")};
  FakeBox text3{journal, QStringLiteral("Text3"), QStringLiteral("5533")};
  FakeBox text11{journal, QStringLiteral("Text11"), QString()};
  FakeLog log{journal};
  std::deque<FakeReadout> readouts;
  FakeChart chart{journal};
  FakeRecorder recorder;

  Bench() {
    for (const char* name : {"T1", "V1", "I1", "R1", "W1", "T2", "V2", "I2", "R2", "W2"}) {
      readouts.emplace_back(journal, QString::fromLatin1(name));
    }
  }
  FakeReadout& R(int i) { return readouts[size_t(i)]; }

  PassOutcome Run(const QString& chunk) {
    port.chunk = chunk;
    journal.lines.clear();
    const AcquisitionTargets targets{
        .port = port,
        .rawBox = text2,
        .nonFrameBox = text3,
        .statusBox = text11,
        .log = log,
        .channel1 = {&R(0), &R(1), &R(2), &R(3), &R(4)},
        .channel2 = {&R(5), &R(6), &R(7), &R(8), &R(9)},
        .chart = chart,
        .recorder = &recorder,
    };
    return RunAcquisitionPass(targets);
  }

  QStringList Values() {
    QStringList v;
    for (const FakeReadout& r : readouts) {
      v << QString::number(r.value);
    }
    return v;
  }
  QStringList Points() const { return journal.lines.filter(QStringLiteral("point")); }
};

const QString kTwoChannels = QStringLiteral("$1,1,120,1350,500,100,25;1,118,1342,498,99,24");

}  // namespace

class TestAcquisitionPass : public QObject {
  Q_OBJECT

 private slots:
  void pass_data() {
    QTest::addColumn<QString>("chunk");
    QTest::addColumn<PassOutcome>("outcome");
    QTest::addColumn<QStringList>("values");  // T1 V1 I1 R1 W1 T2 V2 I2 R2 W2
    QTest::addColumn<QStringList>("points");
    QTest::addColumn<QString>("text3");
    QTest::addColumn<QString>("text11");

    const QStringList zeros(10, QStringLiteral("0"));
    QTest::newRow("both channels")
        << kTwoChannels << PassOutcome::Completed
        << QStringList{u"120"_qs, u"1350"_qs, u"500"_qs, u"100"_qs, u"25"_qs,
                       u"118"_qs, u"1342"_qs, u"498"_qs, u"99"_qs,  u"24"_qs}
        << QStringList{u"point 0 120 1350"_qs, u"point 1 118 1342"_qs} << u"5533"_qs << u"就绪"_qs;
    QTest::newRow("channel 1 absent")
        << u"$1,0,,,,,,1,60,1300,500,50,24"_qs << PassOutcome::Completed
        << QStringList{u"0"_qs,  u"0"_qs,    u"0"_qs,   u"0"_qs,  u"0"_qs,
                       u"60"_qs, u"1300"_qs, u"500"_qs, u"50"_qs, u"24"_qs}
        << QStringList{u"point 1 60 1300"_qs} << u"5533"_qs << u"就绪"_qs;
    QTest::newRow("blank after comma: nothing applied")
        << u"$1, 1,120,1350,500,100,25;1,118,1342,498,99,24"_qs << PassOutcome::Ended << zeros
        << QStringList() << u"5533"_qs << QString();
    QTest::newRow("$2 counts one non-frame") << u"$2,1,1,1,1,1,1"_qs << PassOutcome::Completed
                                             << zeros << QStringList() << u"1"_qs << u"就绪"_qs;
    QTest::newRow("empty chunk ends at the parse")
        << QString() << PassOutcome::Ended << zeros << QStringList() << u"5533"_qs << QString();
    QTest::newRow("channel 1 only: readouts and point, then the pass ends")
        << u"$1,1,120,1350,500,100,25"_qs << PassOutcome::Ended
        << QStringList{u"120"_qs, u"1350"_qs, u"500"_qs, u"100"_qs, u"25"_qs,
                       u"0"_qs,   u"0"_qs,    u"0"_qs,   u"0"_qs,   u"0"_qs}
        << QStringList{u"point 0 120 1350"_qs} << u"5533"_qs << QString();
    QTest::newRow("half to even on time")
        << u"$1,1,2.5,1000,0,0,0,1,3.5,1001,0,0,0"_qs << PassOutcome::Completed
        << QStringList{u"2"_qs, u"1000"_qs, u"0"_qs, u"0"_qs, u"0"_qs,
                       u"4"_qs, u"1001"_qs, u"0"_qs, u"0"_qs, u"0"_qs}
        << QStringList{u"point 0 2 1000"_qs, u"point 1 4 1001"_qs} << u"5533"_qs << u"就绪"_qs;
    QTest::newRow("trailing CR LF")
        << kTwoChannels + u"\r\n"_qs << PassOutcome::Completed
        << QStringList{u"120"_qs, u"1350"_qs, u"500"_qs, u"100"_qs, u"25"_qs,
                       u"118"_qs, u"1342"_qs, u"498"_qs, u"99"_qs,  u"24"_qs}
        << QStringList{u"point 0 120 1350"_qs, u"point 1 118 1342"_qs} << u"5533"_qs << u"就绪"_qs;
    QTest::newRow("end-of-discharge notice alone pauses")
        << u" Exit from discharge .... "_qs << PassOutcome::Completed << zeros << QStringList()
        << u"1"_qs << u"暂停"_qs;
    QTest::newRow("notice with a line end is not exact")
        << u" Exit from discharge .... \r\n"_qs << PassOutcome::Completed << zeros << QStringList()
        << u"1"_qs << u"就绪"_qs;
    QTest::newRow("two frames split by CR LF: no channel 2 temperature or point")
        << kTwoChannels + u"\r\n"_qs + kTwoChannels << PassOutcome::Ended
        << QStringList{u"120"_qs, u"1350"_qs, u"500"_qs, u"100"_qs, u"25"_qs,
                       u"118"_qs, u"1342"_qs, u"498"_qs, u"99"_qs,  u"0"_qs}
        << QStringList{u"point 0 120 1350"_qs} << u"5533"_qs << QString();
    QTest::newRow("two frames split by a comma: first applied in full")
        << kTwoChannels + u","_qs + kTwoChannels << PassOutcome::Completed
        << QStringList{u"120"_qs, u"1350"_qs, u"500"_qs, u"100"_qs, u"25"_qs,
                       u"118"_qs, u"1342"_qs, u"498"_qs, u"99"_qs,  u"24"_qs}
        << QStringList{u"point 0 120 1350"_qs, u"point 1 118 1342"_qs} << u"5533"_qs << u"就绪"_qs;
  }
  void pass() {
    QFETCH(QString, chunk);
    QFETCH(PassOutcome, outcome);
    QFETCH(QStringList, values);
    QFETCH(QStringList, points);
    QFETCH(QString, text3);
    QFETCH(QString, text11);

    Bench bench;
    QCOMPARE(bench.Run(chunk), outcome);
    QCOMPARE(bench.text2.text, chunk);
    QCOMPARE(bench.log.text, chunk);
    QCOMPARE(bench.Values(), values);
    QCOMPARE(bench.Points(), points);
    QCOMPARE(bench.text3.text, text3);
    QCOMPARE(bench.text11.text, text11);
  }

  // Text11 keeps the previous pass's word when a pass ends early.
  void statusWordSurvivesAFailedPass() {
    Bench bench;
    bench.Run(u" Exit from discharge .... "_qs);
    QCOMPARE(bench.text11.text, u"暂停"_qs);
    bench.Run(u"$1,1,1"_qs);
    QCOMPARE(bench.text11.text, u"暂停"_qs);
    bench.Run(kTwoChannels);
    QCOMPARE(bench.text11.text, u"就绪"_qs);
  }

  void callOrder() {
    Bench bench;
    bench.Run(u"$1,1,120,1350,500,100,25;0"_qs);
    const QStringList expected{
        u"read"_qs,
        u"Text2 = $1,1,120,1350,500,100,25;0"_qs,
        u"log $1,1,120,1350,500,100,25;0"_qs,
        u"T1.Set 120"_qs,
        u"V1.Set 1350"_qs,
        u"I1.Set 500"_qs,
        u"R1.Set 100"_qs,
        u"W1.Set 25"_qs,
        u"T1.Get"_qs,
        u"V1.Get"_qs,
        u"point 0 120 1350"_qs,
        u"Text11 = 就绪"_qs,
    };
    QCOMPARE(bench.journal.lines, expected);
  }

  // Each readout is set before the next token is converted: a bad token
  // leaves the fields before it on their readouts.
  void readoutsAreSetBeforeTheNextConversion() {
    Bench bench;
    bench.Run(u"$1,1,7,8,9,oops,11"_qs);
    QCOMPARE(bench.journal.lines.filter(QStringLiteral(".Set")),
             (QStringList{u"T1.Set 7"_qs, u"V1.Set 8"_qs, u"I1.Set 9"_qs}));
    QCOMPARE(bench.Points(), QStringList());
  }

  void chartPointComesFromTheReadouts() {
    Bench bench;
    bench.R(0).offset = 1000;  // the time readout shows something else
    bench.R(1).offset = -1;
    bench.Run(u"$1,1,120,1350,500,100,25;0"_qs);
    QCOMPARE(bench.Points(), QStringList{u"point 0 1120 1349"_qs});
  }

  // The recorder hears the chunk even when showing it fails, each field only
  // once its readout took it, and the end of every pass.
  void recorderHearsWhatWasApplied_data() {
    QTest::addColumn<QString>("chunk");
    QTest::addColumn<bool>("failRead");
    QTest::addColumn<bool>("failLog");
    QTest::addColumn<QStringList>("heard");
    QTest::newRow("channel 2 only") << u"$1,0,,,,,,1,60,1300,500,50,24"_qs << false << false
                                    << QStringList{u"chunk $1,0,,,,,,1,60,1300,500,50,24"_qs,
                                                   u"2.0=60"_qs,
                                                   u"2.1=1300"_qs,
                                                   u"2.2=500"_qs,
                                                   u"2.3=50"_qs,
                                                   u"2.4=24"_qs,
                                                   u"end"_qs};
    QTest::newRow("cut short after the voltage")
        << u"$1,1,7,8,x"_qs << false << false
        << QStringList{u"chunk $1,1,7,8,x"_qs, u"1.0=7"_qs, u"1.1=8"_qs, u"end"_qs};
    QTest::newRow("log fails") << kTwoChannels << false << true
                               << QStringList{u"chunk "_qs + kTwoChannels, u"end"_qs};
    QTest::newRow("read fails") << kTwoChannels << true << false << QStringList{u"end"_qs};
  }
  void recorderHearsWhatWasApplied() {
    QFETCH(QString, chunk);
    QFETCH(bool, failRead);
    QFETCH(bool, failLog);
    QFETCH(QStringList, heard);
    Bench bench;
    bench.port.failRead = failRead;
    bench.log.fail = failLog;
    bench.Run(chunk);
    QCOMPARE(bench.recorder.lines, heard);
  }

  void failingOperationsEndThePassQuietly_data() {
    QTest::addColumn<bool>("failRead");
    QTest::addColumn<bool>("failLog");
    QTest::addColumn<QString>("text2");
    QTest::newRow("port refuses the read") << true << false << u"接收数据"_qs;
    QTest::newRow("log append fails") << false << true << kTwoChannels;
  }
  void failingOperationsEndThePassQuietly() {
    QFETCH(bool, failRead);
    QFETCH(bool, failLog);
    QFETCH(QString, text2);
    Bench bench;
    bench.port.failRead = failRead;
    bench.log.fail = failLog;
    QCOMPARE(bench.Run(kTwoChannels), PassOutcome::Ended);
    QCOMPARE(bench.text2.text, text2);
    QCOMPARE(bench.Points(), QStringList());
    QCOMPARE(bench.text11.text, QString());
  }
};

QTEST_GUILESS_MAIN(TestAcquisitionPass)
#include "test_acquisitionpass.moc"
