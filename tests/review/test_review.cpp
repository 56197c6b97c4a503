// The review: discharge summaries of known recordings, reading data1.txt back,
// the summary command, and curves drawn in their own colours.
#include <sys/stat.h>

#include <QAction>
#include <QApplication>
#include <QBuffer>
#include <QFileInfo>
#include <QImage>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCodec>
#include <QWheelEvent>
#include <cmath>
#include <map>

#include "acquisitionpass.h"
#include "clock.h"
#include "colourcount.h"
#include "cycles.h"
#include "dischargechart.h"
#include "dischargesummary.h"
#include "framecollector.h"
#include "reviewdialogs.h"
#include "reviewlaunch.h"
#include "reviewplot.h"
#include "reviewwindow.h"
#include "sessionexport.h"
#include "sessionrecording.h"
#include "sessionsource.h"
#include "snapshotfile.h"
#include "snapshotreader.h"
#include "summarycommand.h"

namespace {

QByteArray Gbk(const QString& text) {
  return QTextCodec::codecForName("GBK")->fromUnicode(text);
}

// A store of chunks held in memory; each chunk's channel fields are the ones
// the live pass applies (the collector's complete channels).
class FakeStore final : public SessionReader {
 public:
  void Add(qint64 id, const QStringList& chunks) {
    StoredSession s;
    s.id = id;
    s.startUtc = QDateTime(QDate(2026, 12, 1), QTime(8, 0), Qt::UTC).addDays(id);
    s.port = QStringLiteral("COM1");
    s.ended = SessionEnd::Closed;
    m_sessions << s;
    QList<StoredChunk>& list = m_chunks[id];
    for (const QString& text : chunks) {
      StoredChunk c;
      c.seq = list.size() + 1;
      c.text = text;
      FrameCollector sink;
      Parse(text, sink);
      const TelemetryFrame& f = sink.Frame();
      for (int ch = 1; ch <= 2; ++ch) {
        const ChannelReading& r = ch == 1 ? f.channel1 : f.channel2;
        if (f.isFrame && r.present) {
          c.channel[size_t(ch - 1)].fields = {r.time, r.voltage, r.current, r.capacity,
                                              r.temperature};
        }
      }
      list << c;
    }
  }
  QList<StoredSession> Sessions() override { return m_sessions; }
  std::optional<StoredSession> Find(std::optional<qint64> id) override {
    for (auto it = m_sessions.rbegin(); it != m_sessions.rend(); ++it) {
      if (!id || it->id == *id) {
        return *it;
      }
    }
    return std::nullopt;
  }
  bool ForEachChunk(qint64 id, const std::function<void(const StoredChunk&)>& visit) override {
    for (const StoredChunk& c : m_chunks[id]) {
      visit(c);
    }
    return true;
  }

 private:
  QList<StoredSession> m_sessions;
  std::map<qint64, QList<StoredChunk>> m_chunks;
};

// The pass's targets, as plain values.
struct PassFakes {
  struct Port final : TextSource {
    QString ReadAllAsText() override { return chunk; }
    QString chunk;
  } port;
  struct Box final : TextBox {
    QString Text() const override { return text; }
    void SetText(const QString& t) override { text = t; }
    QString text;
  } raw, nonFrame, status;
  struct Log final : LogSink {
    void AppendAndFollow(const QString& t) override { text += t; }
    QString text;
  } log;
  struct Value final : Readout {
    void SetValue(qint32 v) override { value = v; }
    qint32 GetValue() const override { return value; }
    qint32 value = 0;
  };
  std::array<Value, 10> readouts;
  struct Chart final : ChartSink {
    void AddPoint(int, double, double) override {}
  } chart;

  AcquisitionTargets Targets(PassRecorder* recorder) {
    auto channel = [this](int first) {
      std::array<Readout*, kQuantityCount> r{};
      for (int i = 0; i < kQuantityCount; ++i) {
        r[size_t(i)] = &readouts[size_t(first + i)];
      }
      return r;
    };
    return {port, raw, nonFrame, status, log, channel(0), channel(5), chart, recorder};
  }
};

class PassClock final : public Clock {
 public:
  qint64 MonotonicMs() const override { return m_ms += 1000; }
  QDateTime LocalNow() const override {
    return QDateTime(QDate(2026, 12, 8), QTime(9, 0)).addMSecs(m_ms);
  }

