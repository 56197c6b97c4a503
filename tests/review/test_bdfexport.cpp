// Battery Data Format files as another program reads them: Python's csv
// module reads every file back and checks every value against the raw
// readings; a file of the same name is replaced only when it is an earlier
// export; a session's readings carry the wall time of the chunk that ended
// their line.

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "bdfexport.h"
#include "sessionsource.h"
#include "storewriter.h"

namespace {

BdfSource MadeUp() {
  BdfSource s;
  s.name = u"会话 7"_qs;
  s.sessionId = 7;
  s.date = QDate(2026, 3, 7);
  s.cells = {u"电芯Ä-01"_qs, u"B.0002"_qs};
  // Discharge, a charge (negative current), a restart, and readings at the
  // ends of their range, whose conversion needs every digit.
  s.channels[0] = {{0, 4187, 1500, 0, 25},
                   {1, 4099, 1501, 1, 26},
                   {2, 1, -1, 999, -5},
                   {0, 2147483647, -2147483647 - 1, 2147483647, 2147483647},
                   {3, -2147483647 - 1, 2147483647, -1000, -2147483647 - 1},
                   {3, 1010, 10, 1001, 0}};
  s.wallMs[0] = {1772841600000, 1772841601001, 1772841602010, 1772841602999, -1, 253402300799999};
  s.channels[1] = {{5, 3700, -20, 12, 31}, {4, 3650, 0, 0, 30}};
  s.wallMs[1] = {1772841600123, 1772841601000};
  return s;
}

QJsonObject Expected(const QString& path, const BdfSource& s, int channel, bool times) {
  QJsonArray rows;
  const auto& samples = s.channels[size_t(channel - 1)];
  for (size_t i = 0; i < samples.size(); ++i) {
    const ChannelSample& r = samples[i];
    rows.append(
        QJsonArray{r.time, r.voltage, r.current, r.capacity, r.temperature,
                   times ? QJsonValue(double(s.wallMs[size_t(channel - 1)][i])) : QJsonValue()});
  }
  QJsonArray header;
  for (const char* label :
       {"Test Time / s", "Voltage / V", "Current / A", "Unix Time / s", "Cycle Count / 1",
        "Discharging Capacity / Ah", "Surface Temperature T1 / degC"}) {
    header.append(QString::fromUtf8(label));
  }
  return {{u"path"_qs, path}, {u"header"_qs, header}, {u"rows"_qs, rows}};
}

// Runs the Python check over `expected`; its output on failure.
QString PythonCheck(const QJsonArray& expected, const QTemporaryDir& dir) {
  QFile json(dir.filePath(u"expected.json"_qs));
  if (!json.open(QIODevice::WriteOnly) || json.write(QJsonDocument(expected).toJson()) <= 0 ||
      !json.flush()) {
    return u"cannot write expected.json"_qs;
  }
  QProcess python;
  python.setProcessChannelMode(QProcess::MergedChannels);
  python.start(QStringLiteral(ORVANTA_PYTHON3),
               {QStringLiteral(ORVANTA_BDF_READBACK), json.fileName()});
  if (!python.waitForFinished(30000) || python.exitStatus() != QProcess::NormalExit ||
      python.exitCode() != 0) {
    return u"python: "_qs + QString::fromUtf8(python.readAll()) + python.errorString();
  }
  return {};
}

QByteArray Bytes(const QString& path) {
  QFile file(path);
  return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

}  // namespace

class TestBdfExport : public QObject {
  Q_OBJECT
 private slots:
  void readsBackExactly();
  void existingFiles_data();
  void existingFiles();
  void sessionWallTimes();
  void twoSourcesOneName();
};

void TestBdfExport::readsBackExactly() {
  QTemporaryDir dir;
  BdfSource s = MadeUp();
  QStringList written;
  QString error;
  QVERIFY2(WriteBdfFiles(s, dir.path(), &written, &error), qPrintable(error));
  const QStringList names{u"Orvanta__电芯Ä-01__20260307_007.bdf.csv"_qs,
                          u"Orvanta__B.0002__20260307_007.bdf.csv"_qs};
  QCOMPARE(written, QStringList({dir.filePath(names[0]), dir.filePath(names[1])}));
  QJsonArray expected{Expected(written[0], s, 1, true), Expected(written[1], s, 2, true)};

  // A data1.txt file's readings have no times; one channel without
  // readings gets no file; one label on both channels still gives two.
  QTemporaryDir fileDir;
  BdfSource file = MadeUp();
  file.sessionId = 0;
  file.fileStem = u"data1"_qs;
  file.wallMs = {};
  file.channels[1].clear();
  written.clear();
  QVERIFY2(WriteBdfFiles(file, fileDir.path(), &written, &error), qPrintable(error));
  QCOMPARE(written, QStringList{fileDir.filePath(u"Orvanta__电芯Ä-01__20260307_000.bdf.csv"_qs)});
  expected.append(Expected(written[0], file, 1, false));
  QVERIFY2(PythonCheck(expected, dir).isEmpty(), qPrintable(PythonCheck(expected, dir)));

  file.cells = {};
  file.channels = MadeUp().channels;
  written.clear();
  QVERIFY(WriteBdfFiles(file, fileDir.path(), &written, &error));
  QCOMPARE(written,
           QStringList({fileDir.filePath(u"Orvanta__data1-CH1__20260307_000.bdf.csv"_qs),
                        fileDir.filePath(u"Orvanta__data1-CH2__20260307_000.bdf.csv"_qs)}));
}

void TestBdfExport::existingFiles_data() {
  QTest::addColumn<QString>("there");  // what stands at channel 1's name
  QTest::addColumn<bool>("written");
  QTest::newRow("an earlier export is replaced") << u"export"_qs << true;
  QTest::newRow("a foreign file stays") << u"foreign"_qs << false;
  QTest::newRow("a link to a file is not followed") << u"link"_qs << false;
  QTest::newRow("a dangling link is not followed") << u"dangling"_qs << false;
  QTest::newRow("a folder stays") << u"folder"_qs << false;
}

void TestBdfExport::existingFiles() {
  QFETCH(QString, there);
  QFETCH(bool, written);
  QTemporaryDir dir;
  const BdfSource s = MadeUp();
  const QString first = dir.filePath(BdfFileName(s, 1));
  const QString second = dir.filePath(BdfFileName(s, 2));
  const QString target = dir.filePath(u"target.txt"_qs);
  const QByteArray foreign = "Test Time / s,Voltage / V\n1,2\n";  // not quite ours
  QFile file(there == u"link"_qs ? target : first);
  if (there == u"export" || there == u"foreign" || there == u"link") {
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write(there == u"export" ? BdfHeader() + "9,9,9,,1,9,9\n" : foreign) > 0);
    file.close();
  }
  if (there == u"link" || there == u"dangling") {
    QVERIFY(QFile::link(target, first));
  } else if (there == u"folder") {
    QVERIFY(QDir(dir.path()).mkdir(BdfFileName(s, 1)));
  }
  QStringList paths;
  QString error;
  QCOMPARE(WriteBdfFiles(s, dir.path(), &paths, &error), written);
  if (written) {
    QCOMPARE(Bytes(first), BdfHeader() + BdfRows(s.channels[0], s.wallMs[0]));
    return;
  }
  QVERIFY2(error.contains(QDir::toNativeSeparators(first)), qPrintable(error));
  QVERIFY(paths.isEmpty());
  QVERIFY(!QFileInfo::exists(second));  // stopped before writing anything
  if (there == u"link") {
    QCOMPARE(Bytes(target), foreign);
    QVERIFY(QFileInfo(first).isSymLink());
  } else if (there == u"dangling") {
    QVERIFY(!QFileInfo::exists(target));
  } else if (there == u"foreign") {
    QCOMPARE(Bytes(first), foreign);
  }
}

