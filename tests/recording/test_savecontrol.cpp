#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include "dialogfolderchooser.h"
#include "fakeservices.h"
#include "logpane.h"
#include "savecontrol.h"
#include "snapshotfile.h"

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#include <unistd.h>
#include <csignal>
#endif

// The save flow with a fake clock and a fake folder chooser, writing into a
// temporary folder.
class TestSaveControl : public QObject {
  Q_OBJECT
 private slots:
  void init();
  void cleanup();
  void saveWritesSnapshotAndConfirms();
  void confirmationEndsOnItsOwnTimer();
  void confirmationEndsAcrossMidnight();
  void passesAndTypingDuringConfirmation();
  void folderPickDuringConfirmation();
  void twoSavesLeaveOnlyTheSecond();
  void folderTextEndingInSeparator();
  void failedSaveShowsNothing_data();
  void failedSaveShowsNothing();
  void readOnlyFolder();
  void failureWhileWritingKeepsEarlierFile();
  void folderPick_data();
  void folderPick();
  void folderWithin_data();
  void folderWithin();
  void dialogChooserWithoutItsRootReturnsNothing();

 private:
  QByteArray ReadSnapshot() const;
  QStringList FilesInDir() const;
  void EndConfirmation();

  std::unique_ptr<QTemporaryDir> m_dir;
  std::unique_ptr<QWidget> m_window;
  QLineEdit* m_pathBox = nullptr;
  QPushButton* m_button = nullptr;
  LogPane* m_log = nullptr;
  FakeClock m_clock;
  FakeFolderChooser m_chooser;
  std::unique_ptr<SaveControl> m_save;
};

void TestSaveControl::init() {
  m_dir = std::make_unique<QTemporaryDir>();
  QVERIFY(m_dir->isValid());
  m_window = std::make_unique<QWidget>();
  m_pathBox = new QLineEdit(m_dir->path(), m_window.get());
  m_button = new QPushButton(QStringLiteral("保存数据"), m_window.get());
  m_log = new LogPane(m_window.get());
  m_log->hide();
  m_clock = FakeClock();
  m_chooser = FakeFolderChooser();
  m_save = std::make_unique<SaveControl>(*m_pathBox, *m_button, *m_log, m_clock, m_chooser);
}

void TestSaveControl::cleanup() {
  m_save.reset();
  m_window.reset();
  m_dir.reset();
}

QByteArray TestSaveControl::ReadSnapshot() const {
  QFile file(m_dir->filePath(QStringLiteral("data1.txt")));
  if (!file.open(QIODevice::ReadOnly)) {
    return "<no file>";
  }
  return file.readAll();
}

QStringList TestSaveControl::FilesInDir() const {
  return QDir(m_dir->path()).entryList(QDir::Files | QDir::Hidden | QDir::System);
}

void TestSaveControl::EndConfirmation() {
  m_clock.Advance(SaveControl::kConfirmationMs);
  m_save->CheckConfirmation();
  QVERIFY(!m_save->IsConfirming());
}

void TestSaveControl::saveWritesSnapshotAndConfirms() {
  m_log->AppendAndFollow(QStringLiteral("ABC"));
  m_save->OnSaveDataClicked();

  QCOMPARE(ReadSnapshot(),
           QByteArray::fromHex("32303236C4EA33D4C237C8D5202039CAB135B7D633C3EB0D0A4142430D0A"));
  QCOMPARE(m_pathBox->text(), QStringLiteral("OK,Data1.txt Saving!"));
  QVERIFY(!m_button->isEnabled());
  QCOMPARE(m_save->SavePath(), m_dir->path());

  m_clock.Advance(SaveControl::kConfirmationMs - 1);
  m_save->CheckConfirmation();
  QVERIFY(!m_button->isEnabled());
  QCOMPARE(m_pathBox->text(), QStringLiteral("OK,Data1.txt Saving!"));

  m_clock.Advance(1);
  m_save->CheckConfirmation();
  QVERIFY(m_button->isEnabled());
  QCOMPARE(m_pathBox->text(), m_dir->path());
}

void TestSaveControl::confirmationEndsOnItsOwnTimer() {
  m_save->OnSaveDataClicked();
  QVERIFY(m_save->IsConfirming());
  m_clock.Advance(SaveControl::kConfirmationMs);
  // The confirmation's timer notices the clock without a direct call.
  QTRY_VERIFY_WITH_TIMEOUT(m_button->isEnabled(), 2000);
  QCOMPARE(m_pathBox->text(), m_dir->path());
}

void TestSaveControl::confirmationEndsAcrossMidnight() {
  m_clock.now = QDateTime(QDate(2026, 3, 7), QTime(23, 59, 58));
  m_save->OnSaveDataClicked();
  QVERIFY(ReadSnapshot().startsWith(SnapshotBytes(m_clock.now, QString()).left(20)));
  m_clock.Advance(SaveControl::kConfirmationMs);
  QVERIFY(m_clock.LocalNow().time() < QTime(0, 0, 5));
  m_save->CheckConfirmation();
  QVERIFY(m_button->isEnabled());
  QCOMPARE(m_pathBox->text(), m_dir->path());
}

