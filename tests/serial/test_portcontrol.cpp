// The port row's state machine over a fake port: every state of the table,
// the transitions between them and the three failure messages.

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QtTest>
#include <functional>
#include <utility>

#include "fakeservices.h"
#include "indicatorlamp.h"
#include "portcontrol.h"

namespace {

class FakeLamp final : public IndicatorLamp {
 public:
  void SetFillColor(const QColor& color) override { m_color = color; }
  QColor FillColor() const override { return m_color; }

 private:
  QColor m_color = kLampOff;
};

// What the table says each control shows in one state.
struct RowState {
  bool listEnabled;
  bool openVisible, openEnabled;
  bool closeVisible, closeEnabled;
  bool startEnabled;
  const char16_t* startCaption;
  bool led1, led2, timer;
};

RowState Expected(const QString& state) {
  const char16_t* connect = kConnectCaption;
  if (state == u"Closed") {
    return {true, true, true, false, false, false, connect, false, false, false};
  }
  if (state == u"Open") {
    return {false, false, false, true, true, true, connect, true, false, false};
  }
  if (state == u"Acquiring") {
    return {false, false, false, true, false, true, kDisconnectCaption, true, true, true};
  }
  if (state == u"Open failed") {
    return {true, true, true, true, true, false, connect, true, false, false};
  }
  // A failed close turns only the port lamp off.
  if (state == u"Open failed, close failed") {
    return {true, true, true, true, true, false, connect, false, false, false};
  }
  if (state == u"Open, close failed") {
    return {false, false, false, true, true, true, connect, false, false, false};
  }
  qFatal("unknown state %s", qPrintable(state));
}

class Rig {
 public:
  Rig()
      : list(&parent),
        open(QStringLiteral("打开串口"), &parent),
        close(QStringLiteral("关闭串口"), &parent),
        start(QString::fromUtf16(kConnectCaption), &parent),
        control(PortControlView{list, open, close, start, led1, led2, timer}, port, messages,
                [this](qint32 ms) {
                  pauses << ms;
                  timerDuringPause << timer.isActive();
                  // A pause inside a mouse press is what swallows clicks.
                  pressedDuringPause << (QApplication::mouseButtons() != Qt::NoButton ||
                                         open.isDown() || close.isDown() || start.isDown());
                  QCoreApplication::processEvents();
                  if (duringPause) {
                    std::exchange(duringPause, {})();
                  }
                }) {
    list.setEditable(true);
    list.setInsertPolicy(QComboBox::NoInsert);
    timer.setInterval(3'600'000);  // never fires during a test
    // Wired as the window wires them; laid out so that clicks land apart.
    QObject::connect(
        &list, &QComboBox::currentIndexChanged, &parent, [this] { control.OnPortListClicked(); },
        Qt::QueuedConnection);
    list.setGeometry(0, 0, 80, 22);
    open.setGeometry(90, 0, 70, 25);
    close.setGeometry(90, 0, 70, 25);
    start.setGeometry(170, 0, 70, 25);
    parent.resize(260, 40);
    parent.show();
    QApplication::setActiveWindow(&parent);
    if (!QTest::qWaitForWindowActive(&parent)) {
      qWarning("rig window not active");
    }
    QObject::connect(&open, &QPushButton::clicked, &parent,
                     [this] { control.OnOpenPortClicked(); });
    QObject::connect(&close, &QPushButton::clicked, &parent,
                     [this] { control.OnClosePortClicked(); });
    QObject::connect(&start, &QPushButton::clicked, &parent,
                     [this] { control.OnConnectClicked(); });
    control.StartUp();
  }

  // Runs one step of a script, then lets the event loop turn: open, close,
  // connect, key-open (the open button focused and pressed from the
  // keyboard), select:<index>, type:<text> (typed into the focused list),
  // open-fails, settings-fail, close-fails, open-works.
  void Run(const QString& step) {
    RunStep(step);
    QCoreApplication::processEvents();
  }

  void RunStep(const QString& step) {
    if (step == u"open") {
      QTest::mouseClick(&open, Qt::LeftButton);
    } else if (step == u"key-open") {
      open.setFocus(Qt::TabFocusReason);
      QTest::keyClick(&open, Qt::Key_Space);
    } else if (step == u"close") {
      QTest::mouseClick(&close, Qt::LeftButton);
    } else if (step == u"connect") {
      QTest::mouseClick(&start, Qt::LeftButton);
    } else if (step.startsWith(u"select:")) {
      list.setCurrentIndex(step.mid(7).toInt());
    } else if (step.startsWith(u"type:")) {
      list.setFocus(Qt::TabFocusReason);
      list.lineEdit()->selectAll();
      QTest::keyClick(list.lineEdit(), Qt::Key_Backspace);
      QTest::keyClicks(list.lineEdit(), step.mid(5));
    } else if (step == u"open-fails") {
      port.openOk = false;
    } else if (step == u"open-works") {
      port.openOk = true;
    } else if (step == u"settings-fail") {
      port.settingsOk = false;
    } else if (step == u"close-fails") {
      port.closeOk = false;
    } else {
      qFatal("unknown step %s", qPrintable(step));
    }
  }

