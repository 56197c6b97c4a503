#pragma once

#include <QString>
#include <atomic>
#include <vector>

#include "summarycommand.h"

class QIODevice;

// Where an opened source's rows come from when it is exported.
struct CsvSource {
  qint64 sessionId = 0;  // a stored session, or 0
  QString path;          // else a data1.txt file
};

// What the source column holds for a source: "会话 12" for a session, the
// full path of a file; the same in every locale, as the file's header is.
QString CsvSourceName(const CsvSource& source);

// CSV of everything opened: UTF-8 with a byte-order mark, CR LF, the header
// row once, then each source's rows in turn. The first column, "来源", names
// the source of the row; the columns of the session store's export follow.
// A file's rows leave the time column empty, as its lines carry no time. Sessions are streamed from
// the store again, so a week is never held as text. Setting `cancel` stops early (and fails).
bool WriteReviewCsv(const std::vector<CsvSource>& sources, const StoreOpener& openStore,
                    QIODevice& out, QString* error, const std::atomic<bool>* cancel = nullptr);
