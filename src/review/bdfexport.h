#pragma once

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <array>
#include <optional>
#include <vector>

#include "reviewcsv.h"
#include "reviewsource.h"
#include "sessionreader.h"

// Exports in the Battery Data Format: one cell per file, a CSV table
// (UTF-8 without a byte-order mark, commas, "." decimals, LF line ends)
// whose header row holds the format's preferred labels:
//
//   Test Time / s                   the channel's own time reading, as sent
//   Voltage / V                     mV / 1000
//   Current / A                     -(mA / 1000): negative while discharging
//   Unix Time / s                   the stored chunk's wall time; empty for a
//                                   data1.txt file, whose lines carry no time
//   Cycle Count / 1                 1, 2, ...: one more at each restart of the
//                                   charger's count (the time reading runs back)
//   Discharging Capacity / Ah       mAh / 1000
//   Surface Temperature T1 / degC   as sent
//
// One row per complete reading of the channel (all five fields applied), the
// readings the discharge summary counts, in order. Values are converted by
// moving the decimal point, so every digit of a reading survives.

// One recording's readings with, for a stored session, the wall time of each.
struct BdfSource {
  QString name;                  // for messages: "会话 12" or the file name
  qint64 sessionId = 0;          // a stored session, or 0 for a file
  QString fileStem;              // a file's base name, for naming its cells' files
  QDate date;                    // local date of the start (session) or save (file)
  std::array<QString, 2> cells;  // cell labels, empty when unlabelled
  std::array<std::vector<ChannelSample>, 2> channels;
  // UTC ms since the epoch, one per reading; empty when the source has none.
  std::array<std::vector<qint64>, 2> wallMs;
};

// `value` / 10^decimals written exactly: "-0.001", "1.5", "2147483.647", "0".
QByteArray ExactDecimal(qint64 value, int decimals);

QByteArray BdfHeader();
// The rows of one channel, each ending in LF.
QByteArray BdfRows(const std::vector<ChannelSample>& samples, const std::vector<qint64>& wallMs);

// "Orvanta__A0001__20260307_012.bdf.csv": the format's
// Institution__Cell__YYYYMMDD_NNN, the cell being its label (or "S12-CH1",
// "data1-CH2" when unlabelled) and NNN the session number (000 for a file).
QString BdfFileName(const BdfSource& source, int channel);

// A stored session read as the review reads it (line by line, as its
// data1.txt export), with the session's cell labels, each reading stamped with the wall time of the
// chunk in which its line ended. Empty with a message on a read error.
std::optional<BdfSource> ReadBdfSession(SessionReader& reader, const StoredSession& session,
                                        QString* error);
// A data1.txt file; its readings have no wall times.
std::optional<BdfSource> ReadBdfFile(const QString& path, QString* error);

// Writes one file per channel that has readings into the folder `dir`, which
// must exist. A file of the same name is replaced only when it is a regular
// file (not a link) that begins with this format's header row, i.e. an
// earlier export; anything else there stops the export before any file is
// written. Each file is put in place only once all of it is on the disk.
// The paths written go to `written`; false with a message on any failure,
// and when no channel has a reading.
bool WriteBdfFiles(const BdfSource& source, const QString& dir, QStringList* written,
                   QString* error);

// The files of every source in `sources` (the review window's export),
// sessions read again from the store for their times; stops at the first
// failure. A source without readings is passed over.
bool WriteBdfSources(const std::vector<CsvSource>& sources, const StoreOpener& openStore,
                     const QString& dir, QStringList* written, QString* error);
