#pragma once

#include <QString>

class QCommandLineParser;
class QSettings;

// Which lab server the program copies its sessions to (found as the lab
// options find it: --server, ORVANTA_SERVER, the settings file's `server`
// key), and under what bench name: --bench NAME, else the settings file's
// `bench` key, else the host name.
struct ServerOptions {
  QString uri;    // empty: no server
  QString bench;  // never empty
};

// Adds --bench NAME to the program's parser.
void AddBenchOption(QCommandLineParser& parser);

// The options after parsing, for the configured server `uri` (empty for
// none). False with a message (in the user's language, never showing a
// password) when the URI cannot be used, e.g. because it holds a password.
bool ReadServerOptions(const QString& uri, const QCommandLineParser& parser, QSettings& settings,
                       ServerOptions* options, QString* error);
