#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

#include "sessionreader.h"

class QIODevice;

// Exports of a stored session.
//
// CSV: UTF-8 with a byte-order mark, CR LF line ends, a Chinese header row,
// then one row per chunk that carried a frame: the local wall time (ISO 8601,
// milliseconds), then for channel 1 and channel 2 the time (s), voltage (mV),
// current (mA), capacity (mAh) and temperature; a reading the pass did not
// set is left empty.
//
// data1.txt: exactly what "保存数据" writes (GBK header of the session's end
// time, CR LF, the session's text, CR LF), so a session can be saved after a
// crash as if the button had been pressed. A session still running has no
// end yet: its header shows the time of its last chunk.

QString CsvHeader();
// The row of a chunk without its line end; empty when no channel was set.
// `localOffsetS` is the local time's offset from UTC at the chunk's time.
QString CsvRow(const StoredChunk& chunk, int localOffsetS);

// The CSV rows of the session's chunks that carried a frame, line ends
// included, handed to `rows` a megabyte or so at a time until it returns
// false. False when the session cannot be read.
bool ForEachCsvPiece(SessionReader& reader, const StoredSession& session,
                     const std::function<bool(QByteArray& rows)>& rows);

// Both write to `out` and return false with a message on a read or write
// failure.
bool ExportCsv(SessionReader& reader, const StoredSession& session, QIODevice& out, QString* error);
bool ExportData1(SessionReader& reader, const StoredSession& session, QIODevice& out,
                 QString* error);
