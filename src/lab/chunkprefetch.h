#pragma once

#include <QSqlQuery>
#include <QString>
#include <QVariantList>
#include <functional>

#include "sessionreader.h"

// Reads a long run of one session's chunks on several connections at once:
// each reads every few ranges of seq and turns its rows into chunks, while
// the caller is handed the chunks in order. The server's work on the next
// ranges and the turning of rows into chunks overlap the caller's own; a
// few ranges at most wait in memory.
namespace chunkprefetch {

// Fills a chunk from a row: `seq` is the row's first column, the others
// follow.
using Decode = std::function<void(const QSqlQuery& q, qint64 seq, StoredChunk& chunk)>;

struct Range {
  QString uri;          // the server, for the workers' own connections
  QString uuid;         // the session
  qint64 afterSeq = 0;  // read the chunks after this one ...
  qint64 lastSeq = 0;   // ... up to this one
  QString columns;      // selected after seq
  QVariantList values;  // bound to the placeholders in `columns`
  qint64 rangeRows = 20'000;
  int workers = 2;
};

// Hands each chunk of the range to `visit`, in order. False when a worker
// could not connect or read; an exception from `visit` stops the workers
// and goes on to the caller.
bool Read(const Range& range, const Decode& decode,
          const std::function<void(const StoredChunk&)>& visit);

}  // namespace chunkprefetch
