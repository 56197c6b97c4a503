#include "snapshotfile.h"

#include <QSaveFile>
#include <QTextCodec>

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

QString SnapshotFileName(const QString& folder) {
#ifdef Q_OS_WIN
  return folder + QStringLiteral("\\data1.txt");
#else
  return folder + QStringLiteral("/data1.txt");
#endif
}

bool WriteFileAtomically(const QString& fileName, const QByteArray& bytes) {
  QSaveFile file(fileName);
  // Replaced atomically through a new file beside it wherever one can be
  // made; only in a folder where the existing file may be written but no
  // new file made is the file written in place.
  file.setDirectWriteFallback(true);
  if (!file.open(QIODevice::WriteOnly)) {
    return false;
  }
  if (file.write(bytes) != bytes.size()) {
    file.cancelWriting();
    return false;
  }
  return file.commit();
}
