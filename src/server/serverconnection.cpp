#include "serverconnection.h"

#include <libpq-fe.h>

#include <QRegularExpression>
#include <QSqlError>

namespace serverconnection {

namespace {

const QString kDriver = QStringLiteral("QPSQL");

// A value in libpq's key=value syntax: quoted, with quotes and backslashes
// escaped.
QString Quoted(const QString& value) {
  QString out = value;
  out.replace(u'\\', QStringLiteral("\\\\"));
  out.replace(u'\'', QStringLiteral("\\'"));
  return u'\'' + out + u'\'';
}

}  // namespace

QString ConnectOptions(const QString& uri, QString* error) {
  if (uri.trimmed().isEmpty()) {
    *error = QStringLiteral("no server given");
    return {};
  }
  char* parseError = nullptr;
  PQconninfoOption* options = PQconninfoParse(uri.toUtf8().constData(), &parseError);
  if (!options) {
    *error = QStringLiteral("the server address %1 cannot be read: %2")
                 .arg(Shown(uri), parseError ? QString::fromUtf8(parseError).trimmed()
                                             : QStringLiteral("out of memory"));
    PQfreemem(parseError);
    return {};
  }
  QStringList parts;
  bool timeout = false;
  bool keepalives = false;
  bool password = false;
  bool semicolon = false;
  for (PQconninfoOption* o = options; o->keyword; ++o) {
    if (!o->val) {
      continue;
    }
    const QString key = QString::fromUtf8(o->keyword);
    const QString value = QString::fromUtf8(o->val);
    if (key == u"password") {
      password = true;
      continue;
    }
    // Qt's driver turns every ';' in its options into a space.
    semicolon = semicolon || value.contains(u';');
    timeout = timeout || key == u"connect_timeout";
    keepalives = keepalives || key.startsWith(u"keepalives");
    parts << key + u'=' + Quoted(value);
  }
  PQconninfoFree(options);
  if (password) {
    *error = QStringLiteral(
                 "the server address %1 contains a password; passwords are never given on the "
                 "command line or in the settings file: put it in the password file named by "
                 "PGPASSFILE (or ~/.pgpass) instead")
                 .arg(Shown(uri));
    return {};
  }
  if (semicolon) {
    *error = QStringLiteral(
                 "the server address %1 contains ';', which the database driver cannot "
                 "pass on; use a service file (PGSERVICE) for such a setting")
                 .arg(Shown(uri));
    return {};
  }
  if (!timeout) {
    parts << QStringLiteral("connect_timeout=%1").arg(kConnectTimeoutS);
  }
  if (!keepalives) {
    // A network that goes away in the middle of a batch shows within about
    // a minute instead of the system's two hours.
    parts << QStringLiteral("keepalives_idle=30 keepalives_interval=10 keepalives_count=3");
  }
  error->clear();
  return parts.join(u' ');
}

QString Shown(const QString& uri) {
  const QString trimmed = uri.trimmed();
  if (trimmed.startsWith(u"postgresql://") || trimmed.startsWith(u"postgres://")) {
    // Both in the user part (user:secret@host) and as a parameter.
    const qsizetype scheme = trimmed.indexOf(u"://") + 3;
    qsizetype end = trimmed.indexOf(u'/', scheme);
    const qsizetype query = trimmed.indexOf(u'?', scheme);
    if (end < 0 || (query >= 0 && query < end)) {
      end = query >= 0 ? query : trimmed.size();
    }
    QString authority = trimmed.mid(scheme, end - scheme);
    const qsizetype at = authority.lastIndexOf(u'@');
    if (at >= 0) {
      QString user = authority.left(at);
      const qsizetype colon = user.indexOf(u':');
      if (colon >= 0) {
        user = user.left(colon) + QStringLiteral(":***");
      }
      authority = user + authority.mid(at);
    }
    QString rest = trimmed.mid(end);
    static const QRegularExpression param(QStringLiteral("([?&]password=)[^&]*"),
                                          QRegularExpression::CaseInsensitiveOption);
    rest.replace(param, QStringLiteral("\\1***"));
    return trimmed.left(scheme) + authority + rest;
  }
  // key=value form: the value of password, quoted or not.
  static const QRegularExpression keyValue(
      QStringLiteral("(password\\s*=\\s*)('(?:[^'\\\\]|\\\\.)*'|\\S*)"));
  QString shown = trimmed;
  shown.replace(keyValue, QStringLiteral("\\1***"));
  return shown;
}

bool DriverAvailable() {
  return QSqlDatabase::isDriverAvailable(kDriver);
}

bool Open(const QString& uri, const QString& name, QString* error) {
  const QString options = ConnectOptions(uri, error);
  if (options.isEmpty()) {
    return false;
  }
  if (!DriverAvailable()) {
    *error = QStringLiteral("the PostgreSQL driver (QPSQL) is missing");
    return false;
  }
  QSqlDatabase db = QSqlDatabase::contains(name) ? QSqlDatabase::database(name, false)
                                                 : QSqlDatabase::addDatabase(kDriver, name);
  db.close();
  db.setConnectOptions(options);
  if (!db.open()) {
    // libpq's messages name host and port, never the password.
    QString why = db.lastError().databaseText().trimmed();
    if (why.isEmpty()) {
      why = db.lastError().text().trimmed();
    }
    why.replace(u'\n', u' ');
    *error = QStringLiteral("cannot connect to %1: %2").arg(Shown(uri), why);
    return false;
  }
  error->clear();
  return true;
}

}  // namespace serverconnection
