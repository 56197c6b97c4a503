#include <QSqlError>
#include <QSqlQuery>
#include <QtTest/QtTest>

#include "pgserver.h"
#include "serverconnection.h"
#include "serverschema.h"

class TestServerSchema : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase() {
    if (const QString why = pgserver::Skipped(); !why.isEmpty()) {
      m_skip = why;
    }
  }

  void connectOptions_data() {
    QTest::addColumn<QString>("uri");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("contains");
    QTest::newRow("uri")
        << "postgresql://orvanta@labdb:5433/lab?sslmode=verify-full" << true
        << "host='labdb'|port='5433'|dbname='lab'|user='orvanta'|sslmode='verify-full'";
    QTest::newRow("key=value") << "host=labdb dbname='a b'" << true << "dbname='a b'";
    QTest::newRow("quote escaped")
        << "postgresql://o@h/x?application_name=it%27s" << true << "application_name='it\\'s'";
    QTest::newRow("service only") << "service=lab" << true << "service='lab'";
    QTest::newRow("password in user part") << "postgresql://o:secret@h/x" << false << "PGPASSFILE";
    QTest::newRow("password parameter")
        << "postgresql://o@h/x?password=secret" << false << "PGPASSFILE";
    QTest::newRow("password key=value") << "host=h password=secret" << false << "PGPASSFILE";
    QTest::newRow("semicolon") << "postgresql://o@h/x?application_name=a%3Bb" << false << "';'";
    QTest::newRow("not a uri") << "postgresql://o@h/x?nosuchoption=1" << false << "nosuchoption";
    QTest::newRow("empty") << "  " << false << "no server";
  }
  void connectOptions() {
    QFETCH(QString, uri);
    QFETCH(bool, accepted);
    QFETCH(QString, contains);
    QString error;
    const QString options = serverconnection::ConnectOptions(uri, &error);
    QCOMPARE(!options.isEmpty(), accepted);
    for (const QString& part : contains.split(u'|')) {
      QVERIFY2((accepted ? options : error).contains(part), qPrintable(options + error));
    }
    QVERIFY(!error.contains(QStringLiteral("secret")));
    if (accepted) {
      QVERIFY(options.contains(QStringLiteral("connect_timeout=")));
    }
  }

  void shownHidesPasswords_data() {
    QTest::addColumn<QString>("uri");
    QTest::addColumn<QString>("shown");
    QTest::newRow("user part") << "postgresql://o:secret@h:5/x?sslmode=require"
                               << "postgresql://o:***@h:5/x?sslmode=require";
    QTest::newRow("parameter") << "postgres://o@h/x?a=1&password=secret&b=2"
                               << "postgres://o@h/x?a=1&password=***&b=2";
    QTest::newRow("no path") << "postgresql://o:secret@h"
                             << "postgresql://o:***@h";
    QTest::newRow("key=value quoted") << "host=h password='se cr\\'et' user=o"
                                      << "host=h password=*** user=o";
    QTest::newRow("none") << "postgresql://o@h/x"
                          << "postgresql://o@h/x";
  }
  void shownHidesPasswords() {
    QFETCH(QString, uri);
    QFETCH(QString, shown);
    QCOMPARE(serverconnection::Shown(uri), shown);
  }

  void migratesOnceWhenBenchesStartTogether() {
    SkipWithoutServer();
    QVERIFY(pgserver::Psql(QStringLiteral("CREATE DATABASE together")));
    // Several connections migrate the empty database at the same moment.
    std::vector<std::thread> threads;
    std::array<QString, 4> errors;
    for (int i = 0; i < 4; ++i) {
      threads.emplace_back([&, i] {
        const QString name = QStringLiteral("together%1").arg(i);
        {
          QString error;
          if (!serverconnection::Open(pgserver::Uri(QStringLiteral("together")), name, &error)) {
            errors[size_t(i)] = error;
            return;
          }
          QSqlDatabase db = QSqlDatabase::database(name, false);
          if (!serverschema::Migrate(db, &error)) {
            errors[size_t(i)] = error;
          }
          db.close();
        }
        QSqlDatabase::removeDatabase(name);
      });
    }
    for (auto& t : threads) {
      t.join();
    }
    for (const QString& error : errors) {
      QVERIFY2(error.isEmpty(), qPrintable(error));
    }
    QString out;
    QVERIFY(pgserver::Psql(QStringLiteral("SELECT count(*), min(version) FROM orvanta_schema"),
                           &out, QStringLiteral("together")));
    QCOMPARE(out.trimmed(), QStringLiteral("1|1"));
  }

  void refusesNewerOrForeignLayouts_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("message");
    QTest::newRow("newer") << "CREATE TABLE orvanta_schema(version integer);"
                              " INSERT INTO orvanta_schema VALUES (7)"
                           << "version 7";
    QTest::newRow("foreign") << "CREATE TABLE sessions(x int)"
                             << "not Orvanta's";
  }
  void refusesNewerOrForeignLayouts() {
    SkipWithoutServer();
    QFETCH(QString, setup);
    QFETCH(QString, message);
    const QString name = QStringLiteral("refuse_") + QString::fromLatin1(QTest::currentDataTag());
    QVERIFY(pgserver::Psql(QStringLiteral("CREATE DATABASE ") + name));
    QVERIFY(pgserver::Psql(setup, nullptr, name));
    QString error;
    QVERIFY2(serverconnection::Open(pgserver::Uri(name), name, &error), qPrintable(error));
    QSqlDatabase db = QSqlDatabase::database(name, false);
    QVERIFY(!serverschema::Migrate(db, &error));
    QVERIFY2(error.contains(message), qPrintable(error));
    QString out;
    QVERIFY(pgserver::Psql(QStringLiteral("SELECT to_regclass('chunks') IS NULL"), &out, name));
    QCOMPARE(out.trimmed(), QStringLiteral("t"));  // nothing created
  }

  // Text goes through the server and comes back exactly, NULs included.
  void textRoundTrip_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QStringLiteral("CH1 4.123V 1.000A\r\n");
    QTest::newRow("nul") << QString::fromUtf16(u"a\0b\\0c\0", 7);
    QTest::newRow("backslashes only") << QStringLiteral("a\\0b\\\\");
    QTest::newRow("chinese and nul") << QString::fromUtf16(u"充电\0放电\\", 6);
    QTest::newRow("trailing backslash with nul") << QString::fromUtf16(u"\0\\", 2);
  }
  void textRoundTrip() {
    SkipWithoutServer();
    QFETCH(QString, text);
    QString error;
    QVERIFY2(serverconnection::Open(pgserver::Uri(), QStringLiteral("text"), &error),
             qPrintable(error));
    QSqlDatabase db = QSqlDatabase::database(QStringLiteral("text"), false);
    bool escaped = false;
    const QString stored = serverschema::EncodeText(text, &escaped);
    QCOMPARE(escaped, text.contains(QChar(0)));
    QSqlQuery q(db);
    QVERIFY(q.prepare(QStringLiteral("SELECT ?::text")));
    q.addBindValue(stored);
    QVERIFY2(q.exec() && q.next(), qPrintable(q.lastError().text()));
    QCOMPARE(serverschema::DecodeText(q.value(0).toString(), escaped), text);
  }

  // A role that may insert, update and read but not delete works once the
  // layout exists; libpq's password file is honoured.
  void restrictedRoleWithPasswordFile() {
    SkipWithoutServer();
    // The README's set-up, then the owner makes the tables.
    QVERIFY(pgserver::Psql(QStringLiteral("CREATE ROLE lab_owner LOGIN PASSWORD 'owner-pw'")));
    QVERIFY(pgserver::Psql(QStringLiteral("CREATE ROLE bench LOGIN PASSWORD 'bench-pw'")));
    QVERIFY(pgserver::Psql(QStringLiteral("CREATE DATABASE restricted OWNER lab_owner")));
    QVERIFY(pgserver::Psql(QStringLiteral("ALTER DEFAULT PRIVILEGES FOR ROLE lab_owner"
                                          " GRANT SELECT, INSERT, UPDATE ON TABLES TO bench;"
                                          " ALTER DEFAULT PRIVILEGES FOR ROLE lab_owner"
                                          " GRANT USAGE ON SEQUENCES TO bench"),
                           nullptr, QStringLiteral("restricted")));
    QString error;
    const QByteArray password = qgetenv("PGPASSWORD");
    qputenv("PGPASSWORD", "owner-pw");
    const bool ownerOpened = serverconnection::Open(
        QStringLiteral("postgresql://lab_owner@%1:%2/restricted")
            .arg(qEnvironmentVariable("PGHOST"), qEnvironmentVariable("PGPORT")),
        QStringLiteral("owner"), &error);
    qputenv("PGPASSWORD", password);
    QVERIFY2(ownerOpened, qPrintable(error));
    QSqlDatabase owner = QSqlDatabase::database(QStringLiteral("owner"), false);
    QVERIFY2(serverschema::Migrate(owner, &error), qPrintable(error));
    QTemporaryDir dir;
    QFile pass(dir.filePath(QStringLiteral("pgpass")));
    QVERIFY(pass.open(QIODevice::WriteOnly));
    pass.write(QStringLiteral("*:*:restricted:bench:bench-pw\n").toUtf8());
    pass.close();
    pass.setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    qunsetenv("PGPASSWORD");
    qputenv("PGPASSFILE", pass.fileName().toLocal8Bit());
    const QString uri = QStringLiteral("postgresql://bench@%1:%2/restricted")
                            .arg(qEnvironmentVariable("PGHOST"), qEnvironmentVariable("PGPORT"));
    const bool opened = serverconnection::Open(uri, QStringLiteral("bench"), &error);
    qputenv("PGPASSWORD", password);
    qunsetenv("PGPASSFILE");
    QVERIFY2(opened, qPrintable(error));
    QSqlDatabase bench = QSqlDatabase::database(QStringLiteral("bench"), false);
    QVERIFY2(serverschema::Migrate(bench, &error), qPrintable(error));
    QSqlQuery q(bench);
    QVERIFY2(q.exec(QStringLiteral(
                 "INSERT INTO sessions(uuid, bench, port, device, start_ms)"
                 " VALUES('7d3c1d36-3b9e-4b8e-9a4c-0f1a2b3c4d5e', 'b', 'COM1', '/dev/x', 1)")),
             qPrintable(q.lastError().text()));
    QVERIFY(q.exec(QStringLiteral("UPDATE sessions SET ended = 1")));
    QVERIFY(!q.exec(QStringLiteral("DELETE FROM sessions")));
  }

  void wrongPasswordAndClosedPort_data() {
    QTest::addColumn<bool>("closedPort");
    QTest::newRow("wrong password") << false;
    QTest::newRow("closed port") << true;
  }
  void wrongPasswordAndClosedPort() {
    SkipWithoutServer();
    QFETCH(bool, closedPort);
    const QByteArray password = qgetenv("PGPASSWORD");
    qputenv("PGPASSWORD", "not-the-password");
    const QString uri = closedPort ? QStringLiteral("postgresql://postgres@127.0.0.1:%1/postgres")
                                         .arg(pgserver::FreePort())
                                   : pgserver::Uri();
    QString error;
    const bool opened = serverconnection::Open(uri, QStringLiteral("wrong"), &error);
    qputenv("PGPASSWORD", password);
    QVERIFY(!opened);
    QVERIFY2(error.contains(closedPort ? QStringLiteral("refused")
                                       : QStringLiteral("password authentication failed")),
             qPrintable(error));
    QVERIFY(!error.contains(QStringLiteral("not-the-password")));
    QVERIFY(!error.contains(QString::fromLatin1(password)));
  }

  // The fixture's outage: connections fail while the server is stopped.
  void stopAndStart() {
    SkipWithoutServer();
    QString error;
    QVERIFY(pgserver::Stop());
    QVERIFY(!serverconnection::Open(pgserver::Uri(), QStringLiteral("outage"), &error));
    QVERIFY(pgserver::Start());
    QVERIFY2(serverconnection::Open(pgserver::Uri(), QStringLiteral("outage"), &error),
             qPrintable(error));
  }

 private:
  void SkipWithoutServer() {
    if (!m_skip.isEmpty()) {
      QSKIP(qPrintable(m_skip));
    }
  }
  QString m_skip;
};

ORVANTA_SERVER_TEST_MAIN(TestServerSchema)
#include "test_serverschema.moc"