 private:
  mutable qint64 m_ms = 0;
};

// A discharge of `seconds` one-second frames on channel 1 from 1400 mV down
// to `endMv`, capacity counted from `ma`.
ReviewSource Discharge(const QString& name, int seconds, int endMv, int ma) {
  ReviewSource s;
  s.name = name;
  s.start = QDateTime(QDate(2026, 12, 1), QTime(9, 0));
  for (int t = 0; t <= seconds; t += 10) {
    s.channels[0].push_back({t, 1400 - (1400 - endMv) * t / seconds, ma, ma * t / 3600, 25});
  }
  return s;
}

}  // namespace

class TestReview : public QObject {
  Q_OBJECT
 private slots:
  void summaryOfFile_data();
  void summaryOfFile();
  void cycles_data();
  void cycles();
  void summaryArithmetic_data();
  void summaryArithmetic();
  void fileGivesTheSessionsFrames_data();
  void fileGivesTheSessionsFrames();
  void summaryCommand_data();
  void summaryCommand();
  void curvesInTheirOwnColours();
  void listAndOpenInOrder();
  void historyButtonOpensOneWindow();
  void mouseZoomAndPan_data();
  void mouseZoomAndPan();
};

void TestReview::summaryOfFile_data() {
  QTest::addColumn<QString>("text");
  QTest::addColumn<QString>("line1");
  QTest::addColumn<QString>("line2");
  QTest::addColumn<int>("skipped");

  QTest::newRow("absent channel, restart, noise, notice")
      << QStringLiteral(
             "2026年3月7日  9时5分3秒\r\n"
             "$1,1,0,1200,100,0,20;0,,,,,\r\n"
             "噪声 garbage\r\n"
             "$1,1,10,1100,100,1,22;1,0,1300,50,0,25\r\n"
             "$1,1,5,1000,100,2,21;1,10,1250,50,1,26\n"
             "$1,1,15,900,100,3,24;0,,,,,\r\n"
             " Exit from discharge .... \r\n")
      << "channel=1 frames=4 duration_s=20 capacity_mah=3 energy_mwh=0.583 avg_mv=1050.0 "
         "min_mv=900 end_mv=900 max_temp=24 ended=notice"
      << "channel=2 frames=2 duration_s=10 capacity_mah=1 energy_mwh=0.177 avg_mv=1275.0 "
         "min_mv=1250 end_mv=1250 max_temp=26 ended=notice"
      << 1;
  QTest::newRow("zero current, failed field, no notice")
      << QStringLiteral(
             "2026年3月7日  9时5分3秒\r\n"
             "$1,1,0,1000,0,0,20;1,0,1000,0,0,x\r\n"
             "$1,1,60,990,0,0,21;1,60,1000,0,0,20\r\n")
      << "channel=1 frames=2 duration_s=60 capacity_mah=0 energy_mwh=0.000 avg_mv=0.0 "
         "min_mv=990 end_mv=990 max_temp=21 ended=stopped"
      << "channel=2 frames=1 duration_s=0 capacity_mah=0 energy_mwh=0.000 avg_mv=0.0 "
         "min_mv=1000 end_mv=1000 max_temp=20 ended=stopped"
      << 1;
  QTest::newRow("no header, LF, blank line, frame glued to the notice")
      << QStringLiteral(
             "$1,1,0,1000,500,0,20;0,,,,,\n"
             "\n"
             " Exit from discharge .... $1,1,3600,900,500,500,30;0,,,,,\n")
      << "channel=1 frames=2 duration_s=3600 capacity_mah=500 energy_mwh=475.000 avg_mv=950.0 "
         "min_mv=900 end_mv=900 max_temp=30 ended=notice"
      << "channel=2 frames=0 duration_s=0 capacity_mah=0 energy_mwh=0.000 avg_mv=0.0 "
         "min_mv=0 end_mv=0 max_temp=0 ended=notice"
      << 0;
}

