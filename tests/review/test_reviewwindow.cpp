// The review window for the keyboard and screen readers, its size, and the
// summary of a session still being recorded.
#include <QAbstractItemView>
#include <QAccessible>
#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSettings>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QToolButton>
#include <QTreeWidget>
#include <QtTest>

#include "reviewdialogs.h"
#include "reviewplot.h"
#include "reviewwindow.h"
#include "sessionreader.h"
#include "sessionstore.h"

namespace {

// A store listing sessions 1 (closed) and 2 (still recording), without
// chunks: the window's sources are added directly.
class ListOnlyStore final : public SessionReader {
 public:
  ListOnlyStore() {
    for (qint64 id : {1, 2}) {
      StoredSession s;
      s.id = id;
      s.startUtc = QDateTime(QDate(2026, 12, 1), QTime(8, 0), Qt::UTC).addDays(id);
      s.port = QStringLiteral("COM1");
      s.ended = id == 2 ? SessionEnd::Running : SessionEnd::Closed;
      s.cells = id == 1 ? std::array<QString, 2>{u"A0001"_qs, QString()}
                        : std::array<QString, 2>{QString(), u"B-a0002"_qs};
      m_sessions << s;
    }
  }
  QList<StoredSession> Sessions() override { return m_sessions; }
  std::optional<StoredSession> Find(std::optional<qint64> id) override {
    for (const StoredSession& s : m_sessions) {
      if (!id || s.id == *id) {
        return s;
      }
    }
    return std::nullopt;
  }
  bool ForEachChunk(qint64, const std::function<void(const StoredChunk&)>&) override {
    return true;
  }

 private:
  QList<StoredSession> m_sessions;
};

StoreOpener Opener() {
  return [](QString*) { return std::unique_ptr<SessionReader>(std::make_unique<ListOnlyStore>()); };
}

// A discharge of `frames` seconds on channel 1, from session `id` (0: a file).
ReviewSource Discharge(const QString& name, qint64 id, int frames) {
  ReviewSource source;
  source.name = name;
  source.sessionId = id;
  source.start = QDateTime(QDate(2026, 12, 2), QTime(9, 0));
  for (int t = 0; t < frames; ++t) {
    source.channels[0].push_back({t, 1400 - t / 10, 500, t / 7, 25});
  }
  return source;
}

QWidget* PlotArea(ReviewPlot& plot) {
  for (QWidget* w : plot.findChildren<QWidget*>()) {
    if (w->inherits("QCustomPlot")) {
      return w;
    }
  }
  return nullptr;
}

}  // namespace

class TestReviewWindow : public QObject {
  Q_OBJECT
 private slots:
  void initTestCase();
  void tabLeavesEveryList_data();
  void tabLeavesEveryList();
  void tabWalkReachesEveryCommand();
  void namesAndDescriptions();
  void summaryOfARunningSession_data();
  void summaryOfARunningSession();
  void opensWithinTheScreenAndKeepsItsSize();
  void summaryFitsA1280PixelScreen();
  void findsSessionsByCell_data();
  void findsSessionsByCell();
  void labelsASessionAfterwards_data();
  void labelsASessionAfterwards();

 private:
  QTemporaryDir m_settings;
};

void TestReviewWindow::initTestCase() {
  // The window keeps its size in the user's settings: here, a folder of
  // the test's own.
  QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settings.path());
}

void TestReviewWindow::tabLeavesEveryList_data() {
  QTest::addColumn<int>("view");  // 0 the sessions, 1 the opened curves, 2 the summaries
  QTest::addColumn<int>("key");
  QTest::addColumn<int>("modifiers");
  const char* names[] = {"sessions", "opened", "summaries"};
  for (int view = 0; view < 3; ++view) {
    QTest::addRow("%s, Tab", names[view]) << view << int(Qt::Key_Tab) << int(Qt::NoModifier);
    QTest::addRow("%s, Shift+Tab", names[view])
        << view << int(Qt::Key_Backtab) << int(Qt::ShiftModifier);
    QTest::addRow("%s, Ctrl+Tab", names[view])
        << view << int(Qt::Key_Tab) << int(Qt::ControlModifier);
  }
}

