#include "sessionexport.h"

#include <QCoreApplication>
#include <QIODevice>
#include <QTextCodec>
#include <functional>

#include "snapshotfile.h"

namespace {

constexpr qsizetype kFlushBytes = 1 << 20;
constexpr qint64 kOffsetBlockMs = 15 * 60 * 1000;  // zones change offset on these

// The local offset for a UTC time, looked up once per quarter hour.
class LocalOffset {
 public:
  int At(qint64 utcMs) {
    const qint64 block = utcMs >= 0 ? utcMs / kOffsetBlockMs : (utcMs + 1) / kOffsetBlockMs - 1;
    if (block != m_block) {
      m_block = block;
      m_offset = QDateTime::fromMSecsSinceEpoch(utcMs).offsetFromUtc();
    }
    return m_offset;
  }

 private:
  qint64 m_block = std::numeric_limits<qint64>::min();
  int m_offset = 0;
};

// Appends `value` in decimal, at least `width` digits.
void AppendNumber(QByteArray& out, qint64 value, int width = 1) {
  char digits[24];
  int n = 0;
  const bool negative = value < 0;
  quint64 magnitude = negative ? quint64(0) - quint64(value) : quint64(value);
  do {
    digits[n++] = char('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude > 0 || n < width);
  if (negative) {
    out += '-';
  }
  while (n > 0) {
    out += digits[--n];
  }
}

// "2026-03-07T09:05:03.123"
void AppendLocalTime(QByteArray& out, qint64 localMs) {
  const qint64 day = localMs >= 0 ? localMs / 86400000 : (localMs + 1) / 86400000 - 1;
  const qint64 msOfDay = localMs - day * 86400000;
  const QDate date = QDate(1970, 1, 1).addDays(day);
  AppendNumber(out, date.year(), 4);
  out += '-';
  AppendNumber(out, date.month(), 2);
  out += '-';
  AppendNumber(out, date.day(), 2);
  out += 'T';
  AppendNumber(out, msOfDay / 3600000, 2);
  out += ':';
  AppendNumber(out, msOfDay / 60000 % 60, 2);
  out += ':';
  AppendNumber(out, msOfDay / 1000 % 60, 2);
  out += '.';
  AppendNumber(out, msOfDay % 1000, 3);
}

// Appends the chunk's row and line end; false (nothing appended) when it
// carried no frame.
bool AppendCsvRow(QByteArray& out, const StoredChunk& chunk, int localOffsetS) {
  if (!chunk.channel[0].Any() && !chunk.channel[1].Any()) {
    return false;
  }
  AppendLocalTime(out, chunk.wallMs + qint64(localOffsetS) * 1000);
  for (const StoredChannel& channel : chunk.channel) {
    for (const std::optional<qint32>& field : channel.fields) {
      out += ',';
      if (field) {
        AppendNumber(out, *field);
      }
    }
  }
  out += "\r\n";
  return true;
}

bool Flush(QIODevice& out, QByteArray& buffer, QString* error) {
  if (!buffer.isEmpty() && out.write(buffer) != buffer.size()) {
    *error = QCoreApplication::translate("SessionExport", "写入失败：%1").arg(out.errorString());
    return false;
  }
  buffer.clear();
  return true;
}

QString ReadFailed() {
  return QCoreApplication::translate("SessionExport", "读取记录失败");
}

}  // namespace

QString CsvHeader() {
  // A file format, the same in every locale.
  QString header = QStringLiteral("记录时间");
  for (const int channel : {1, 2}) {
    for (const QString& column :
         {QStringLiteral("时间(S)"), QStringLiteral("电压(mV)"), QStringLiteral("电流(mA)"),
          QStringLiteral("容量(mAh)"), QStringLiteral("温度")}) {
      header += QStringLiteral(",通道 %1 ").arg(channel) + column;
    }
  }
  return header;
}

QString CsvRow(const StoredChunk& chunk, int localOffsetS) {
  QByteArray row;
  if (!AppendCsvRow(row, chunk, localOffsetS)) {
    return {};
  }
  row.chop(2);
  return QString::fromLatin1(row);
}

bool ForEachCsvPiece(SessionReader& reader, const StoredSession& session,
                     const std::function<bool(QByteArray& rows)>& rows) {
  QByteArray buffer;
  buffer.reserve(kFlushBytes + 1024);
  LocalOffset offset;
  bool going = true;
  const auto hand = [&] {
    going = rows(buffer);
    buffer.clear();
  };
  const bool read = reader.ForEachChunkPart(
      session.id, SessionReader::ChunkParts::Readings, [&](const StoredChunk& chunk) {
        if (going && AppendCsvRow(buffer, chunk, offset.At(chunk.wallMs)) &&
            buffer.size() >= kFlushBytes) {
          hand();
        }
      });
  if (read && going && !buffer.isEmpty()) {
    hand();
  }
  return read;
}

bool ExportCsv(SessionReader& reader, const StoredSession& session, QIODevice& out,
               QString* error) {
  QByteArray head = "\xEF\xBB\xBF" + CsvHeader().toUtf8() + "\r\n";
  bool written = Flush(out, head, error);
  if (!ForEachCsvPiece(reader, session, [&](QByteArray& rows) {
        return written = written && Flush(out, rows, error);
      })) {
    *error = ReadFailed();
    return false;
  }
  return written;
}

bool ExportData1(SessionReader& reader, const StoredSession& session, QIODevice& out,
                 QString* error) {
  // A session still running (or whose writer is gone) ends, so far, with
  // its last chunk by sequence: the wall clock may have been set back.
  QDateTime end = session.endUtc;
  if (!end.isValid()) {
    const std::optional<std::optional<qint64>> last = reader.LastChunkWallMs(session.id);
    if (!last) {
      *error = ReadFailed();
      return false;
    }
    end = last->has_value() ? QDateTime::fromMSecsSinceEpoch(**last, Qt::UTC) : session.startUtc;
  }
  end = end.toLocalTime();
  // The same bytes as one save of the whole text: the GBK codec converts
  // each UTF-16 unit on its own, so converting chunk by chunk changes nothing.
  QTextCodec* const gbk = QTextCodec::codecForName("GBK");
  QByteArray buffer;
  buffer.reserve(kFlushBytes + 1024);
  buffer += gbk->fromUnicode(SnapshotHeader(end) + QStringLiteral("\r\n"));
  bool written = true;
  const auto text = [&](const StoredChunk& chunk) {
    if (!written) {
      return;
    }
    buffer += gbk->fromUnicode(chunk.text);
    if (buffer.size() >= kFlushBytes) {
      written = Flush(out, buffer, error);
    }
  };
  if (!reader.ForEachChunkPart(session.id, SessionReader::ChunkParts::Text, text)) {
    *error = ReadFailed();
    return false;
  }
  buffer += "\r\n";
  return written && Flush(out, buffer, error);
}
