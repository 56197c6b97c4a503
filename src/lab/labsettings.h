#pragma once

#include <QSettings>
#include <QString>

class QCommandLineParser;

// Where the lab server is: the libpq URI given with --server, else the
// environment variable ORVANTA_SERVER, else the key `server` of the
// settings file's general section; empty when none names one. The URI
// never holds a password (libpq's password or service file does).
QString ConfiguredServer(const QString& commandLine, const QSettings& settings);

// The program's lab options: --server URI and --lab.
void AddLabOptions(QCommandLineParser& parser);
// --server's value, or empty.
QString ServerOption(const QCommandLineParser& parser);
bool LabAsked(const QCommandLineParser& parser);
