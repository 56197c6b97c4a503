#pragma once

#include <QString>
#include <optional>

class QCommandLineParser;

// How the program records sessions, from its command line and environment.
struct StoreOptions {
  bool enabled = true;                  // --no-store turns it off for a run
  qint64 limitBytes = qint64(2) << 30;  // 0: no limit
  QString path;                         // the store file
  // Set when ORVANTA_STORE_LIMIT was malformed and the default limit used
  // instead: the window says so.
  QString warning;
};

// "2147483648", "500M", "2G", "64K" (powers of 1024; "0" for no limit).
std::optional<qint64> ParseByteSize(QStringView text);

// Adds --no-store and --store-limit SIZE to the program's parser.
void AddStoreOptions(QCommandLineParser& parser);
// The options after parsing; `environmentLimit` is ORVANTA_STORE_LIMIT (the
// command line wins). False with a message for a malformed --store-limit;
// a malformed environment value, which a user may not see being set, leaves
// the default and a warning.
bool ReadStoreOptions(const QCommandLineParser& parser, const QString& environmentLimit,
                      StoreOptions* options, QString* error);