void TestBdfExport::sessionWallTimes() {
  // Chunk 2 ends the line chunk 1 began; chunk 3 holds two lines.
  const QStringList texts{u"$1,1,10,1400,500,1,25;1,10,1300,4"_qs, u"00,2,24\r\n"_qs,
                          u"$1,1,11,1399,500,2,25;0,,,,,\r\n$1,1,12,1398,500,3,25;0,,,,,\r\n"_qs,
                          u"$1,1,13,1397,500,4,25;1,9,1290,400,3,23"_qs};
  const qint64 wall0 = 1'772'841'600'250;
  QTemporaryDir dir;
  const QString db = dir.filePath(u"sessions.db"_qs);
  {
    StoreWriter writer({.path = db});
    std::deque<StoreCommand> commands(1);
    commands[0].kind = StoreCommand::Kind::Begin;
    commands[0].session = 1;
    commands[0].startMs = wall0;
    commands[0].cells = {u"A0001"_qs, QString()};
    for (int i = 0; i < texts.size(); ++i) {
      StoreCommand& c = commands.emplace_back();
      c.session = 1;
      c.chunk.seq = i + 1;
      c.chunk.wallMs = wall0 + 1000 * i + i * i;
      c.chunk.text = texts[i];
    }
    QVERIFY(writer.Write(commands));
  }
  QString error;
  auto reader = SessionReader::Open(db, &error);
  QVERIFY2(reader, qPrintable(error));
  const std::optional<StoredSession> session = reader->Find(1);
  QVERIFY(session);
  const std::optional<BdfSource> bdf = ReadBdfSession(*reader, *session, &error);
  QVERIFY2(bdf, qPrintable(error));
  const std::optional<ReviewSource> review = ReadSession(*reader, *session, &error);
  QVERIFY(review);
  QCOMPARE(bdf->channels, review->channels);  // the summary's readings
  QCOMPARE(BdfFileName(*bdf, 1), u"Orvanta__A0001__20260307_001.bdf.csv"_qs);
  QCOMPARE(BdfFileName(*bdf, 2), u"Orvanta__S1-CH2__20260307_001.bdf.csv"_qs);
  const auto wall = [&](int chunk) { return wall0 + 1000 * chunk + chunk * chunk; };
  QCOMPARE(bdf->wallMs[0], (std::vector<qint64>{wall(1), wall(2), wall(2), wall(3)}));
  QCOMPARE(bdf->wallMs[1], (std::vector<qint64>{wall(1), wall(3)}));
}

void TestBdfExport::twoSourcesOneName() {
  // Two unlabelled data1.txt files of one day: the second must not replace
  // what the first just wrote.
  QTemporaryDir dir;
  std::vector<CsvSource> sources;
  for (const QString& folder : {u"a"_qs, u"b"_qs}) {
    QVERIFY(QDir(dir.path()).mkdir(folder));
    QFile file(dir.filePath(folder + u"/data1.txt"_qs));
    QVERIFY(file.open(QIODevice::WriteOnly));
    QVERIFY(file.write("$1,1,1,1400,500,1,25;0,,,,,\r\n") > 0);
    sources.push_back({0, file.fileName()});
  }
  QStringList written;
  QString error;
  QVERIFY(!WriteBdfSources(sources, {}, dir.path(), &written, &error));
  QVERIFY2(error.contains(u"Orvanta__data1-CH1__"_qs), qPrintable(error));
  QCOMPARE(written.size(), 1);
  QVERIFY(Bytes(written[0]).endsWith(",1,0.001,25\n"));
}

QTEST_GUILESS_MAIN(TestBdfExport)
#include "test_bdfexport.moc"
