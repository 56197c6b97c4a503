#pragma once

#include <QByteArray>
#include <QString>
#include <functional>
#include <optional>

#include "reviewsource.h"
#include "sessionreader.h"

// Reads a data1.txt file back, whether this copy of the program or another
// one saved it: GBK text, cut into lines at CR LF or LF, each line handed to
// the frame parser as one chunk, as the live window would have got it.
//
// A first line of the save's date-time form ("2026年3月7日  9时5分3秒") gives the
// source's date. Empty lines are passed over. A line that begins with the
// end-of-discharge notice marks the discharge as ended; as the charger sends
// the notice without a line end, whatever follows it on that line is taken as
// a line of its own. Lines that are not frames, or whose parse fails, are
// counted as skipped; a channel completed before the failure is kept, as the
// live window kept its chart point.
ReviewSource ReadSnapshot(const QByteArray& bytes, const QString& name);

// Each line as a chunk with the fields the live pass would have applied
// (no times: the file has none).
void ForEachSnapshotChunk(const QByteArray& bytes,
                          const std::function<void(const StoredChunk&)>& visit);

// Reads the file at `path`; on failure returns nothing and a user-facing
// message in `error`.
std::optional<ReviewSource> ReadSnapshotFile(const QString& path, QString* error);
