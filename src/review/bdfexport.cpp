#include "bdfexport.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "savefile.h"
#include "sessionsource.h"
#include "snapshotreader.h"

namespace {

void AppendInteger(QByteArray& out, qint64 value) {
  out += QByteArray::number(value);
}

// A label as a file-name part: letters and digits of any script, '-' and
// '.' are kept; anything else (separators, blanks, control characters)
// becomes '-', and a run of '_' one '_', as "__" separates the name's parts.
QString NamePart(const QString& text) {
  QString part;
  for (const QChar c : text) {
    if (c.isLetterOrNumber() || c == u'-' || c == u'.') {
      part += c;
    } else if (c == u'_') {
      if (!part.endsWith(u'_')) {
        part += c;
      }
    } else if (!c.isSurrogate() || c.isHighSurrogate()) {
      part += u'-';
    }
  }
  while (part.startsWith(u'.')) {
    part[0] = u'-';
  }
  return part;
}

QString CellPart(const BdfSource& source, int channel) {
  const QString& label = source.cells[size_t(channel - 1)];
  QString part = NamePart(label.trimmed());
  const QString other = NamePart(source.cells[size_t(2 - channel)].trimmed());
  if (part.isEmpty()) {
    const QString stem = source.sessionId != 0
                             ? QStringLiteral("S%1").arg(source.sessionId)
                             : (NamePart(source.fileStem).isEmpty() ? QStringLiteral("file")
                                                                    : NamePart(source.fileStem));
    return stem + QStringLiteral("-CH%1").arg(channel);
  }
  // Two channels under one label still get a file each.
  return part == other ? part + QStringLiteral("-CH%1").arg(channel) : part;
}

// Whether the file at `path` may be written: there is nothing there, or an
// earlier export of this format (a regular file starting with its header).
bool MayReplace(const QString& path, QString* why) {
  const QFileInfo info(path);
  if (!info.exists() && !info.isSymLink()) {
    return true;
  }
  if (info.isSymLink() || !info.isFile()) {
    *why = QCoreApplication::translate("BdfExport", "%1 已存在且不是普通文件，未覆盖")
               .arg(QDir::toNativeSeparators(path));
    return false;
  }
  QFile file(path);
  const QByteArray header = BdfHeader();
  if (!file.open(QIODevice::ReadOnly) || file.read(header.size()) != header) {
    *why = QCoreApplication::translate("BdfExport", "%1 已存在且不是本程序导出的 BDF 文件，未覆盖")
               .arg(QDir::toNativeSeparators(path));
    return false;
  }
  return true;
}

// Appends the rows of readings [from, to); `cycle` carries the cycle count
// from the rows before.
void AppendRows(QByteArray& out, const std::vector<ChannelSample>& samples,
                const std::vector<qint64>& wallMs, size_t from, size_t to, qint64& cycle) {
  for (size_t i = from; i < to; ++i) {
    const ChannelSample& s = samples[i];
    if (i > 0 && s.time < samples[i - 1].time) {
      ++cycle;
    }
    AppendInteger(out, s.time);
    out += ',';
    out += ExactDecimal(s.voltage, 3);
    out += ',';
    // The charger counts the current it draws from the cell as positive.
    out += ExactDecimal(-qint64(s.current), 3);
    out += ',';
    if (wallMs.size() == samples.size()) {
      out += ExactDecimal(wallMs[i], 3);
    }
    out += ',';
    AppendInteger(out, cycle);
    out += ',';
    out += ExactDecimal(s.capacity, 3);
    out += ',';
    AppendInteger(out, s.temperature);
    out += '\n';
  }
}

bool WriteOne(const QString& path, const std::vector<ChannelSample>& samples,
              const std::vector<qint64>& wallMs, QString* error) {
  QSaveFile file(path);
  const auto fail = [&](const QString& why) {
    *error = QCoreApplication::translate("BdfExport", "无法写入 %1：%2")
                 .arg(QDir::toNativeSeparators(path), why);
    return false;
  };
  if (!file.open(QIODevice::WriteOnly)) {
    return fail(file.errorString());
  }
  QByteArray buffer = BdfHeader();
  // A megabyte or so at a time, so a week is never held as text.
  constexpr size_t kRowsPerPiece = 16384;
  qint64 cycle = 1;
  for (size_t from = 0; from < samples.size() || buffer.size() > 0; from += kRowsPerPiece) {
    AppendRows(buffer, samples, wallMs, std::min(from, samples.size()),
               std::min(samples.size(), from + kRowsPerPiece), cycle);
    if (file.write(buffer) != buffer.size()) {
      file.cancelWriting();
      return fail(file.errorString());
    }
    buffer.clear();
  }
  QString why;
  return CommitSaveFile(file, &why) || fail(why);
}

}  // namespace

QByteArray ExactDecimal(qint64 value, int decimals) {
  const bool negative = value < 0;
  quint64 magnitude = negative ? quint64(0) - quint64(value) : quint64(value);
  quint64 scale = 1;
  for (int i = 0; i < decimals; ++i) {
    scale *= 10;
  }
  QByteArray text = QByteArray::number(magnitude / scale);
  QByteArray fraction = QByteArray::number(magnitude % scale).rightJustified(decimals, '0');
  while (fraction.endsWith('0')) {
    fraction.chop(1);
  }
  if (!fraction.isEmpty()) {
    text += '.' + fraction;
  }
  return negative && magnitude != 0 ? '-' + text : text;
}

