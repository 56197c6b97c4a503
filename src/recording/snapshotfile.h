#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>

class LogText;

// The snapshot file data1.txt: one header line with the local date and time
// of the save, CR LF, the whole log text as received, CR LF, nothing more.
// Encoded in GBK (code page 936) on every platform, without a byte-order
// mark; a character GBK cannot hold is written as "?".

// "2026年3月7日  9时5分3秒": no leading zeros, 24-hour clock.
QString SnapshotHeader(const QDateTime& local);
QByteArray SnapshotBytes(const QDateTime& local, const QString& logText);
// The same bytes, encoded from the log's store piece by piece: its ASCII
// pieces are copied as they are, so a log of frames is never decoded.
QByteArray SnapshotBytes(const QDateTime& local, const LogText& log);

// The folder text, the platform's separator ("\" on Windows, "/" elsewhere)
// and "data1.txt". The separator is always inserted, even when the folder
// text already ends in one.
QString SnapshotFileName(const QString& folder);

// Writes `bytes` as the whole new content of `fileName` through a temporary
// file in the same folder that replaces it only when complete: on any failure
// an earlier file of that name is left as it was and no partial file stays
// behind. True when the new file is in place; otherwise `error`, when given,
// says why.
bool WriteFileAtomically(const QString& fileName, const QByteArray& bytes,
                         QString* error = nullptr);
