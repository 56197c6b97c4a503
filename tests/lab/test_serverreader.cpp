// The lab server read as a store: the sessions tool and the review window
// get from the server what each bench sent, to the byte.
#include <QProcess>
#include <QtTest/QtTest>

#include "acquisitionpass.h"
#include "labfixture.h"
#include "serversessionreader.h"
#include "sessionsource.h"

using labfixture::Chunk;
using labfixture::Readings;

namespace {

const QString kMarker = QString::fromUtf16(kEndOfDischargeNotice);

struct Seen {
  qint64 seq;
  QString text;
  bool textNull;
  std::array<StoredChannel, 2> channels;
  bool operator==(const Seen& o) const {
    return seq == o.seq && text == o.text && textNull == o.textNull &&
           channels[0].fields == o.channels[0].fields && channels[1].fields == o.channels[1].fields;
  }
};

std::vector<Seen> Collect(
    const std::function<bool(const std::function<void(const StoredChunk&)>&)>& read, bool* ok) {
  std::vector<Seen> seen;
  *ok = read([&](const StoredChunk& c) {
    seen.push_back({c.seq, c.text, c.text.isNull(), c.channel});
  });
  return seen;
}

}  // namespace

class TestServerReader : public QObject {
  Q_OBJECT
 private:
  std::unique_ptr<ServerSessionReader> OpenReader() {
    QString error;
    auto reader = ServerSessionReader::Open(pgserver::Uri(), &error);
    if (!reader) {
      qWarning("%s", qPrintable(error));
    }
    return reader;
  }

 private slots:
  void initTestCase() {
    if (const QString why = pgserver::Skipped(); !why.isEmpty()) {
      QSKIP(qPrintable(why));
    }
    QVERIFY(labfixture::Admin().isOpen());
  }

