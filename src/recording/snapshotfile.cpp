#include "snapshotfile.h"

#include <QSaveFile>
#include <QTextCodec>

#include "logtext.h"
#include "savefile.h"

namespace {

// QTextCodec's GBK codec is built into every platform's Qt, ICU or not.
QTextCodec& GbkCodec() {
  static QTextCodec* const codec = QTextCodec::codecForName("GBK");
  Q_ASSERT(codec);
  return *codec;
}

}  // namespace

QString SnapshotHeader(const QDateTime& local) {
  const QDate date = local.date();
  const QTime time = local.time();
  return QStringLiteral("%1年%2月%3日  %4时%5分%6秒")
      .arg(date.year())
      .arg(date.month())
      .arg(date.day())
      .arg(time.hour())
      .arg(time.minute())
      .arg(time.second());
}

QByteArray SnapshotBytes(const QDateTime& local, const QString& logText) {
  QString content = SnapshotHeader(local);
  content.reserve(content.size() + logText.size() + 4);
  content += QStringLiteral("\r\n");
  content += logText;
  content += QStringLiteral("\r\n");
  // A default converter state: unencodable characters become '?', never NUL,
  // and no byte-order mark is written.
  return GbkCodec().fromUnicode(content);
}

QByteArray SnapshotBytes(const QDateTime& local, const LogText& log) {
  QTextCodec& gbk = GbkCodec();
  QByteArray bytes = gbk.fromUnicode(SnapshotHeader(local) + QStringLiteral("\r\n"));
  // Exact for ASCII, the usual case; other text only grows it further.
  bytes.reserve(bytes.size() + log.Size() + 2);
  QString pending;  // a last piece that ends in half a pair waits for the CR LF
  log.ForEachPiece([&](QByteArrayView ascii) { bytes.append(ascii); },
                   [&](const QString& piece) {
                     if (piece.back().isHighSurrogate()) {
                       pending = piece;
                     } else {
                       bytes.append(gbk.fromUnicode(piece));
                     }
                   });
  // Pieces end after a CR or LF, so encoding them one by one gives the bytes
  // of encoding the whole text at once; only half a pair at the very end is
  // encoded with the CR LF that follows it, as it would be then.
  bytes.append(gbk.fromUnicode(pending + QStringLiteral("\r\n")));
  return bytes;
}

QString SnapshotFileName(const QString& folder) {
#ifdef Q_OS_WIN
  return folder + QStringLiteral("\\data1.txt");
#else
  return folder + QStringLiteral("/data1.txt");
#endif
}

bool WriteFileAtomically(const QString& fileName, const QByteArray& bytes, QString* error) {
  QSaveFile file(fileName);
  // Replaced atomically through a new file beside it wherever one can be
  // made; only in a folder where the existing file may be written but no
  // new file made is the file written in place.
  file.setDirectWriteFallback(true);
  if (!file.open(QIODevice::WriteOnly)) {
    if (error) {
      *error = file.errorString();
    }
    return false;
  }
  if (file.write(bytes) != bytes.size()) {
    if (error) {
      *error = file.errorString();
    }
    file.cancelWriting();
    return false;
  }
  return CommitSaveFile(file, error);
}
