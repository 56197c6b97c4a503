#pragma once

#include <QSqlDatabase>
#include <QString>

// How a program reaches the lab server: a libpq connection URI
// (postgresql://user@host/db?sslmode=verify-full) or key=value string,
// opened through Qt's QPSQL driver.
//
// Qt's driver takes host, port, user and database one by one and does not
// read a URI, so the URI is taken apart with libpq's own parser and handed
// over whole as the driver's connect options; everything libpq reads from
// the environment (PGPASSFILE, PGSERVICE, PGSSLMODE, PGHOST ...) and from its
// files still applies as libpq does it.
//
// A password is never accepted in the URI (it would show in the process list
// and the settings file): libpq's password file (PGPASSFILE, ~/.pgpass) or
// service file holds it. Messages only ever show Shown(uri).
namespace serverconnection {

// How long opening a connection may take before it fails, unless the URI
// says otherwise (libpq would otherwise wait for a silent host for minutes).
inline constexpr int kConnectTimeoutS = 10;

// The driver's connect options for `uri`; empty with `error` (in English,
// for messages and logs) when it cannot be used.
QString ConnectOptions(const QString& uri, QString* error);

// `uri` for messages: any password is left out. (URIs with one are refused,
// but the text may come from the user before that.)
QString Shown(const QString& uri);

// Adds (or reuses) the QPSQL connection `name` for `uri` and opens it. On
// failure the connection is left closed and `error` says why, without any
// password.
bool Open(const QString& uri, const QString& name, QString* error);

// True when the driver is installed.
bool DriverAvailable();

}  // namespace serverconnection
