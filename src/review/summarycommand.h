#pragma once

#include <QStringList>
#include <QTextStream>
#include <functional>
#include <memory>
#include <optional>

#include "reviewsource.h"
#include "sessionreader.h"

// Opens the session store when a command needs it; null and a message when
// it cannot be opened.
using StoreOpener = std::function<std::unique_ptr<SessionReader>(QString* error)>;

// `summary ID|latest|FILE`: one summary line per channel of a stored session
// (by id, or the newest) or of a data1.txt file. `args` are the words after
// "summary". A word of digits names a session, "latest" the newest one,
// anything else a file. Returns the process exit code: 0 on success, 1 when
// the source cannot be read, 2 on a usage error.
int RunSummaryCommand(const QStringList& args, QTextStream& out, QTextStream& err,
                      const StoreOpener& openStore);

// Where a command-line word points.
struct SourceRef {
  enum class Kind { Session, Latest, File } kind = Kind::File;
  qint64 id = 0;
  QString path;
};
SourceRef ParseSourceRef(const QString& word);

// The stored session a session or "latest" reference names; null and a
// message when there is none. `store` is null when it could not be opened;
// a message already in `error` then stays.
std::optional<StoredSession> FindSourceSession(const SourceRef& ref, SessionReader* store,
                                               QString* error);
// Reads the source a command-line word names, opening the store when it
// names a session; null, with the message written to `err`, when it cannot.
std::optional<ReviewSource> ReadSourceWord(const QString& word, const StoreOpener& openStore,
                                           QTextStream& err);
// Reads the source a word names; null and a message when it cannot. Sessions
// are read from `store`, which may be null when none could be opened.
std::optional<ReviewSource> ReadSourceRef(const SourceRef& ref, SessionReader* store,
                                          QString* error);