  void Check(const RowState& s) const {
    QCOMPARE(list.isEnabled(), s.listEnabled);
    QCOMPARE(!open.isHidden(), s.openVisible);
    QCOMPARE(open.isEnabled(), s.openEnabled);
    QCOMPARE(!close.isHidden(), s.closeVisible);
    QCOMPARE(close.isEnabled(), s.closeEnabled);
    QCOMPARE(start.isEnabled(), s.startEnabled);
    QCOMPARE(start.text(), QString::fromUtf16(s.startCaption));
    // Lamp colours as designed: on light green, off grey.
    QCOMPARE(led1.FillColor(), s.led1 ? QColor(0, 255, 0) : QColor(128, 128, 128));
    QCOMPARE(led2.FillColor(), s.led2 ? QColor(0, 255, 0) : QColor(128, 128, 128));
    QCOMPARE(timer.isActive(), s.timer);
  }

  QWidget parent;
  QComboBox list;
  QPushButton open, close, start;
  FakeLamp led1, led2;
  QTimer timer;
  FakeSerialPort port;
  RecordingMessageSink messages;
  QList<qint32> pauses;
  QList<bool> timerDuringPause;
  QList<bool> pressedDuringPause;
  std::function<void()> duringPause;  // run once inside the next pause
  PortControl control;
};

}  // namespace

class TestPortControl : public QObject {
  Q_OBJECT
 private slots:
  void startUpFillsTheListAndSelectsCom1();
  void stateTable_data();
  void stateTable();
  void openUsesTheSettingsAndDiscardsOldInput();
  void changingPortWhileClosedPausesAndReenablesOpen();
  void changingPortWhileAcquiringStopsTheTimerBeforeThePause();
  void openClickedDuringThePauseStands();
};

void TestPortControl::startUpFillsTheListAndSelectsCom1() {
  Rig rig;
  QCOMPARE(rig.list.count(), 16);
  QCOMPARE(rig.list.itemText(0), u"COM1"_qs);
  QCOMPARE(rig.list.itemText(2), u"COM3"_qs);
  QCOMPARE(rig.list.itemText(15), u"COM16"_qs);
  QCOMPARE(rig.list.currentIndex(), 0);
  QCOMPARE(rig.list.currentText(), u"COM1"_qs);
  // COM1 is the port's own number already, so the selection does nothing.
  QVERIFY(rig.pauses.isEmpty());
  QVERIFY(rig.port.calls.isEmpty());
  rig.Check(Expected(u"Closed"_qs));
}

void TestPortControl::stateTable_data() {
  QTest::addColumn<QString>("script");
  QTest::addColumn<QString>("state");
  QTest::addColumn<QStringList>("messages");
  QTest::addColumn<int>("portNumber");
  QTest::addColumn<bool>("portOpen");

  const QString noPort = QString::fromUtf16(kNoPortSelected);
  const QString openFailed = QString::fromUtf16(kOpenFailed);
  const QString closeFailed = QString::fromUtf16(kCloseFailed);
  const QStringList none;

  QTest::newRow("start-up") << ""
                            << "Closed" << none << 1 << false;
  QTest::newRow("open COM1") << "open"
                             << "Open" << none << 1 << true;
  QTest::newRow("open COM3") << "select:2 open"
                             << "Open" << none << 3 << true;
  QTest::newRow("open COM16") << "select:15 open"
                              << "Open" << none << 16 << true;
  QTest::newRow("typed entry") << "type:COM5 open"
                               << "Open" << none << 5 << true;
  QTest::newRow("connect") << "open connect"
                           << "Acquiring" << none << 1 << true;
  QTest::newRow("connect twice") << "open connect connect"
                                 << "Open" << none << 1 << true;
  QTest::newRow("close") << "open close"
                         << "Closed" << none << 1 << false;
  QTest::newRow("close after acquiring") << "open connect connect close"
                                         << "Closed" << none << 1 << false;
  QTest::newRow("reopen") << "open close select:3 open"
                          << "Open" << none << 4 << true;
  QTest::newRow("typed text matching no entry")
      << "type:COM99 open"
      << "Open failed" << QStringList{noPort} << 1 << false;
  QTest::newRow("emptied list text") << "type: open"
                                     << "Open failed" << QStringList{noPort} << 1 << false;
  // The list's completion is case-insensitive: the committed text is COM3.
  QTest::newRow("entry in the wrong case") << "type:com3 open"
                                           << "Open" << none << 3 << true;
  // A click right after typing reaches the button, and the list's handler
  // runs afterwards, outside the press.
  QTest::newRow("typed entry, then a click") << "type:COM4 open"
                                             << "Open" << none << 4 << true;
  QTest::newRow("device missing") << "open-fails select:4 open"
                                  << "Open failed" << QStringList{openFailed} << 5 << false;
  QTest::newRow("bad settings") << "settings-fail open"
                                << "Open failed" << QStringList{openFailed} << 1 << false;
  QTest::newRow("open failed, then close") << "open-fails open close"
                                           << "Closed" << QStringList{openFailed} << 1 << false;
  QTest::newRow("open failed, close fails")
      << "open-fails close-fails open close"
      << "Open failed, close failed" << QStringList{openFailed, closeFailed} << 1 << false;
  QTest::newRow("open failed, then the open button from the keyboard")
      << "open-fails open open-works key-open"
      << "Open" << QStringList{openFailed} << 1 << true;
  QTest::newRow("no selection, then a typed entry from the keyboard")
      << "type:x open type:COM2 key-open"
      << "Open" << QStringList{noPort} << 2 << true;
  QTest::newRow("open failed, another entry picked")
      << "open-fails open select:6"
      << "Open failed" << QStringList{openFailed} << 1 << false;
  QTest::newRow("close fails") << "open close-fails close"
                               << "Open, close failed" << QStringList{closeFailed} << 1 << true;
}