void TestSaveControl::passesAndTypingDuringConfirmation() {
  m_log->AppendAndFollow(QStringLiteral("first\r\n"));
  m_save->OnSaveDataClicked();
  const QByteArray written = ReadSnapshot();

  m_clock.Advance(1000);
  m_log->AppendAndFollow(QStringLiteral("second\r\n"));
  m_pathBox->setText(QStringLiteral("typed meanwhile"));
  m_save->OnSaveDataClicked();  // the button is disabled; a stray call is ignored
  m_save->CheckConfirmation();

  QCOMPARE(m_log->Text(), QStringLiteral("first\r\nsecond\r\n"));
  QCOMPARE(ReadSnapshot(), written);
  QVERIFY(!m_button->isEnabled());
  EndConfirmation();
  QCOMPARE(m_pathBox->text(), m_dir->path());
}

void TestSaveControl::folderPickDuringConfirmation() {
  const QString picked = QDir::homePath() + QStringLiteral("/picked");
  m_save->OnSaveDataClicked();
  m_chooser.answer = picked;
  m_save->OnChangeFolderClicked();
  QCOMPARE(m_save->SavePath(), picked);
  EndConfirmation();
  QCOMPARE(m_pathBox->text(), picked);
  QVERIFY(m_button->isEnabled());
}

void TestSaveControl::twoSavesLeaveOnlyTheSecond() {
  m_log->AppendAndFollow(QString(500, u'x'));
  m_save->OnSaveDataClicked();
  EndConfirmation();
  m_log->AppendAndFollow(QStringLiteral("\r\nmore"));
  m_save->OnSaveDataClicked();
  QCOMPARE(ReadSnapshot(), SnapshotBytes(m_clock.LocalNow(), m_log->Text()));
  QCOMPARE(FilesInDir(), QStringList{QStringLiteral("data1.txt")});
}

void TestSaveControl::folderTextEndingInSeparator() {
  m_pathBox->setText(m_dir->path() + QDir::separator());
  m_log->AppendAndFollow(QStringLiteral("ABC"));
  m_save->OnSaveDataClicked();
  QVERIFY(m_save->IsConfirming());
  QCOMPARE(ReadSnapshot(), SnapshotBytes(m_clock.LocalNow(), QStringLiteral("ABC")));
  EndConfirmation();
  QCOMPARE(m_pathBox->text(), m_dir->path() + QDir::separator());
}

void TestSaveControl::failedSaveShowsNothing_data() {
  QTest::addColumn<QString>("folderName");
  QTest::newRow("folder that does not exist") << QStringLiteral("missing");
  QTest::newRow("folder under a regular file") << QStringLiteral("plain.txt");
}

void TestSaveControl::failedSaveShowsNothing() {
  QFETCH(QString, folderName);
  QFile plain(m_dir->filePath(QStringLiteral("plain.txt")));
  QVERIFY(plain.open(QIODevice::WriteOnly));
  plain.close();
  const QString folder = m_dir->filePath(folderName);
  m_pathBox->setText(folder);
  m_log->AppendAndFollow(QStringLiteral("ABC"));
  QStringList reasons;
  m_save->SetFailureHandler([&](const QString& reason) { reasons << reason; });

  m_save->OnSaveDataClicked();

  // Told once, with the file system's reason, for a screen reader to say.
  QCOMPARE(reasons.size(), 1);
  QVERIFY2(!reasons[0].trimmed().isEmpty(), "no reason given");
  QVERIFY(!m_save->IsConfirming());
  QCOMPARE(m_pathBox->text(), folder);
  QVERIFY(m_button->isEnabled());
  QCOMPARE(m_save->SavePath(), folder);
  QCOMPARE(FilesInDir(), QStringList{QStringLiteral("plain.txt")});
}

void TestSaveControl::readOnlyFolder() {
#ifdef Q_OS_UNIX
  if (geteuid() == 0) {
    QSKIP(
        "running as root, which writes into read-only folders anyway; "
        "failedSaveShowsNothing covers a folder no one can write into");
  }
#endif
  m_save->OnSaveDataClicked();
  EndConfirmation();
  const QByteArray earlier = ReadSnapshot();
  // Neither folder nor file may be written (where only the file may, it is
  // written in place: see test_snapshotfile).
  const QString file = m_dir->filePath(QStringLiteral("data1.txt"));
  QFile::Permissions readOnly = QFile::ReadOwner | QFile::ExeOwner;
  QVERIFY(QFile::setPermissions(file, QFile::ReadOwner));
  QVERIFY(QFile::setPermissions(m_dir->path(), readOnly));
  m_log->AppendAndFollow(QStringLiteral("more"));
  m_save->OnSaveDataClicked();
  QFile::setPermissions(m_dir->path(), readOnly | QFile::WriteOwner);
  QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner);
  QVERIFY(!m_save->IsConfirming());
  QVERIFY(m_button->isEnabled());
  QCOMPARE(ReadSnapshot(), earlier);
  QCOMPARE(FilesInDir(), QStringList{QStringLiteral("data1.txt")});
}

