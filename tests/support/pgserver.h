#pragma once

// A real, throw-away PostgreSQL server for tests.
//
// A test's main calls pgserver::RunUnderVirtualenv first (or uses
// ORVANTA_SERVER_TEST_MAIN): the test then runs again under Debian's
// pg_virtualenv, which makes a temporary cluster on a free port, runs the
// test with PGHOST, PGPORT, PGUSER, PGPASSWORD and PGDATABASE set, and drops
// the cluster afterwards. Every test process gets its own cluster, so tests
// run in parallel. Without the server binaries the test runs as it is and
// its server cases skip (Skipped() says why).
//
// Uri() is the server without the password: libpq takes it from PGPASSWORD,
// as child processes do that inherit the environment. Stop() and Start()
// take the server down and bring it back, for outage cases.

#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QString>
#include <QtTest/QTest>
#include <cstdlib>
#include <vector>

namespace pgserver {

inline constexpr char kMarker[] = "ORVANTA_TEST_SERVER";

// A TCP port on 127.0.0.1 nobody listens on right now.
inline int FreePort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
  if (fd < 0) {
    return 0;
  }
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof(addr);
  int port = 0;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof(addr)) == 0 &&
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len) == 0) {
    port = ntohs(addr.sin_port);
  }
  ::close(fd);
  return port;
}

inline bool ServerBinariesInstalled() {
  return !QStandardPaths::findExecutable(QStringLiteral("pg_virtualenv")).isEmpty() &&
         !QDir(QStringLiteral("/usr/lib/postgresql"))
              .entryList({QStringLiteral("*")}, QDir::Dirs | QDir::NoDotAndDotDot)
              .isEmpty();
}

// Replaces this process with itself run under pg_virtualenv, unless it runs
// under it already or the server binaries are missing.
// `options` go to pg_virtualenv (e.g. {"-o", "fsync=on"}).
inline void RunUnderVirtualenv(int argc, char** argv,
                               const std::vector<const char*>& options = {}) {
  if (std::getenv(kMarker) || !ServerBinariesInstalled()) {
    return;
  }
  ::setenv(kMarker, "1", 1);
  // pg_virtualenv's own choice of port can race with other tests starting
  // clusters at the same moment; a port bound a moment ago is less likely
  // to.
  ::setenv("PGPORT", QByteArray::number(FreePort()).constData(), 1);
  std::vector<char*> args;
  args.push_back(const_cast<char*>("pg_virtualenv"));
  args.push_back(const_cast<char*>("-t"));  // its own folder, even as root
  for (const char* option : options) {
    args.push_back(const_cast<char*>(option));
  }
  for (int i = 0; i < argc; ++i) {
    args.push_back(argv[i]);
  }
  args.push_back(nullptr);
  ::execvp("pg_virtualenv", args.data());
  ::unsetenv(kMarker);  // exec failed: run without a server
}

// Empty when a server is there; otherwise why not.
inline QString Skipped() {
  if (!std::getenv(kMarker) || !std::getenv("PGHOST") || !std::getenv("PGPORT")) {
    return QStringLiteral(
        "no PostgreSQL server: the postgresql and postgresql-common packages "
        "(pg_virtualenv) are not installed");
  }
  return {};
}

inline QString Uri(const QString& database = {}) {
  return QStringLiteral("postgresql://%1@%2:%3/%4")
      .arg(qEnvironmentVariable("PGUSER"), qEnvironmentVariable("PGHOST"),
           qEnvironmentVariable("PGPORT"),
           database.isEmpty() ? qEnvironmentVariable("PGDATABASE") : database);
}

// Runs a server administration command; false with its output on failure.
inline bool Admin(const QStringList& args, QString* output = nullptr) {
  QProcess p;
  p.setProcessChannelMode(QProcess::MergedChannels);
  p.start(args.first(), args.mid(1));
  const bool ok =
      p.waitForFinished(60000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
  if (output) {
    *output = QString::fromLocal8Bit(p.readAll());
  }
  return ok;
}

inline bool Stop() {
  return Admin({QStringLiteral("pg_ctlcluster"), qEnvironmentVariable("PGVERSION"),
                QStringLiteral("regress"), QStringLiteral("stop"), QStringLiteral("-m"),
                QStringLiteral("fast")});
}

inline bool Start() {
  return Admin({QStringLiteral("pg_ctlcluster"), qEnvironmentVariable("PGVERSION"),
                QStringLiteral("regress"), QStringLiteral("start")});
}

// Runs SQL through psql as the cluster's superuser; false with psql's
// output on failure.
inline bool Psql(const QString& sql, QString* output = nullptr, const QString& database = {}) {
  QStringList args{QStringLiteral("psql"),
                   QStringLiteral("-X"),
                   QStringLiteral("-q"),
                   QStringLiteral("-A"),
                   QStringLiteral("-t"),
                   QStringLiteral("-v"),
                   QStringLiteral("ON_ERROR_STOP=1"),
                   QStringLiteral("-c"),
                   sql};
  if (!database.isEmpty()) {
    args << QStringLiteral("-d") << database;
  }
  return Admin(args, output);
}

}  // namespace pgserver

#define ORVANTA_SERVER_TEST_MAIN(TestObject)  \
  int main(int argc, char** argv) {           \
    pgserver::RunUnderVirtualenv(argc, argv); \
    QCoreApplication app(argc, argv);         \
    app.setAttribute(Qt::AA_Use96Dpi, true);  \
    TestObject tc;                            \
    QTEST_SET_MAIN_SOURCE_PATH                \
    return QTest::qExec(&tc, argc, argv);     \
  }