void TestPortControl::stateTable() {
  QFETCH(QString, script);
  QFETCH(QString, state);
  QFETCH(QStringList, messages);
  QFETCH(int, portNumber);
  QFETCH(bool, portOpen);

  Rig rig;
  for (const QString& step : script.split(u' ', Qt::SkipEmptyParts)) {
    rig.Run(step);
  }
  rig.Check(Expected(state));
  QCOMPARE(rig.messages.texts, messages);
  for (const QString& title : rig.messages.titles) {
    QCOMPARE(title, QString::fromUtf16(kMessageTitle));
  }
  QCOMPARE(rig.port.portNumber, portNumber);
  QCOMPARE(rig.port.open, portOpen);
  QVERIFY(!rig.pressedDuringPause.contains(true));
}

void TestPortControl::openUsesTheSettingsAndDiscardsOldInput() {
  Rig rig;
  rig.Run(u"select:2"_qs);
  rig.port.calls.clear();
  rig.Run(u"open"_qs);
  QCOMPARE(rig.port.calls, (QStringList{u"SetPortNumber 3"_qs, u"SetSettings 115200,n,8,1"_qs,
                                        u"Open"_qs, u"SetInBufferCount 0"_qs}));

  // With no valid selection the port is not touched at all.
  Rig other;
  other.port.calls.clear();
  other.Run(u"type:COM0"_qs);
  other.Run(u"open"_qs);
  QVERIFY(other.port.calls.isEmpty());
}

void TestPortControl::changingPortWhileClosedPausesAndReenablesOpen() {
  Rig rig;
  rig.open.setEnabled(false);  // shows that the handler turns it back on
  rig.Run(u"select:1"_qs);
  QCOMPARE(rig.pauses, QList<qint32>{100});
  QVERIFY(rig.open.isEnabled());
  QVERIFY(!rig.port.calls.contains(u"Close"_qs));

  // Back to the port's own number: nothing happens.
  rig.open.setEnabled(false);
  rig.Run(u"select:0"_qs);
  QCOMPARE(rig.pauses, QList<qint32>{100});
  QVERIFY(!rig.open.isEnabled());
}

void TestPortControl::changingPortWhileAcquiringStopsTheTimerBeforeThePause() {
  // The list is disabled while the port is open, but the program may still
  // move its selection.
  Rig rig;
  rig.Run(u"open"_qs);
  rig.Run(u"connect"_qs);
  QVERIFY(rig.timer.isActive());
  rig.Run(u"select:7"_qs);
  QCOMPARE(rig.pauses, QList<qint32>{100});
  QCOMPARE(rig.timerDuringPause, QList<bool>{false});
  QVERIFY(!rig.timer.isActive());
  QVERIFY(!rig.port.open);
  QVERIFY(rig.open.isEnabled());
  QVERIFY(rig.messages.texts.isEmpty());
}

// The list's handler pauses with the port closed; a click on "打开串口"
// handled inside that pause opens the port, and the handler leaves it open.
void TestPortControl::openClickedDuringThePauseStands() {
  Rig rig;
  rig.duringPause = [&rig] { QTest::mouseClick(&rig.open, Qt::LeftButton); };
  rig.Run(u"select:3"_qs);
  QCOMPARE(rig.pauses, QList<qint32>{100});
  QVERIFY(rig.port.open);
  QCOMPARE(rig.port.portNumber, 4);
  QVERIFY(!rig.port.calls.contains(u"Close"_qs));
  rig.Check(Expected(u"Open"_qs));
}

QTEST_MAIN(TestPortControl)
#include "test_portcontrol.moc"