void TestSaveControl::failureWhileWritingKeepsEarlierFile() {
#ifndef Q_OS_UNIX
  QSKIP("needs a file size limit to make a write fail");
#else
  m_log->AppendAndFollow(QStringLiteral("earlier"));
  m_save->OnSaveDataClicked();
  EndConfirmation();
  const QByteArray earlier = ReadSnapshot();
  QCOMPARE(earlier, SnapshotBytes(m_clock.now, QStringLiteral("earlier")));

  // Writes past 4 KiB now fail (EFBIG) after the file was opened, as on a
  // full disk, for root too.
  m_log->AppendAndFollow(QString(100000, u'y'));
  rlimit saved{};
  QCOMPARE(getrlimit(RLIMIT_FSIZE, &saved), 0);
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  rlimit small = saved;
  small.rlim_cur = 4096;
  QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
  m_clock.Advance(1000);
  m_save->OnSaveDataClicked();
  setrlimit(RLIMIT_FSIZE, &saved);
  std::signal(SIGXFSZ, oldHandler);

  QVERIFY(!m_save->IsConfirming());
  QVERIFY(m_button->isEnabled());
  QCOMPARE(m_pathBox->text(), m_dir->path());
  QCOMPARE(ReadSnapshot(), earlier);
  QCOMPARE(FilesInDir(), QStringList{QStringLiteral("data1.txt")});
#endif
}

void TestSaveControl::folderPick_data() {
  QTest::addColumn<std::optional<QString>>("answer");
  QTest::addColumn<bool>("accepted");
  const QString root = FolderChooserRoot();
  QTest::newRow("cancelled") << std::optional<QString>() << false;
  QTest::newRow("root itself") << std::optional<QString>(root) << true;
  QTest::newRow("below the root") << std::optional<QString>(root + QDir::separator() +
                                                            QStringLiteral("data"))
                                  << true;
  QTest::newRow("outside the root")
      << std::optional<QString>(root + QStringLiteral("x") + QDir::separator() +
                                QStringLiteral("a"))
      << false;
  QTest::newRow("climbs out of the root")
      << std::optional<QString>(root + QStringLiteral("/../elsewhere")) << false;
}

void TestSaveControl::folderPick() {
  QFETCH(std::optional<QString>, answer);
  QFETCH(bool, accepted);
  m_pathBox->setText(QStringLiteral("before"));
  m_chooser.answer = answer;

  m_save->OnChangeFolderClicked();

  QCOMPARE(m_chooser.calls, 1);
  QCOMPARE(m_chooser.lastTitle, QStringLiteral("选择目录:"));
#ifdef Q_OS_WIN
  QCOMPARE(m_chooser.lastRoot, QDir(QStringLiteral("C:\\Scripts")).exists()
                                   ? QStringLiteral("C:\\Scripts")
                                   : QDir::toNativeSeparators(QDir::homePath()));
#else
  QCOMPARE(m_chooser.lastRoot, QDir::homePath());
#endif
  QCOMPARE(m_pathBox->text(), accepted ? *answer : QStringLiteral("before"));
  QCOMPARE(m_save->SavePath(), accepted ? *answer : QString());
}

void TestSaveControl::folderWithin_data() {
  QTest::addColumn<QString>("folder");
  QTest::addColumn<QString>("root");
  QTest::addColumn<bool>("within");
  QTest::newRow("same") << QStringLiteral("/home/u") << QStringLiteral("/home/u") << true;
  QTest::newRow("same with slash")
      << QStringLiteral("/home/u/") << QStringLiteral("/home/u") << true;
  QTest::newRow("child") << QStringLiteral("/home/u/a/b") << QStringLiteral("/home/u") << true;
  QTest::newRow("sibling sharing a prefix")
      << QStringLiteral("/home/ux") << QStringLiteral("/home/u") << false;
  QTest::newRow("parent") << QStringLiteral("/home") << QStringLiteral("/home/u") << false;
  QTest::newRow("file-system root") << QStringLiteral("/srv") << QStringLiteral("/") << true;
  QTest::newRow("empty") << QString() << QStringLiteral("/home/u") << false;
#ifdef Q_OS_WIN
  QTest::newRow("case differs") << QStringLiteral("c:\\scripts\\A") << QStringLiteral("C:\\Scripts")
                                << true;
#endif
}

void TestSaveControl::folderWithin() {
  QFETCH(QString, folder);
  QFETCH(QString, root);
  QFETCH(bool, within);
  QCOMPARE(IsFolderWithin(folder, root), within);
}

void TestSaveControl::dialogChooserWithoutItsRootReturnsNothing() {
  DialogFolderChooser chooser;
  QVERIFY(!chooser.ChooseFolder(nullptr, QStringLiteral("选择目录:"),
                                m_dir->filePath(QStringLiteral("none"))));
}

QTEST_MAIN(TestSaveControl)
#include "test_savecontrol.moc"
