// The store failing under the real window: acquisition, the log and the
// window go on, the title says that recording is off, and once the store is
// back every held chunk arrives, none lost or doubled. Also two copies of
// the program writing one store at once.

#include <unistd.h>

#include <QProcess>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include "fakeservices.h"
#include "logpane.h"
#include "mainwindow.h"
#include "sessionrecording.h"
#include "textboxes.h"

namespace {

constexpr int kWaitMs = 10000;

QString Frame(int i) {
  return QStringLiteral("$1,1,%1,1300,500,%1,25;1,%1,1299,498,%1,24\r\n").arg(i);
}

// The program's wiring of window and store, over a fake port.
struct Rig {
  explicit Rig(const QString& db, int busyTimeoutMs = 5000) {
    recording = std::make_unique<SessionRecording>(
        SessionStore::Settings{.path = db, .retryMs = 20, .busyTimeoutMs = busyTimeoutMs}, clock);
    auto owned = std::make_unique<FakeSerialPort>();
    port = owned.get();
    MainWindowServices services;
    services.port = std::move(owned);
    services.messages = &messages;
    services.folders = &folders;
    services.clock = &clock;
    services.pause = [](qint32) {};
    services.recorder = recording.get();
    services.portChanged = recording->PortHandler();
    window = std::make_unique<MainWindow>(std::move(services));
    recording->SetNotice([this](const QString& text) {
      window->SetTitleNotice(TitleNotices::Slot::Recording, text);
    });
    window->show();
    window->cmdOpenCOM->click();
  }

  SessionStore& Store() { return recording->Store(); }
  void Pass() {
    const QString chunk = Frame(int(sent.size()) + 1);
    port->chunks.push_back(chunk);
    window->OnAcquisitionTick();
    sent << chunk;
    clock.Advance(1000);
  }
  bool NoticeShown() const { return window->windowTitle().contains(SessionRecording::OffNotice()); }
  // Waits until everything queued is stored; false if the store fails first.
  bool Drain() {
    QSignalSpy committed(&Store(), &SessionStore::Committed);
    while (Store().Pending() > 0 && Store().Recording()) {
      if (!committed.wait(kWaitMs)) {
        return false;
      }
    }
    return Store().Pending() == 0;
  }

  FakeClock clock;
  RecordingMessageSink messages;
  FakeFolderChooser folders;
  std::unique_ptr<SessionRecording> recording;
  FakeSerialPort* port = nullptr;
  std::unique_ptr<MainWindow> window;
  QStringList sent;
};

bool Mount(const QString& dir, const QString& options) {
  return ::geteuid() == 0 && QProcess::execute(u"mount"_qs, {u"-t"_qs, u"tmpfs"_qs, u"-o"_qs,
                                                             options, u"tmpfs"_qs, dir}) == 0;
}

void Remount(const QString& dir, const QString& options) {
  QProcess::execute(u"mount"_qs, {u"-o"_qs, u"remount,"_qs + options, dir});
}

QStringList StoredTexts(const QString& db, StoredSession* session) {
  QStringList texts;
  auto reader = SessionReader::Open(db, nullptr);
  if (!reader) {
    return {u"no store"_qs};
  }
  *session = *reader->Find(std::nullopt);
  qint64 expected = 1;
  reader->ForEachChunk(session->id, [&](const StoredChunk& c) {
    texts << (c.seq == expected++ ? c.text : u"out of sequence"_qs);
  });
  return texts;
}

}  // namespace

class TestStoreFailures : public QObject {
  Q_OBJECT
 private slots:
  void heldChunksArriveAfterRecovery_data();
  void heldChunksArriveAfterRecovery();
  void damagedFileIsMovedAside();
  void twoCopiesWriteOneStore();
};

void TestStoreFailures::heldChunksArriveAfterRecovery_data() {
  QTest::addColumn<QString>("failure");
  QTest::newRow("missing folder") << u"missing"_qs;
  QTest::newRow("read-only folder") << u"read-only"_qs;
  QTest::newRow("full disk") << u"full"_qs;
  QTest::newRow("locked by another process") << u"locked"_qs;
}

