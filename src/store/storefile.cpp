#include "storefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace storefile {

namespace {

constexpr char kMagic[] = "SQLite format 3";  // with its NUL, the first 16 bytes
constexpr int kHeaderBytes = 100;

quint32 BigEndian32(const QByteArray& header, int offset) {
  const auto* p = reinterpret_cast<const uchar*>(header.constData() + offset);
  return (quint32(p[0]) << 24) | (quint32(p[1]) << 16) | (quint32(p[2]) << 8) | quint32(p[3]);
}

QString Native(const QString& path) {
  return QDir::toNativeSeparators(path);
}

// A plain file of this user, or why not; Missing when there is nothing.
std::optional<Verdict> CheckOwnership(const QString& path, QString* reason) {
#ifdef Q_OS_UNIX
  struct stat st {};
  if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
    return Verdict::Missing;
  }
  if (S_ISLNK(st.st_mode)) {
    *reason =
        QStringLiteral("%1 is a symbolic link; the store does not follow links").arg(Native(path));
    return Verdict::NotOurs;
  }
  if (!S_ISREG(st.st_mode)) {
    *reason = QStringLiteral("%1 is not a regular file").arg(Native(path));
    return Verdict::NotOurs;
  }
  if (st.st_uid != ::geteuid()) {
    *reason = QStringLiteral("%1 belongs to another user").arg(Native(path));
    return Verdict::NotOurs;
  }
  return std::nullopt;
#else
  if (!QFile::exists(path)) {
    return Verdict::Missing;
  }
  if (QFileInfo(path).isSymLink() || !QFileInfo(path).isFile()) {
    *reason = QStringLiteral("%1 is not a regular file").arg(Native(path));
    return Verdict::NotOurs;
  }
  return std::nullopt;
#endif
}

}  // namespace

std::optional<FileId> IdentityOf(const QString& path) {
#ifdef Q_OS_UNIX
  struct stat st {};
  if (::lstat(QFile::encodeName(path).constData(), &st) != 0) {
    return std::nullopt;
  }
  return FileId{quint64(st.st_dev), quint64(st.st_ino)};
#else
  if (!QFile::exists(path)) {
    return std::nullopt;
  }
  return FileId{};
#endif
}

Verdict Inspect(const QString& path, int knownVersion, QString* reason) {
  if (const auto verdict = CheckOwnership(path, reason)) {
    return *verdict;
  }
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    *reason = QStringLiteral("cannot read %1: %2").arg(Native(path), file.errorString());
    return Verdict::NotOurs;
  }
  const QByteArray header = file.read(kHeaderBytes);
  if (header.isEmpty() && file.size() == 0) {
    return Verdict::Empty;
  }
  if (header.size() < kHeaderBytes || !header.startsWith(QByteArray(kMagic, sizeof kMagic))) {
    *reason = QStringLiteral("%1 is not a database").arg(Native(path));
    return Verdict::NotDatabase;
  }
  // The header's copies; a change still in the write-ahead log is checked
  // again once SQLite has the file.
  const quint32 schemaCookie = BigEndian32(header, 40);
  const quint32 userVersion = BigEndian32(header, 60);
  if (userVersion > quint32(knownVersion)) {
    *reason = QStringLiteral(
                  "the store was written by a newer program (version %1, this one "
                  "knows %2)")
                  .arg(userVersion)
                  .arg(knownVersion);
    return Verdict::Newer;
  }
  if (userVersion == 0 && schemaCookie != 0) {
    *reason = QStringLiteral("the file is a database, but not a session store");
    return Verdict::Foreign;
  }
  return Verdict::Store;
}

bool JournalsAreOurs(const QString& path, QString* reason) {
  for (const char* suffix : {"-wal", "-shm", "-journal"}) {
    const std::optional<Verdict> verdict = CheckOwnership(path + QLatin1StringView(suffix), reason);
    if (verdict == Verdict::NotOurs) {
      return false;
    }
  }
  return true;
}

}  // namespace storefile