void TestReview::summaryOfFile() {
  QFETCH(QString, text);
  QFETCH(QString, line1);
  QFETCH(QString, line2);
  QFETCH(int, skipped);
  const ReviewSource source = ReadSnapshot(Gbk(text), QStringLiteral("data1.txt"));
  const std::vector<DischargeSummary> s = SummarizeSource(source);
  QCOMPARE(SummaryLine(s[0]), line1);
  QCOMPARE(SummaryLine(s[1]), line2);
  QCOMPARE(source.skipped, skipped);
}

void TestReview::cycles_data() {
  QTest::addColumn<std::vector<ChannelSample>>("samples");  // time, mV, mA, mAh, temperature
  QTest::addColumn<int>("cutoffMv");                        // -1: none asked for
  QTest::addColumn<QStringList>("lines");
  QTest::newRow("two cycles, each reaching the cut-off")
      << std::vector<ChannelSample>{{0, 1400, 500, 0, 25},
                                    {10, 1300, 700, 2, 26},
                                    {30, 1200, 900, 7, 27},
                                    {0, 1400, 600, 0, 25},
                                    {20, 1100, 600, 3, 26}}
      << 1300
      << QStringList{
             u"channel=1 cycle=1 frames=3 start_s=0 duration_s=30 capacity_mah=7 "
             "charge_mah=6.111 energy_mwh=7.764 avg_mv=1270.5 end_mv=1200 cutoff_s=10 "
             "cutoff_mah=1.667"_qs,
             u"channel=1 cycle=2 frames=2 start_s=0 duration_s=20 capacity_mah=3 "
             "charge_mah=3.333 energy_mwh=4.167 avg_mv=1250.0 end_mv=1100 cutoff_s=20 "
             "cutoff_mah=3.333"_qs};
  QTest::newRow("a late start, a repeated time, the cut-off never reached")
      << std::vector<ChannelSample>{{100, 1400, 500, 0, 25},
                                    {100, 1390, 500, 0, 25},
                                    {160, 1380, 500, 8, 25}}
      << 1000
      << QStringList{
             u"channel=1 cycle=1 frames=3 start_s=100 duration_s=60 capacity_mah=8 "
             "charge_mah=8.333 energy_mwh=11.542 avg_mv=1385.0 end_mv=1380 cutoff_s=- "
             "cutoff_mah=-"_qs};
  QTest::newRow("sums too small to show print as zero")
      << std::vector<ChannelSample>{{0, 1, -1, 0, 20}, {1, 1, -1, 0, 20}} << -1
      << QStringList{
             u"channel=1 cycle=1 frames=2 start_s=0 duration_s=1 capacity_mah=0 "
             "charge_mah=0.000 energy_mwh=0.000 avg_mv=1.0 end_mv=1 cutoff_s=- "
             "cutoff_mah=-"_qs};
  QTest::newRow("no readings, no line") << std::vector<ChannelSample>{} << 1000 << QStringList{};
}

void TestReview::cycles() {
  QFETCH(std::vector<ChannelSample>, samples);
  QFETCH(int, cutoffMv);
  QFETCH(QStringList, lines);
  QStringList printed;
  for (const CycleSummary& c :
       SummarizeCycles(1, samples, cutoffMv < 0 ? std::nullopt : std::optional<qint32>(cutoffMv))) {
    printed << CycleLine(c);
  }
  QCOMPARE(printed, lines);
}