  // Each row's text is the middle of three chunks, between whole frame
  // lines, so that reading line by line sees it in context.
  void chunksReadBackExactly_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("complete");  // the middle chunk's channel 1 is complete
    QTest::newRow("frame line") << u"1 3900 1000 10 25 2 3800 900 11 26\n"_qs << true;
    QTest::newRow("NUL in it") << (u"12 3"_qs + QChar(0) + u"9 1\n"_qs) << false;
    QTest::newRow("backslash zero and NUL") << (u"a\\0b\\\\"_qs + QChar(0) + u"\\"_qs) << false;
    QTest::newRow("split frame, no line end") << u"3 3870 10"_qs << false;
    QTest::newRow("two lines") << u"4 3860 1000 12 25\n5 3850 1000 13 25\n"_qs << true;
    QTest::newRow("notice") << kMarker << false;
    QTest::newRow("notice and line end") << kMarker + u"\n"_qs << false;
    QTest::newRow("chinese and CR LF") << u"充电结束 电压 4.20V\r\n"_qs << false;
    QTest::newRow("empty") << QString() << false;
  }
  void chunksReadBackExactly() {
    QFETCH(QString, text);
    QFETCH(bool, complete);
    const QString uuid = labfixture::NewUuid();
    QVERIFY(labfixture::PutSession(uuid, u"bench-a"_qs, u"COM1"_qs, 1'700'000'000'000));
    const QList<Chunk> chunks = {
        {1, 1'700'000'001'000, u"1 3900 1000 10 25 1 3800 900 11 26\n"_qs,
         Readings({1, 3900, 1000, 10, 25}, std::array<qint32, 5>{1, 3800, -900, 11, -3})},
        {2, 1'700'000'002'000, text, Readings({2, 3890, -1001, 11, 25}, std::nullopt)},
        {3, 1'700'000'003'000, u"3 3880 1000 12 25 3 3790 900 12 26\n"_qs,
         Readings({3, 3880, 1000, 12, 25}, std::array<qint32, 5>{3, 3790, 900, 12, 26})},
    };
    QList<Chunk> stored = chunks;
    if (!complete) {
      stored[1].readings[0][4].reset();  // channel 1 cut short before its temperature
    }
    QVERIFY(labfixture::PutChunks(uuid, stored));

    auto reader = OpenReader();
    QVERIFY(reader);
    const std::optional<StoredSession> session = reader->FindByUuid(uuid);
    QVERIFY(session);
    QCOMPARE(session->chunks, 3);

    bool ok = false;
    std::vector<StoredChunk> all;
    QVERIFY(reader->ForEachChunk(session->id, [&](const StoredChunk& c) { all.push_back(c); }));
    QCOMPARE(all.size(), size_t(3));
    for (size_t i = 0; i < 3; ++i) {
      QCOMPARE(all[i].seq, stored[qsizetype(i)].seq);
      QCOMPARE(all[i].wallMs, stored[qsizetype(i)].wallMs);
      QCOMPARE(all[i].text.size(), stored[qsizetype(i)].text.size());
      QCOMPARE(all[i].text, stored[qsizetype(i)].text);
      for (size_t c = 0; c < 2; ++c) {
        QCOMPARE(all[i].channel[c].fields, stored[qsizetype(i)].readings[c]);
      }
    }

    // Complete readings alone, as a chart reads them: a channel cut short
    // comes empty.
    std::vector<std::array<StoredChannel, 2>> readings;
    QVERIFY(reader->ForEachChunkPart(session->id, SessionReader::ChunkParts::CompleteReadings,
                                     [&](const StoredChunk& c) { readings.push_back(c.channel); }));
    QCOMPARE(readings.size(), size_t(3));
    for (size_t i = 0; i < 3; ++i) {
      for (size_t c = 0; c < 2; ++c) {
        StoredChannel expected = all[i].channel[c];
        if (!expected.All()) {
          expected.fields.fill(std::nullopt);
        }
        QCOMPARE(readings[i][c].fields, expected.fields);
      }
    }

    // The server's own line-by-line reading, its search for the notice and
    // its lookups give what the generic ones give from every chunk.
    const auto server = Collect(
        [&](const auto& visit) { return reader->ForEachLineChunk(session->id, kMarker, visit); },
        &ok);
    QVERIFY(ok);
    const auto generic = Collect(
        [&](const auto& visit) {
          return reader->SessionReader::ForEachLineChunk(session->id, kMarker, visit);
        },
        &ok);
    QVERIFY(ok);
    QVERIFY(server == generic);
    QCOMPARE(reader->AnyChunkContains(session->id, kMarker),
             reader->SessionReader::AnyChunkContains(session->id, kMarker));
    QCOMPARE(reader->AnyChunkContains(session->id, QString(QChar(0))),
             std::optional<bool>(text.contains(QChar(0))));
    QCOMPARE(reader->ChunkTextAfter(session->id, 1), std::optional<QString>(text));
    const auto last = reader->LastCompleteReadings(session->id);
    const auto lastGeneric = reader->SessionReader::LastCompleteReadings(session->id);
    QVERIFY(last && lastGeneric);
    QCOMPARE((*last)[0].fields, (*lastGeneric)[0].fields);
    QCOMPARE((*last)[1].fields, (*lastGeneric)[1].fields);
    QCOMPARE(reader->LastChunkWallMs(session->id),
             std::optional<std::optional<qint64>>(1'700'000'003'000));
  }

  // Long enough to be read on several connections at once, ending past a
  // batch boundary: every chunk once, in order.
  void longSessionStreamsInBatches() {
    const QString uuid = labfixture::NewUuid();
    QVERIFY(labfixture::PutSession(uuid, u"bench-long"_qs, u"COM2"_qs, 1'700'000'000'000));
    const qint64 n = ServerSessionReader::kParallelRows + ServerSessionReader::kBatchRows / 2 + 1;
    QSqlQuery q(labfixture::Admin());
    q.prepare(QStringLiteral(
        "INSERT INTO chunks(session_uuid, seq, wall_ms, mono_ms, text, text_escaped, "
        "t1, v1, i1, r1, w1) SELECT ?::uuid, s, 1700000000000 + s * 1000, s * 1000, "
        "s || ' ' || (4000 - s % 1000) || E' 1000 5 25\\n', false, s, 4000 - s % 1000, 1000, 5, 25 "
        "FROM generate_series(1, ?) s"));
    q.addBindValue(uuid);
    q.addBindValue(n);
    QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    q.prepare(QStringLiteral("UPDATE sessions SET chunks = ?, frames = ? WHERE uuid = ?::uuid"));
    q.addBindValue(n);
    q.addBindValue(n);
    q.addBindValue(uuid);
    QVERIFY(q.exec());

    auto reader = OpenReader();
    QVERIFY(reader);
    const std::optional<StoredSession> session = reader->FindByUuid(uuid);
    QVERIFY(session);
    qint64 count = 0, expected = 1;
    bool inOrder = true;
    QVERIFY(reader->ForEachChunkPart(session->id, SessionReader::ChunkParts::Text,
                                     [&](const StoredChunk& c) {
                                       inOrder = inOrder && c.seq == expected++;
                                       ++count;
                                     }));
    QVERIFY(inOrder);
    QCOMPARE(count, n);
    QString error;
    const std::optional<ReviewSource> source = ReadSession(*reader, *session, &error);
    QVERIFY2(source, qPrintable(error));
    QCOMPARE(qint64(source->Channel(1).size()), n);
    QCOMPARE(source->Channel(1).back().voltage, 4000 - n % 1000);
    QVERIFY(source->Channel(2).empty());
  }

  void sessionsCarryBenchCellsAndEnd() {
    const QString running = labfixture::NewUuid();
    const QString closed = labfixture::NewUuid();
    QVERIFY(labfixture::PutSession(running, u"bench-b"_qs, u"COM3"_qs, 1'600'000'000'000, 0,
                                   {u"A0001"_qs, QString()}));
    QVERIFY(labfixture::PutSession(closed, u"bench-c"_qs, u"COM4"_qs, 1'600'000'100'000,
                                   int(SessionEnd::Interrupted)));
    auto reader = OpenReader();
    QVERIFY(reader);
    const auto a = reader->FindByUuid(running);
    const auto b = reader->FindByUuid(closed);
    QVERIFY(a && b);
    QCOMPARE(a->bench, u"bench-b"_qs);
    QCOMPARE(a->cells[0], u"A0001"_qs);
    QCOMPARE(a->ended, SessionEnd::Running);
    QVERIFY(!a->endUtc.isValid());
    QCOMPARE(b->ended, SessionEnd::Interrupted);
    QCOMPARE(b->endUtc.toMSecsSinceEpoch(), 1'600'000'101'000);
    QCOMPARE(b->startUtc.timeSpec(), Qt::UTC);
    QCOMPARE(reader->Find(b->id)->uuid, closed);
    QCOMPARE(reader->Find(std::nullopt)->id, reader->Sessions().last().id);
    QVERIFY(!reader->FindByUuid(u"'; DROP TABLE chunks; --"_qs));
    QVERIFY(reader->ReadError().isEmpty());
  }

  void toolReadsTheServer() {
    const QString uuid = labfixture::NewUuid();
    QVERIFY(labfixture::PutSession(uuid, u"工作台 7"_qs, u"COM5"_qs, 1'650'000'000'000));
    const QString first = u"7 3700 500 20 30\n"_qs;
    const QString second = u"8 36"_qs + QChar(0) + u"90 500 21 30\n"_qs;
    QVERIFY(labfixture::PutChunks(
        uuid, {{1, 1'650'000'001'000, first, Readings({7, 3700, 500, 20, 30}, std::nullopt)},
               {2, 1'650'000'002'000, second, {}}}));
    auto reader = OpenReader();
    QVERIFY(reader);
    const qint64 id = reader->FindByUuid(uuid)->id;

    const auto run = [](const QStringList& args, QByteArray* err = nullptr) {
      QProcess tool;
      QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
      env.insert(u"LC_ALL"_qs, u"zh_CN.UTF-8"_qs);
      tool.setProcessEnvironment(env);
      tool.start(QStringLiteral(ORVANTA_SESSIONS_PATH), args);
      const bool done = tool.waitForFinished(30000);
      if (err) {
        *err = tool.readAllStandardError();
      }
      return std::make_pair(done && tool.exitCode() == 0, tool.readAllStandardOutput());
    };
    const auto [listed, list] = run({u"--server"_qs, pgserver::Uri(), u"list"_qs});
    QVERIFY(listed);
    bool found = false;
    for (const QByteArray& line : list.split('\n')) {
      const QList<QByteArray> cells = line.split('\t');
      if (cells.value(0).toLongLong() == id) {
        found = true;
        QCOMPARE(cells.value(4), QByteArray("COM5"));
        QCOMPARE(QString::fromUtf8(cells.last()), u"工作台 7"_qs);
      }
    }
    QVERIFY2(found, list.constData());

    // data1.txt is GBK with a date header: what follows it is the session's
    // text as received, NUL included.
    const auto [exported, data1] = run({u"--server"_qs, pgserver::Uri(), u"export"_qs,
                                        QString::number(id), u"--data1"_qs, u"-"_qs});
    QVERIFY(exported);
    const QByteArray body = (first + second).toLatin1();
    QVERIFY(data1.endsWith("\r\n" + body + "\r\n"));

    // A server that is not there: a clear message and a failure, soon.
    QByteArray err;
    QElapsedTimer timer;
    timer.start();
    const auto [ok, none] =
        run({u"--server"_qs, u"postgresql://nobody@127.0.0.1:%1/x"_qs.arg(pgserver::FreePort()),
             u"list"_qs},
            &err);
    QVERIFY(!ok);
    QVERIFY(none.isEmpty());
    QVERIFY2(QString::fromUtf8(err).contains(u"无法连接实验室服务器"_qs), err.constData());
    QVERIFY(timer.elapsed() < 20000);
  }
};

int main(int argc, char** argv) {
  pgserver::RunUnderVirtualenv(argc, argv);
  QCoreApplication app(argc, argv);
  TestServerReader test;
  return QTest::qExec(&test, argc, argv);
}

#include "test_serverreader.moc"