void TestStoreFailures::heldChunksArriveAfterRecovery() {
  QFETCH(QString, failure);
  QTemporaryDir dir;
  const QString folder = dir.filePath(u"store"_qs);
  QVERIFY(QDir().mkpath(folder));
  QString db = folder + u"/sessions.db"_qs;
  bool mounted = false;
  const auto unmount = qScopeGuard([&] {
    if (mounted) {
      QProcess::execute(u"umount"_qs, {folder});
    }
  });
  QProcess locker;
  std::function<void()> mend;

  // Failures that exist before the program starts.
  if (failure == u"missing") {
    QFile blocker(folder + u"/data"_qs);  // a file where the folder should be
    QVERIFY(blocker.open(QIODevice::WriteOnly));
    db = folder + u"/data/sessions.db"_qs;
    mend = [&] { QVERIFY(QFile::remove(folder + u"/data"_qs)); };
  } else if (failure == u"read-only") {
    if (::geteuid() == 0) {
      // Permissions do not stop root: a read-only file system does.
      if (!Mount(folder, u"size=1m"_qs)) {
        QSKIP("this machine does not allow mounting a tmpfs");
      }
      mounted = true;
      Remount(folder, u"ro"_qs);
      mend = [&] { Remount(folder, u"rw"_qs); };
    } else {
      QFile::setPermissions(folder, QFile::ReadOwner | QFile::ExeOwner);
      mend = [&] {
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
      };
    }
  } else if (failure == u"full") {
    if (!Mount(folder, u"size=256k"_qs)) {
      QSKIP("mounting a small file system needs root");
    }
    mounted = true;
  }

  Rig rig(db, failure == u"locked" ? 100 : 5000);
  QSignalSpy changed(&rig.Store(), &SessionStore::RecordingChanged);
  if (failure == u"missing" || failure == u"read-only") {
    QVERIFY(changed.wait(kWaitMs));
  } else {
    rig.Pass();
    rig.Pass();
    QVERIFY(rig.Drain());
    QVERIFY(!rig.NoticeShown());
  }

  // Failures that arrive while it runs.
  if (failure == u"full") {
    QFile filler(folder + u"/filler"_qs);
    QVERIFY(filler.open(QIODevice::WriteOnly));
    const QByteArray block(4096, 'x');
    while (filler.write(block) == block.size() && filler.flush()) {
    }
    filler.close();
    mend = [&] { QVERIFY(QFile::remove(folder + u"/filler"_qs)); };
  } else if (failure == u"locked") {
    locker.start(QStringLiteral(ORVANTA_STORECHILD_PATH), {u"lock"_qs, db});
    QVERIFY(locker.waitForReadyRead(kWaitMs));
    QCOMPARE(locker.readLine().trimmed(), QByteArray("locked"));
    mend = [&] {
      locker.closeWriteChannel();
      QVERIFY(locker.waitForFinished(kWaitMs));
    };
  }
  for (int i = 0; i < 100 && rig.Store().Recording(); ++i) {
    rig.Pass();
    changed.wait(200);
  }
  QVERIFY(!rig.Store().Recording());
  QVERIFY(rig.NoticeShown());

  // Acquisition goes on, shown and logged, without a message box.
  rig.Pass();
  rig.Pass();
  QCOMPARE(rig.window->RichText1->Text(), rig.sent.join(QString()));
  QCOMPARE(rig.window->Text2->Text(), rig.sent.last());
  QVERIFY(rig.messages.texts.isEmpty());

  mend();
  QVERIFY(changed.wait(kWaitMs));
  QVERIFY(rig.Store().Recording());
  QVERIFY(!rig.NoticeShown());
  rig.Pass();
  rig.window->cmdCloseCOM->click();
  QVERIFY(rig.Drain());

  StoredSession session;
  QCOMPARE(StoredTexts(db, &session), rig.sent);
  QCOMPARE(session.ended, SessionEnd::Closed);
  QCOMPARE(session.chunks, rig.sent.size());
}

void TestStoreFailures::damagedFileIsMovedAside() {
  QTemporaryDir dir;
  const QString db = dir.filePath(u"sessions.db"_qs);
  const QByteArray garbage = QByteArray("not a database at all ").repeated(300);
  {
    QFile file(db);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(garbage);
  }
  {
    Rig rig(db);
    QSignalSpy moved(&rig.Store(), &SessionStore::MovedAside);
    rig.Pass();
    QVERIFY(moved.count() || moved.wait(kWaitMs));
    QVERIFY(rig.Drain());
    QVERIFY(!rig.NoticeShown());
    QFile aside(moved.at(0).at(0).toString());
    QVERIFY(aside.open(QIODevice::ReadOnly));
    QCOMPARE(aside.readAll(), garbage);
    StoredSession session;
    QCOMPARE(StoredTexts(db, &session), rig.sent);
  }
}

void TestStoreFailures::twoCopiesWriteOneStore() {
  QTemporaryDir dir;
  const QString db = dir.filePath(u"sessions.db"_qs);
  constexpr int kPasses = 300;
  QProcess copies[2];
  for (int i = 0; i < 2; ++i) {
    copies[i].setProcessChannelMode(QProcess::ForwardedChannels);
    copies[i].start(QStringLiteral(ORVANTA_STORECHILD_PATH),
                    {u"write"_qs, db, u"COM%1"_qs.arg(i + 1), QString::number(kPasses)});
  }
  for (QProcess& copy : copies) {
    QVERIFY(copy.waitForFinished(60000));
    QCOMPARE(copy.exitCode(), 0);
  }
  auto reader = SessionReader::Open(db, nullptr);
  QVERIFY(reader);
  const QList<StoredSession> sessions = reader->Sessions();
  QCOMPARE(sessions.size(), 2);
  QStringList ports;
  for (const StoredSession& s : sessions) {
    ports << s.port;
    QCOMPARE(s.ended, SessionEnd::Closed);
    QCOMPARE(s.chunks, kPasses);
    QCOMPARE(s.frames, kPasses);
    qint64 seq = 0;
    reader->ForEachChunk(s.id, [&](const StoredChunk& c) {
      QCOMPARE(c.seq, ++seq);
      QVERIFY(c.text.startsWith(u"$1,1,%1,"_qs.arg(seq)));
    });
    QCOMPARE(seq, kPasses);
  }
  ports.sort();
  QCOMPARE(ports, (QStringList{u"COM1"_qs, u"COM2"_qs}));
}

QTEST_MAIN(TestStoreFailures)
#include "test_storefailures.moc"