QByteArray BdfHeader() {
  return "Test Time / s,Voltage / V,Current / A,Unix Time / s,Cycle Count / 1,"
         "Discharging Capacity / Ah,Surface Temperature T1 / degC\n";
}

QByteArray BdfRows(const std::vector<ChannelSample>& samples, const std::vector<qint64>& wallMs) {
  QByteArray out;
  qint64 cycle = 1;
  AppendRows(out, samples, wallMs, 0, samples.size(), cycle);
  return out;
}

QString BdfFileName(const BdfSource& source, int channel) {
  const QString date =
      source.date.isValid() ? source.date.toString(u"yyyyMMdd") : QStringLiteral("00000000");
  return QStringLiteral("Orvanta__%1__%2_%3.bdf.csv")
      .arg(CellPart(source, channel), date)
      .arg(source.sessionId, 3, 10, QLatin1Char('0'));
}

std::optional<BdfSource> ReadBdfSession(SessionReader& reader, const StoredSession& session,
                                        QString* error) {
  ReviewSource lines;
  BdfSource out;
  out.name = SessionName(session.id);
  out.sessionId = session.id;
  out.date = session.startUtc.toLocalTime().date();
  out.cells = session.cells;
  qint64 lastWall = 0;
  const auto stamp = [&](qint64 wall) {
    for (size_t c = 0; c < 2; ++c) {
      out.wallMs[c].resize(lines.channels[c].size(), wall);
    }
  };
  // Read as the review reads it, so the rows are the summary's readings; a
  // reading's time is that of the chunk in which its line ended.
  {
    SnapshotLines reading(lines);
    const bool ok = reader.ForEachChunkPart(session.id, SessionReader::ChunkParts::All,
                                            [&](const StoredChunk& chunk) {
                                              reading.Add(chunk.text);
                                              stamp(chunk.wallMs);
                                              lastWall = chunk.wallMs;
                                            });
    if (!ok) {
      *error =
          QCoreApplication::translate("BdfExport", "读取%1失败：记录库无法读取。").arg(out.name);
      return std::nullopt;
    }
    reading.Finish();
    stamp(lastWall);
  }
  out.channels = std::move(lines.channels);
  return out;
}

std::optional<BdfSource> ReadBdfFile(const QString& path, QString* error) {
  std::optional<ReviewSource> read = ReadSnapshotFile(path, error);
  if (!read) {
    return std::nullopt;
  }
  BdfSource out;
  out.name = read->name;
  const QFileInfo info(path);
  out.fileStem = info.completeBaseName();
  out.date = read->start.isValid() ? read->start.date() : info.lastModified().date();
  out.cells = read->cells;
  out.channels = std::move(read->channels);
  return out;
}

bool WriteBdfFiles(const BdfSource& source, const QString& dir, QStringList* written,
                   QString* error) {
  const QFileInfo folder(dir);
  if (!folder.isDir()) {
    *error = QCoreApplication::translate("BdfExport", "%1 不是一个文件夹")
                 .arg(QDir::toNativeSeparators(dir));
    return false;
  }
  QStringList paths;
  for (const int channel : {1, 2}) {
    const QString path = source.channels[size_t(channel - 1)].empty()
                             ? QString()
                             : QDir(dir).filePath(BdfFileName(source, channel));
    if (!path.isEmpty() && written && written->contains(path)) {
      // Two sources of one export under one name: the second would replace
      // the first.
      *error = QCoreApplication::translate("BdfExport", "两个来源的 BDF 文件同名：%1")
                   .arg(QDir::toNativeSeparators(path));
      return false;
    }
    if (!path.isEmpty() && !MayReplace(path, error)) {
      return false;
    }
    paths << path;
  }
  if (paths[0].isEmpty() && paths[1].isEmpty()) {
    *error = QCoreApplication::translate("BdfExport", "%1 没有完整的读数，未写出 BDF 文件")
                 .arg(source.name);
    return false;
  }
  for (const int channel : {1, 2}) {
    const QString& path = paths[channel - 1];
    if (path.isEmpty()) {
      continue;
    }
    if (!WriteOne(path, source.channels[size_t(channel - 1)], source.wallMs[size_t(channel - 1)],
                  error)) {
      return false;
    }
    if (written) {
      *written << path;
    }
  }
  return true;
}

bool WriteBdfSources(const std::vector<CsvSource>& sources, const StoreOpener& openStore,
                     const QString& dir, QStringList* written, QString* error) {
  std::unique_ptr<SessionReader> store;
  bool any = false;
  for (const CsvSource& ref : sources) {
    std::optional<BdfSource> source;
    if (ref.sessionId == 0) {
      source = ReadBdfFile(ref.path, error);
    } else {
      if (!store && openStore) {
        store = openStore(error);
      }
      const std::optional<StoredSession> session =
          store ? store->Find(ref.sessionId) : std::nullopt;
      if (!session) {
        if (store) {
          *error =
              QCoreApplication::translate("BdfExport", "没有编号为 %1 的会话。").arg(ref.sessionId);
        }
        return false;
      }
      source = ReadBdfSession(*store, *session, error);
    }
    if (!source) {
      return false;
    }
    if (source->channels[0].empty() && source->channels[1].empty()) {
      continue;
    }
    if (!WriteBdfFiles(*source, dir, written, error)) {
      return false;
    }
    any = true;
  }
  if (!any) {
    *error =
        QCoreApplication::translate("BdfExport", "打开的记录都没有完整的读数，未写出 BDF 文件");
  }
  return any;
}