void TestReview::summaryArithmetic_data() {
  QTest::addColumn<std::vector<ChannelSample>>("samples");  // time, mV, mA, mAh, temperature
  QTest::addColumn<QString>("line");
  // Worked by hand: energy sums dt·(Va·Ia + Vb·Ib)/2, charge dt·(Ia + Ib)/2,
  // over the steps where time increases; the mean voltage is their ratio.
  QTest::newRow("current changes every step")
      << std::vector<ChannelSample>{{0, 1400, 500, 0, 25},
                                    {10, 1300, 700, 2, 26},
                                    {30, 1200, 900, 7, 27}}
      << u"channel=1 frames=3 duration_s=30 capacity_mah=7 energy_mwh=7.764 avg_mv=1270.5 "
         "min_mv=1200 end_mv=1200 max_temp=27 ended=stopped"_qs;
  QTest::newRow("current reported negative")
      << std::vector<ChannelSample>{{0, 1000, -300, 0, 20}, {60, 1100, -500, 5, 22}}
      << u"channel=1 frames=2 duration_s=60 capacity_mah=5 energy_mwh=-7.083 avg_mv=1062.5 "
         "min_mv=1000 end_mv=1100 max_temp=22 ended=stopped"_qs;
  QTest::newRow("a restart is left out")
      << std::vector<ChannelSample>{{0, 1400, 500, 0, 25},
                                    {100, 1350, 500, 14, 25},
                                    {5, 1400, 520, 0, 26},
                                    {65, 1380, 520, 9, 27}}
      << u"channel=1 frames=4 duration_s=160 capacity_mah=9 energy_mwh=31.144 avg_mv=1380.8 "
         "min_mv=1350 end_mv=1380 max_temp=27 ended=stopped"_qs;
}

void TestReview::summaryArithmetic() {
  QFETCH(std::vector<ChannelSample>, samples);
  QFETCH(QString, line);
  QCOMPARE(SummaryLine(SummarizeChannel(1, samples, false)), line);
}

void TestReview::fileGivesTheSessionsFrames_data() {
  QTest::addColumn<QStringList>("chunks");  // what the charger sent, read by read
  QTest::addColumn<int>("frames1");         // channel 1's frames in both
  QTest::addColumn<bool>("notice");
  // Frames, a one-channel frame, a bad field, noise, the notice, and a
  // second discharge right after it.
  QTest::newRow("one frame a read") << QStringList{
      u"$1,1,0,1400,500,0,25;1,0,1390,480,0,25\r\n"_qs,
      u"$1,1,1,1398,500,0,25;0,,,,,\r\n"_qs,
      u"$1,1,2,1396,500,0,25;1,2,1385,480,0,x\r\n"_qs,
      u"#*@ line noise ~~\r\n"_qs,
      u"$1,1,3,1394,499,1,26;1,3,1380,479,1,26\r\n"_qs,
      u" Exit from discharge .... "_qs,
      u"$1,1,0,1400,500,0,25;1,0,1390,480,0,25\r\n"_qs,
  } << 5 << true;
  QTest::newRow("the notice in the read of the last frame") << QStringList{
      u"$1,1,20,1300,800,4,25;1,20,1290,700,4,25\r\n"_qs,
      u"$1,1,25,1250,820,5,27;1,25,1240,690,5,26\r\n Exit from discharge .... "_qs,
  } << 2 << true;
  QTest::newRow("frames split over two reads and doubled in one") << QStringList{
      u"$1,1,0,1400,500,0,25;1,0,1390,480,0,25\r\n"_qs,
      u"$1,1,1,1390,510,0,25;1,1,13"_qs,
      u"85,470,0,24\r\n$1,1,2,1380,530,1,26;1,2,1380,460,1,24\r\n"_qs,
      u"$1,1,3,1372,540,1,26;1,3,1377,455,1,25\r\n$1,1,4,1360,560,1,27;"_qs,
      u"1,4,1370,450,1,25\r\n"_qs,
      u"$1,1,5,1355,570,2,27;1,5,1366,445,2,25\r\n"_qs,
      u"$1,1,6,1349,575,2,28;1"_qs,  // cut off for good
  } << 7 << false;
}

