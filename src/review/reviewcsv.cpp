#include "reviewcsv.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QIODevice>

#include "sessionexport.h"
#include "snapshotreader.h"

namespace {

constexpr qsizetype kFlushBytes = 1 << 20;

class Writer {
 public:
  Writer(QIODevice& out, QString* error) : m_out(out), m_error(error) {}
  bool Row(const QString& row) {
    if (row.isEmpty()) {
      return m_ok;
    }
    m_buffer += row.toUtf8();
    m_buffer += "\r\n";
    return m_buffer.size() < kFlushBytes || Flush();
  }
  void Raw(const QByteArray& bytes) { m_buffer += bytes; }
  bool Flush() {
    if (m_ok && !m_buffer.isEmpty() && m_out.write(m_buffer) != m_buffer.size()) {
      m_ok = false;
      if (m_error) {
        *m_error =
            QCoreApplication::translate("ReviewWindow", "写入失败：%1").arg(m_out.errorString());
      }
    }
    m_buffer.clear();
    return m_ok;
  }
  bool Ok() const { return m_ok; }

 private:
  QIODevice& m_out;
  QString* m_error;
  QByteArray m_buffer;
  bool m_ok = true;
};

// A CSV field: quoted when it holds a comma, a quote or a line end.
QByteArray CsvField(const QString& text) {
  QByteArray field = text.toUtf8();
  if (field.contains(',') || field.contains('"') || field.contains('\r') || field.contains('\n')) {
    field.replace("\"", "\"\"");
    field = '"' + field + '"';
  }
  return field;
}

// `rows` (each ending in CR LF) with `prefix` before each.
QByteArray Prefixed(const QByteArray& rows, const QByteArray& prefix) {
  QByteArray out;
  out.reserve(rows.size() + rows.count('\n') * prefix.size());
  qsizetype from = 0;
  while (from < rows.size()) {
    qsizetype end = rows.indexOf('\n', from);
    end = end < 0 ? rows.size() : end + 1;
    out += prefix;
    out.append(rows.constData() + from, end - from);
    from = end;
  }
  return out;
}

}  // namespace

QString CsvSourceName(const CsvSource& source) {
  return source.sessionId != 0 ? QStringLiteral("会话 %1").arg(source.sessionId)
                               : QDir::toNativeSeparators(source.path);
}

bool WriteReviewCsv(const std::vector<CsvSource>& sources, const StoreOpener& openStore,
                    QIODevice& out, QString* error, const std::atomic<bool>* cancel) {
  Writer writer(out, error);
  writer.Raw("\xEF\xBB\xBF");
  writer.Row(QStringLiteral("来源,") + CsvHeader());
  std::unique_ptr<SessionReader> store;
  for (const CsvSource& source : sources) {
    if (cancel && cancel->load()) {
      return false;
    }
    const QByteArray prefix = CsvField(CsvSourceName(source)) + ',';
    if (source.sessionId != 0) {
      if (!store && openStore) {
        store = openStore(error);
      }
      const std::optional<StoredSession> session =
          store ? store->Find(source.sessionId) : std::nullopt;
      if (!session) {
        if (error && store) {
          *error = QCoreApplication::translate("ReviewWindow", "没有编号为 %1 的会话。")
                       .arg(source.sessionId);
        }
        return false;
      }
      const bool read = ForEachCsvPiece(*store, *session, [&](QByteArray& rows) {
        writer.Raw(Prefixed(rows, prefix));
        return writer.Flush();
      });
      if (!read) {
        if (error) {
          *error = QCoreApplication::translate("ReviewWindow", "读取会话 %1 失败。")
                       .arg(source.sessionId);
        }
        return false;
      }
    } else {
      QFile file(source.path);
      if (!file.open(QIODevice::ReadOnly)) {
        if (error) {
          *error = QCoreApplication::translate("ReviewWindow", "无法打开文件 %1：%2")
                       .arg(QDir::toNativeSeparators(source.path), file.errorString());
        }
        return false;
      }
      ForEachSnapshotChunk(file.readAll(), [&](const StoredChunk& chunk) {
        const QString row = CsvRow(chunk, 0);
        // The time column stays empty: a file's lines carry no time.
        if (!row.isEmpty()) {
          writer.Raw(prefix);
          writer.Row(row.mid(row.indexOf(u',')));
        }
      });
    }
    if (!writer.Ok()) {
      return false;
    }
  }
  return writer.Flush();
}