void TestReviewWindow::tabLeavesEveryList() {
  QFETCH(int, view);
  QFETCH(int, key);
  QFETCH(int, modifiers);
  ReviewWindow window(Opener());
  window.WaitForSessionList();
  window.AddSource(Discharge(u"A"_qs, 0, 50));
  window.AddSource(Discharge(u"B"_qs, 0, 60));
  window.show();
  QApplication::setActiveWindow(&window);
  QVERIFY(QTest::qWaitForWindowActive(&window));
  const QList<QAbstractItemView*> views = window.findChildren<QAbstractItemView*>();
  QAbstractItemView* list = view == 0   ? static_cast<QAbstractItemView*>(&window.SessionTable())
                            : view == 2 ? static_cast<QAbstractItemView*>(&window.SummaryTable())
                                        : window.findChild<QTreeWidget*>();
  QVERIFY(list && list->model()->rowCount() > 0);
  list->setFocus(Qt::TabFocusReason);
  list->setCurrentIndex(list->model()->index(0, 0));
  QVERIFY(list->hasFocus());
  QTest::keyClick(list, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
  QWidget* focus = QApplication::focusWidget();
  QVERIFY2(focus && focus != list && !list->isAncestorOf(focus),
           focus ? focus->metaObject()->className() : "nothing");
}

// The window opens on the session list; from there Tab reaches
// "打开所选会话", the plot's toolbar buttons and its plot area.
void TestReviewWindow::tabWalkReachesEveryCommand() {
  ReviewWindow window(Opener());
  window.AddSource(Discharge(u"A"_qs, 0, 50));
  window.show();
  QApplication::setActiveWindow(&window);
  QVERIFY(QTest::qWaitForWindowActive(&window));
  // It opens on the session list, not on the cell filter above it.
  QCOMPARE(QApplication::focusWidget(), &window.SessionTable());
  QStringList reached;
  for (int i = 0; i < 40; ++i) {
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QWidget* focus = QApplication::focusWidget();
    if (auto* button = qobject_cast<QAbstractButton*>(focus)) {
      reached << button->text();
    } else if (focus == PlotArea(window.Plot())) {
      reached << u"plot"_qs;
    }
  }
  for (const QString& stop :
       {u"打开所选会话"_qs, u"放大"_qs, u"全部显示"_qs, u"打印"_qs, u"plot"_qs, u"保存报告…"_qs}) {
    QVERIFY2(reached.contains(stop), qPrintable(stop + u": "_qs + reached.join(u", "_qs)));
  }
}

void TestReviewWindow::namesAndDescriptions() {
  ReviewWindow window(Opener());
  window.AddSource(Discharge(u"A"_qs, 0, 50));
  window.AddSource(Discharge(u"B"_qs, 0, 80));
  window.show();
  window.Plot().ReplotNow();
  auto name = [](QObject* o) {
    return QAccessible::queryAccessibleInterface(o)->text(QAccessible::Name);
  };
  QCOMPARE(name(&window.SessionTable()), u"已记录的会话"_qs);
  QCOMPARE(name(&window.SummaryTable()), u"放电摘要"_qs);
  QCOMPARE(name(window.findChild<QTreeWidget*>()), u"已打开的曲线"_qs);
  ReviewPlot& plot = window.Plot();
  QAccessibleInterface* chart = QAccessible::queryAccessibleInterface(&plot);
  QCOMPARE(chart->role(), QAccessible::Chart);
  QCOMPARE(chart->text(QAccessible::Name), u"比较"_qs);
  // Each curve's last point, in the axes' terms.
  const QString described = chart->text(QAccessible::Description);
  QVERIFY2(described.contains(plot.CurveName(0) + u"：时间(S) 49，电压(mV) 1396"_qs) &&
               described.contains(plot.CurveName(1) + u"：时间(S) 79，电压(mV) 1393"_qs),
           qPrintable(described));
  // The cursor's readings, told as soon as a key moves it.
  QWidget* area = PlotArea(plot);
  QCOMPARE(name(area), u"曲线区"_qs);
  QTest::keyClick(area, Qt::Key_End);
  QVERIFY(plot.CursorVisible());
  QCOMPARE(plot.CursorPointerX(), 49.0);
  QCOMPARE(area->accessibleDescription(), plot.CurveName(0) + u" X: 49.000, Y: 1396.000；"_qs +
                                              plot.CurveName(1) + u" Y: 1396.000"_qs);
  QTest::keyClick(area, Qt::Key_T);
  QTest::keyClick(area, Qt::Key_End);
  QCOMPARE(plot.CursorCurve(), 1);
  QCOMPARE(plot.CursorPointerX(), 79.0);
  QVERIFY2(
      area->accessibleDescription().startsWith(plot.CurveName(1) + u" X: 79.000, Y: 1393.000"_qs),
      qPrintable(area->accessibleDescription()));
}

void TestReviewWindow::findsSessionsByCell_data() {
  QTest::addColumn<QString>("typed");
  QTest::addColumn<QList<qint64>>("shown");  // session ids, newest first
  QTest::newRow("nothing typed") << QString() << QList<qint64>{2, 1};
  QTest::newRow("a whole label") << u"A0001"_qs << QList<qint64>{1};
  QTest::newRow("a batch prefix, either case, either channel")
      << u" a000"_qs << QList<qint64>{2, 1};
  QTest::newRow("no such cell") << u"C9"_qs << QList<qint64>{};
}

void TestReviewWindow::findsSessionsByCell() {
  QFETCH(QString, typed);
  QFETCH(QList<qint64>, shown);
  ReviewWindow window(Opener());
  window.WaitForSessionList();
  QLineEdit* filter = nullptr;
  for (QLineEdit* edit : window.findChildren<QLineEdit*>()) {
    if (edit->accessibleName() == u"按电池编号查找") {
      filter = edit;
    }
  }
  QVERIFY(filter);
  QTest::keyClicks(filter, typed);
  QTableWidget& table = window.SessionTable();
  QList<qint64> visible;
  for (int row = 0; row < table.rowCount(); ++row) {
    if (!table.isRowHidden(row)) {
      visible << table.item(row, 0)->text().toLongLong();
    }
  }
  QCOMPARE(visible, shown);
  // A labelled channel's curve carries its cell's name.
  ReviewSource source = Discharge(u"会话 1"_qs, 1, 30);
  source.cells = {u"A0001"_qs, QString()};
  window.AddSource(source);
  QVERIFY2(window.SummaryTable().item(0, 0)->text().contains(u"A0001"_qs),
           qPrintable(window.SummaryTable().item(0, 0)->text()));
}

void TestReviewWindow::labelsASessionAfterwards_data() {
  QTest::addColumn<QString>("labelStore");  // "store", "foreign" file, "" none (a server's)
  QTest::addColumn<QStringList>("before");
  QTest::addColumn<QStringList>("typed");
  QTest::addColumn<QStringList>("after");  // as stored and shown
  QTest::addColumn<QString>("listed");
  QTest::newRow("labels both channels")
      << u"store"_qs << QStringList{QString(), QString()} << QStringList{u"A0001"_qs, u" B-7 "_qs}
      << QStringList{u"A0001"_qs, u"B-7"_qs} << u"A0001（通道1），B-7（通道2）"_qs;
  QTest::newRow("clears one channel, keeps the other")
      << u"store"_qs << QStringList{u"A0001"_qs, u"B0002"_qs} << QStringList{QString(), u"B0002"_qs}
      << QStringList{QString(), u"B0002"_qs} << u"B0002（通道2）"_qs;
  QTest::newRow("refused: not a store of ours")
      << u"foreign"_qs << QStringList{u"A0001"_qs, QString()} << QStringList{u"C3"_qs, u"C4"_qs}
      << QStringList{u"A0001"_qs, QString()} << u"A0001（通道1）"_qs;
  QTest::newRow("refused: a lab server's replica")
      << QString() << QStringList{u"A0001"_qs, QString()} << QStringList{u"C3"_qs, u"C4"_qs}
      << QStringList{u"A0001"_qs, QString()} << u"A0001（通道1）"_qs;
}

// "电池编号…" on the session list writes the labels to the store, and the
// list, the opened curve's name and its summary follow; where the store
// cannot be written, nothing changes and the user is told why.
void TestReviewWindow::labelsASessionAfterwards() {
  QFETCH(QString, labelStore);
  QFETCH(QStringList, before);
  QFETCH(QStringList, typed);
  QFETCH(QStringList, after);
  QFETCH(QString, listed);
  QTemporaryDir dir;
  const QString db = dir.filePath(u"sessions.db"_qs);
  {
    SessionStore store(SessionStore::Settings{.path = db});
    const qint64 token =
        store.BeginSession(u"COM1"_qs, u"/dev/ttyS0"_qs, 1'764'000'000'000, {before[0], before[1]});
    store.EndSession(token, SessionEnd::Closed, 1'764'000'060'000);
  }
  const QString foreign = dir.filePath(u"notes.txt"_qs);
  {
    QFile file(foreign);
    QVERIFY(file.open(QIODevice::WriteOnly) && file.write("not a store\n") > 0);
  }
  struct Dialogs final : ReviewDialogs {
    QStringList FilesToOpen(QWidget*) override { return {}; }
    QString ReportFileToSave(QWidget*) override { return {}; }
    QString CsvFileToSave(QWidget*) override { return {}; }
    void ShowError(QWidget*, const QString& text) override { errors << text; }
    void AskCellLabels(QWidget*, const std::array<QString, 2>& cells, CellsDone done) override {
      shown = {cells[0], cells[1]};
      done(answer);
    }
    std::array<QString, 2> answer;
    QStringList shown;
    QStringList errors;
  } dialogs;
  dialogs.answer = {typed[0], typed[1]};
  ReviewWindow window([db](QString* error) { return SessionReader::Open(db, error); });
  window.SetDialogs(&dialogs);
  window.SetLabelStore(labelStore == u"store"     ? db
                       : labelStore == u"foreign" ? foreign
                                                  : QString());
  window.WaitForSessionList();
  QTableWidget& list = window.SessionTable();
  QCOMPARE(list.rowCount(), 1);
  const qint64 id = list.item(0, 0)->text().toLongLong();
  ReviewSource source = Discharge(u"会话"_qs, id, 30);
  source.cells = {before[0], before[1]};
  window.AddSource(source);

  list.selectRow(0);
  QAction& action = window.LabelAction();
  QCOMPARE(action.isEnabled(), !labelStore.isEmpty());
  QVERIFY(!action.toolTip().isEmpty());
  QSignalSpy labelled(&window, &ReviewWindow::SessionLabelled);
  action.trigger();
  if (!labelStore.isEmpty()) {
    QVERIFY(labelled.wait());
  }
  if (labelStore.isEmpty()) {
    QString error;
    QVERIFY(!window.LabelSession(id, {typed[0], typed[1]}, &error));
    QVERIFY(!error.isEmpty());
  } else {
    QCOMPARE(dialogs.shown, before);  // the dialog starts from the labels stored
  }
  QCOMPARE(dialogs.errors.size(), labelStore == u"foreign" ? 1 : 0);

  QString error;
  const std::unique_ptr<SessionReader> reader = SessionReader::Open(db, &error);
  QVERIFY2(reader, qPrintable(error));
  const std::optional<StoredSession> stored = reader->Find(id);
  QVERIFY(stored);
  QCOMPARE((QStringList{stored->cells[0], stored->cells[1]}), after);
  QCOMPARE(list.item(0, 8)->text(), listed);
  const QString curve = window.SummaryTable().item(0, 0)->text();
  QVERIFY2(after[0].isEmpty() ? !curve.contains(u"电池"_qs) : curve.endsWith(after[0]),
           qPrintable(curve));
}

void TestReviewWindow::summaryOfARunningSession_data() {
  QTest::addColumn<qint64>("session");  // 0: a file
  QTest::addColumn<QString>("ended");
  QTest::newRow("still recording") << qint64(2) << u"记录中"_qs;
  QTest::newRow("closed") << qint64(1) << u"停止"_qs;
  QTest::newRow("a file") << qint64(0) << u"停止"_qs;
}

void TestReviewWindow::summaryOfARunningSession() {
  QFETCH(qint64, session);
  QFETCH(QString, ended);
  ReviewWindow window(Opener());
  window.WaitForSessionList();
  window.AddSource(Discharge(u"S"_qs, session, 30));
  QTableWidget& table = window.SummaryTable();
  QCOMPARE(table.rowCount(), 1);
  QCOMPARE(table.item(0, table.columnCount() - 1)->text(), ended);
  QCOMPARE(window.Report().rows.value(0).cells.value(table.columnCount() - 1), ended);
}

void TestReviewWindow::opensWithinTheScreenAndKeepsItsSize() {
  QSettings(QSettings::IniFormat, QSettings::UserScope, u"orvanta"_qs, u"orvanta"_qs).clear();
  const QSize room = QGuiApplication::primaryScreen()->availableGeometry().size();
  QSize given;
  {
    ReviewWindow window(Opener());
    window.show();
    QVERIFY2(window.frameGeometry().width() <= room.width() &&
                 window.frameGeometry().height() <= room.height(),
             qPrintable(QStringLiteral("%1x%2 on %3x%4")
                            .arg(window.width())
                            .arg(window.height())
                            .arg(room.width())
                            .arg(room.height())));
    window.resize(window.width() - 40, window.height() - 30);
    given = window.size();
    window.close();
  }
  ReviewWindow again(Opener());
  QCOMPARE(again.size(), given);
}

// Three curves' summaries at 1280 pixels across: no horizontal scrolling.
void TestReviewWindow::summaryFitsA1280PixelScreen() {
  ReviewWindow window(Opener());
  for (const QString& name : {u"cell-A.txt"_qs, u"cell-B.txt"_qs, u"cell-C.txt"_qs}) {
    window.AddSource(Discharge(name, 0, 3000));
  }
  window.resize(1280 - 16, 720);
  window.show();
  QCoreApplication::processEvents();
  QTableWidget& table = window.SummaryTable();
  QCOMPARE(table.rowCount(), 3);
  QCOMPARE(table.horizontalScrollBar()->maximum(), 0);
}

QTEST_MAIN(TestReviewWindow)
#include "test_reviewwindow.moc"