void TestReview::fileGivesTheSessionsFrames() {
  QFETCH(QStringList, chunks);
  QFETCH(int, frames1);
  QFETCH(bool, notice);
  // The real pass recording into a real store; the session is then exported
  // as data1.txt, and both are read back.
  QTemporaryDir dir;
  const QString storePath = dir.filePath(QStringLiteral("sessions.db"));
  PassFakes fakes;
  {
    PassClock clock;
    SessionStore::Settings settings;
    settings.path = storePath;
    SessionRecording recording(settings, clock);
    recording.PortOpened(QStringLiteral("COM1"), QStringLiteral("/dev/ttyS0"));
    for (const QString& chunk : chunks) {
      fakes.port.chunk = chunk;
      RunAcquisitionPass(fakes.Targets(&recording));
    }
    recording.PortClosed();
  }
  QString error;
  const std::unique_ptr<SessionReader> store = SessionReader::Open(storePath, &error);
  QVERIFY2(store, qPrintable(error));
  const std::optional<StoredSession> stored = store->Find(std::nullopt);
  QVERIFY(stored);
  const std::optional<ReviewSource> session = ReadSession(*store, *stored, &error);
  QVERIFY2(session, qPrintable(error));
  QBuffer exported;
  exported.open(QIODevice::WriteOnly);
  QVERIFY(ExportData1(*store, *stored, exported, &error));
  const ReviewSource file = ReadSnapshot(exported.data(), QStringLiteral("data1.txt"));

  QCOMPARE(int(file.channels[0].size()), frames1);
  QVERIFY(file.channels == session->channels);
  QCOMPARE(file.notice, notice);
  QCOMPARE(session->notice, notice);
  QCOMPARE(file.start, stored->endUtc.toLocalTime());
  // And so the summaries agree to the digit.
  const std::vector<DischargeSummary> fromFile = SummarizeSource(file);
  const std::vector<DischargeSummary> fromSession = SummarizeSource(*session);
  for (size_t c = 0; c < 2; ++c) {
    QCOMPARE(SummaryLine(fromSession[c]), SummaryLine(fromFile[c]));
  }
}

void TestReview::summaryCommand_data() {
  QTest::addColumn<QStringList>("args");
  QTest::addColumn<int>("code");
  QTest::addColumn<QString>("outStart");

  QTest::newRow("latest") << QStringList{QStringLiteral("latest")} << 0
                          << QStringLiteral("channel=1 frames=2 duration_s=5 ");
  QTest::newRow("id") << QStringList{QStringLiteral("1")} << 0
                      << QStringLiteral("channel=1 frames=1 duration_s=0 ");
  QTest::newRow("file") << QStringList{QStringLiteral("FILE")} << 0
                        << QStringLiteral("channel=1 frames=1 duration_s=0 capacity_mah=7 ");
  QTest::newRow("unknown id") << QStringList{QStringLiteral("9")} << 1 << QString();
  QTest::newRow("missing file") << QStringList{QStringLiteral("/nonexistent/data1.txt")} << 1
                                << QString();
  QTest::newRow("no word") << QStringList{} << 2 << QString();
  // Never read: a device has no end, and a pipe would wait for a writer.
  QTest::newRow("a device") << QStringList{QStringLiteral("/dev/zero")} << 1 << QString();
  QTest::newRow("a pipe") << QStringList{QStringLiteral("FIFO")} << 1 << QString();
}

void TestReview::summaryCommand() {
  QFETCH(QStringList, args);
  QFETCH(int, code);
  QFETCH(QString, outStart);
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("data1.txt"));
  QVERIFY(WriteFileAtomically(path, Gbk(QStringLiteral("$1,1,0,1000,100,7,20;0,,,,,\r\n"))));
  args.replaceInStrings(QStringLiteral("FILE"), path);
  const QString fifo = dir.filePath(QStringLiteral("fifo"));
  QCOMPARE(::mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
  args.replaceInStrings(QStringLiteral("FIFO"), fifo);
  const StoreOpener opener = [](QString*) {
    auto store = std::make_unique<FakeStore>();
    store->Add(1, {QStringLiteral("$1,1,0,1000,100,0,20;0,,,,,\r\n")});
    store->Add(2, {QStringLiteral("$1,1,0,1000,100,0,20;0,,,,,\r\n"),
                   QStringLiteral("$1,1,5,990,100,1,20;0,,,,,\r\n")});
    return std::unique_ptr<SessionReader>(std::move(store));
  };
  QString out;
  QString err;
  QTextStream outStream(&out);
  QTextStream errStream(&err);
  QCOMPARE(RunSummaryCommand(args, outStream, errStream, opener), code);
  errStream.flush();
  if (code == 0) {
    QVERIFY2(out.startsWith(outStart), qPrintable(out));
    QCOMPARE(out.count(QLatin1Char('\n')), 2);
    QVERIFY(err.isEmpty());
  } else {
    QVERIFY(out.isEmpty());
    QVERIFY(!err.isEmpty());
  }
}

