#pragma once

// A small tmpfs of the test's own, for full disks and read-only media made
// on purpose. Mounting needs root (as CI runs); tests skip without it.

#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

class SmallTmpfs {
 public:
  // Mounts a tmpfs of `size` ("256k", "4m") at a new folder.
  explicit SmallTmpfs(const QString& size) {
    m_mounted = ::geteuid() == 0 &&
                QProcess::execute(
                    QStringLiteral("mount"),
                    {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                     QStringLiteral("size=") + size, QStringLiteral("tmpfs"), m_dir.path()}) == 0;
  }
  ~SmallTmpfs() {
    if (m_mounted) {
      QProcess::execute(QStringLiteral("umount"), {QStringLiteral("-l"), m_dir.path()});
    }
  }
  SmallTmpfs(const SmallTmpfs&) = delete;
  SmallTmpfs& operator=(const SmallTmpfs&) = delete;

  bool Mounted() const { return m_mounted; }
  QString Path() const { return m_dir.path(); }
  QString FilePath(const QString& name) const { return m_dir.filePath(name); }

  // Fills what is left with a file named "filler" (removed by Free).
  void Fill() const {
    QFile filler(FilePath(QStringLiteral("filler")));
    if (!filler.open(QIODevice::Append)) {
      return;
    }
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    // The last partial block, byte by byte.
    while (filler.write("x", 1) == 1 && filler.flush()) {
    }
  }
  bool Free() const { return QFile::remove(FilePath(QStringLiteral("filler"))); }

  bool Remount(bool readOnly) const {
    return QProcess::execute(QStringLiteral("mount"), {QStringLiteral("-o"),
                                                       readOnly ? QStringLiteral("remount,ro")
                                                                : QStringLiteral("remount,rw"),
                                                       m_dir.path()}) == 0;
  }

 private:
  QTemporaryDir m_dir;
  bool m_mounted = false;
};
