// The folder chooser's dialog never reads inside an entry: a folder holding
// a FIFO with no writer and a file that only its contents could type keeps
// the event loop running, and no entry is opened.
#include <QAbstractFileIconProvider>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include "dialogfolderchooser.h"

#ifdef Q_OS_LINUX
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

class TestFolderChooser : public QObject {
  Q_OBJECT
 private slots:
  void dialogNeverReadsInsideEntries();
};

void TestFolderChooser::dialogNeverReadsInsideEntries() {
#ifndef Q_OS_LINUX
  QSKIP("needs mkfifo and inotify");
#else
  QTemporaryDir dir;
  QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("sub")));
  const QString blob = dir.filePath(QStringLiteral("blob"));  // a PNG by its contents only
  QFile file(blob);
  QVERIFY(file.open(QIODevice::WriteOnly));
  file.write(QByteArray("\x89PNG\r\n\x1a\n", 8) + QByteArray(64, '\0'));
  file.close();
  const QByteArray fifo = QFile::encodeName(dir.filePath(QStringLiteral("pipe")));
  QCOMPARE(::mkfifo(fifo.constData(), 0600), 0);

  // Every open of an entry inside the folder is reported.
  const int watch = ::inotify_init1(IN_NONBLOCK);
  QVERIFY(watch >= 0);
  QVERIFY(::inotify_add_watch(watch, QFile::encodeName(dir.path()).constData(), IN_OPEN) >= 0);

  int ticks = 0;
  QTimer clock;
  connect(&clock, &QTimer::timeout, [&ticks] { ++ticks; });
  clock.start(10);

  QFileDialog dialog;
  DialogFolderChooser::SetUp(dialog, dir.path());
  auto* model = dialog.findChild<QFileSystemModel*>();
  QVERIFY(model);
  QSignalSpy loaded(model, &QFileSystemModel::directoryLoaded);
  dialog.show();
  QVERIFY(QTest::qWaitForWindowExposed(&dialog));
  QTRY_VERIFY_WITH_TIMEOUT(!loaded.isEmpty() && loaded.last().value(0).toString() == dir.path(),
                           5000);
  // The entries' kinds and icons are fetched; the clock keeps ticking.
  QTRY_VERIFY_WITH_TIMEOUT(model->index(blob).isValid() || ticks > 20, 5000);
  QTRY_VERIFY(ticks > 20);
  dialog.reject();

  QStringList opened;
  char buffer[4096];
  for (ssize_t n; (n = ::read(watch, buffer, sizeof buffer)) > 0;) {
    for (ssize_t at = 0; at < n;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      if (event->len > 0) {
        opened << QString::fromLocal8Bit(event->name);
      }
      at += ssize_t(sizeof(inotify_event)) + event->len;
    }
  }
  ::close(watch);
  QCOMPARE(opened, QStringList());
  QCOMPARE(dialog.iconProvider()->type(QFileInfo(blob)), QStringLiteral("File"));
#endif
}

QTEST_MAIN(TestFolderChooser)
#include "test_folderchooser.moc"