void TestReview::curvesInTheirOwnColours() {
  ReviewWindow window({});
  window.resize(1300, 800);
  window.show();
  window.AddSource(Discharge(QStringLiteral("A"), 3000, 1000, 500));
  window.AddSource(Discharge(QStringLiteral("B"), 3600, 1050, 450));
  window.AddSource(Discharge(QStringLiteral("C"), 2400, 950, 600));
  window.SetXAxis(ReviewXAxis::Capacity);
  QCOMPARE(window.Plot().CurveCount(), 3);
  // Aligned by capacity: the x axis takes in the largest capacity delivered.
  QVERIFY(window.Plot().AxisLower(true) <= 0);
  QVERIFY(window.Plot().AxisUpper(true) >= 600 * 2400 / 3600);

  const QImage plot = window.Plot().RenderImage(QSize(900, 500));
  const ReportContent content = window.Report();
  const QImage page = RenderReport(content, 100);
  QCOMPARE(content.rows.size(), 3);
  for (int i = 0; i < 3; ++i) {
    const QColor colour = window.CurveColour(i, 1);
    for (int j = 0; j < i; ++j) {
      QVERIFY(colour != window.CurveColour(j, 1));
    }
    // The legend's mark alone is about 20 px; a curve is hundreds.
    QVERIFY2(CountColour(plot, colour) > 300, qPrintable(colour.name()));
    QVERIFY2(CountColour(page, colour) > 200, qPrintable(colour.name()));
    QCOMPARE(content.rows[i].colour, colour);
  }
  // The report as a PDF; a folder that does not exist fails cleanly.
  QTemporaryDir dir;
  QVERIFY(SaveReport(content, dir.filePath(QStringLiteral("report.pdf"))));
  QFile pdf(dir.filePath(QStringLiteral("report.pdf")));
  QVERIFY(pdf.open(QIODevice::ReadOnly));
  QVERIFY(pdf.read(5) == "%PDF-" && pdf.size() > 10'000);
  QVERIFY(!SaveReport(content, dir.filePath(QStringLiteral("missing/report.pdf"))));
  QVERIFY(!SaveReport(content, dir.filePath(QStringLiteral("missing/report.png"))));

  // Hiding a curve leaves the others their colours.
  const QColor third = window.CurveColour(2, 1);
  window.SetCurveShown(1, 1, false);
  QCOMPARE(window.Plot().CurveCount(), 2);
  QCOMPARE(window.Plot().CurveColour(1), third);
  QCOMPARE(CountColour(window.Plot().RenderImage(QSize(900, 500)), window.CurveColour(1, 1)), 0);
}

void TestReview::listAndOpenInOrder() {
  struct Dialogs final : ReviewDialogs {
    QStringList FilesToOpen(QWidget*) override { return {}; }
    QString ReportFileToSave(QWidget*) override { return {}; }
    QString CsvFileToSave(QWidget*) override { return {}; }
    void ShowError(QWidget*, const QString& text) override { errors << text; }
    QStringList errors;
  } dialogs;
  QTemporaryDir dir;
  const QString path = dir.filePath(QStringLiteral("data1.txt"));
  QVERIFY(WriteFileAtomically(path, Gbk(QStringLiteral("$1,1,0,1000,100,7,20;0,,,,,\r\n"))));
  // Each call makes its own store, as each thread opens its own connection.
  ReviewWindow window([](QString*) {
    auto store = std::make_unique<FakeStore>();
    store->Add(1, {QStringLiteral("$1,1,0,1300,100,0,20;1,0,1200,90,0,20\r\n"),
                   QStringLiteral("$1,1,9,1290,100,4,20;0,,,,,\r\n")});
    store->Add(2, {QStringLiteral("$1,0,,,,,;1,0,1100,50,3,20\r\n")});
    return std::unique_ptr<SessionReader>(std::move(store));
  });
  window.SetDialogs(&dialogs);
  window.WaitForSessionList();
  QTableWidget& list = window.SessionTable();
  QCOMPARE(list.rowCount(), 2);
  const QStringList expected[] = {
      QStringList{u"2"_qs, u"-"_qs, u"3 mAh / 1100 mV"_qs},
      QStringList{u"1"_qs, u"4 mAh / 1290 mV"_qs, u"0 mAh / 1200 mV"_qs}};
  for (int row = 0; row < 2; ++row) {
    const QStringList cells = {list.item(row, 0)->text(), list.item(row, 5)->text(),
                               list.item(row, 6)->text()};
    QCOMPARE(cells, expected[row]);
  }

  const QString notes = dir.filePath(QStringLiteral("notes.txt"));
  QVERIFY(WriteFileAtomically(notes, Gbk(QStringLiteral("电池 A\r\n$2,1,0\r\n"))));
  QVERIFY(window.OpenFile(path));
  QVERIFY(window.OpenFile(notes));  // no frames: a message, nothing opened
  QVERIFY(window.OpenRef(QStringLiteral("latest")));
  QVERIFY(!window.OpenRef(QStringLiteral("9")));
  QVERIFY(window.OpenRef(QStringLiteral("1")));
  window.WaitForLoads();
  QCOMPARE(window.SourceCount(), 3);
  QCOMPARE(window.Source(0).path, QFileInfo(path).absoluteFilePath());
  QCOMPARE(window.Source(1).sessionId, 2);
  QCOMPARE(window.Source(2).sessionId, 1);
  QCOMPARE(dialogs.errors.size(), 2);
  // One summary row per channel with readings.
  QCOMPARE(window.SummaryTable().rowCount(), 4);

  // CSV in the store export's columns: the sessions' rows as the store
  // exports them, the file's with an empty time.
  window.CloseAll();
  window.OpenRef(QStringLiteral("1"));
  const QString oddName = dir.filePath(QStringLiteral("a,\"b\".txt"));
  QVERIFY(QFile::copy(path, oddName));
  window.OpenFile(oddName);
  window.WaitForLoads();
  const QString csvPath = dir.filePath(QStringLiteral("out.csv"));
  QString error;
  QVERIFY2(window.ExportCsv(csvPath, &error), qPrintable(error));
  FakeStore store;
  store.Add(1, {QStringLiteral("$1,1,0,1300,100,0,20;1,0,1200,90,0,20\r\n"),
                QStringLiteral("$1,1,9,1290,100,4,20;0,,,,,\r\n")});
  QBuffer exported;
  exported.open(QIODevice::WriteOnly);
  QVERIFY(::ExportCsv(store, *store.Find(1), exported, &error));
  QFile csv(csvPath);
  QVERIFY(csv.open(QIODevice::ReadOnly));
  // Byte for byte, so the byte-order mark spreadsheets need is there.
  const QByteArray bytes = csv.readAll();
  QVERIFY(bytes.startsWith("\xEF\xBB\xBF"));
  // The source column first; a file is named by its path, quoted when it
  // holds a comma.
  QList<QByteArray> lines = exported.data().split('\n');
  lines.removeLast();
  lines[0].replace("\xEF\xBB\xBF", "\xEF\xBB\xBF来源,");
  QByteArray rows = lines.takeFirst() + '\n';
  for (const QByteArray& line : lines) {
    rows += "会话 1," + line + '\n';
  }
  QByteArray quoted = QDir::toNativeSeparators(window.Source(1).path).toUtf8();
  quoted.replace("\"", "\"\"");
  QCOMPARE(bytes, rows + '"' + quoted + "\",,0,1000,100,7,20,,,,,\r\n");
  QCOMPARE(bytes.count("会话 1,"), 2);
}

void TestReview::historyButtonOpensOneWindow() {
  QWidget main;
  auto* chart = new DischargeChart(&main);
  int opened = 0;
  ConnectHistoryButton(*chart, [&opened](QString*) {
    ++opened;
    return std::unique_ptr<SessionReader>();
  });
  QAction* history = nullptr;
  for (QAction* a : chart->findChildren<QAction*>()) {
    if (a->text() == QStringLiteral("历史记录")) {
      history = a;
    }
  }
  QVERIFY(history);
  history->trigger();
  history->trigger();
  const QList<ReviewWindow*> windows = main.findChildren<ReviewWindow*>();
  QCOMPARE(windows.size(), 1);
  QVERIFY(windows[0]->isVisible());
  windows[0]->WaitForSessionList();  // the store is opened on a worker
  QCOMPARE(opened, 1);
}

void TestReview::mouseZoomAndPan_data() {
  QTest::addColumn<QString>("gesture");
  QTest::addColumn<double>("spanFactor");  // new x span / old x span
  QTest::addColumn<int>("shiftSign");      // of the x range's centre; 2: not checked
  QTest::newRow("wheel up zooms in") << "wheel up" << 0.5 << 2;
  QTest::newRow("wheel down zooms out") << "wheel down" << 2.0 << 2;
  QTest::newRow("drag to the left pans right") << "drag" << 1.0 << 1;
  QTest::newRow("dragging the cursor leaves the view") << "cursor" << 1.0 << 0;
}

void TestReview::mouseZoomAndPan() {
  QFETCH(QString, gesture);
  QFETCH(double, spanFactor);
  QFETCH(int, shiftSign);
  ReviewPlot plot;
  plot.resize(800, 500);
  plot.show();
  const int c = plot.AddCurve(QStringLiteral("A"), Qt::red);
  for (int t = 0; t <= 1000; ++t) {
    plot.AddPoint(c, t, 1400 - t * 0.3);
  }
  plot.FitAll();
  plot.ReplotNow();
  QWidget* canvas = nullptr;
  for (QWidget* w : plot.findChildren<QWidget*>()) {
    if (QByteArray(w->metaObject()->className()) == "QCustomPlot") {
      canvas = w;
    }
  }
  QVERIFY(canvas);
  const double lo = plot.AxisLower(true);
  const double hi = plot.AxisUpper(true);
  const QPoint centre = canvas->rect().center();
  if (gesture.startsWith(QStringLiteral("wheel"))) {
    // Four notches of the wheel halve or double QCustomPlot's default span.
    const int delta = gesture.endsWith(QStringLiteral("up")) ? 120 : -120;
    const double notches = std::log(spanFactor) / std::log(0.85) / (delta > 0 ? 1 : -1);
    for (int i = 0; i < int(std::lround(std::abs(notches))); ++i) {
      QWheelEvent wheel(centre, canvas->mapToGlobal(centre), {}, {0, delta}, Qt::NoButton,
                        Qt::NoModifier, Qt::NoScrollPhase, false);
      QApplication::sendEvent(canvas, &wheel);
    }
  } else {
    if (gesture == QStringLiteral("cursor")) {
      plot.SetCursorVisible(true);
      plot.ReplotNow();
    }
    // The cursor's first pointer stands at half the plot area's width, about
    // the canvas's centre; the drag starts at the pointer's pixel.
    QPoint from = centre;
    if (gesture == QStringLiteral("cursor")) {
      // The pointer is the column with the most of its colour.
      const QImage image = plot.RenderImage(canvas->size());
      int most = 0;
      for (int x = centre.x() - 60; x <= centre.x() + 60; ++x) {
        int n = 0;
        for (int y = 0; y < image.height(); ++y) {
          const QColor p = image.pixelColor(x, y);
          n += p.red() > 150 && p.green() < 80 && p.blue() < 80;
        }
        if (n > most) {
          most = n;
          from.setX(x);
        }
      }
    }
    QTest::mousePress(canvas, Qt::LeftButton, {}, from);
    QTest::mouseMove(canvas, from - QPoint(200, 0));
    QTest::mouseRelease(canvas, Qt::LeftButton, {}, from - QPoint(200, 0));
  }
  const double span = plot.AxisUpper(true) - plot.AxisLower(true);
  QVERIFY2(std::abs(span / (hi - lo) - spanFactor) < 0.1 * spanFactor,
           qPrintable(QString::number(span / (hi - lo))));
  const double shift = (plot.AxisUpper(true) + plot.AxisLower(true) - hi - lo) / 2;
  if (shiftSign == 2) {
    return;  // the wheel zooms about the pointer, not the centre
  }
  if (shiftSign == 0) {
    QVERIFY(std::abs(shift) < 0.01 * (hi - lo));
  } else {
    QVERIFY(shift * shiftSign > 0.1 * (hi - lo));
  }
}

QTEST_MAIN(TestReview)
#include "test_review.moc"
