#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QScreen>
#include <QScrollBar>
#include <QtTest>

#include "logpane.h"

// The log pane: exact text, caret and view at the end after every append,
// selection and copy, the caret moved by keys.
class TestLogPane : public QObject {
  Q_OBJECT
 private slots:
  void followsTheEndAfterEveryAppend_data();
  void followsTheEndAfterEveryAppend();
  void wholeTextReplacementGivesTheSameResult();
  void readOnlyIsAProperty();
  void selectAllAndCopy();
  void mouseSelection();
  void drawsTheLinesInView();
  void screenMatchesAFullRepaint_data();
  void screenMatchesAFullRepaint();
  void readsPiecesThroughAccessibility_data();
  void readsPiecesThroughAccessibility();
  void keysMoveTheCaret_data();
  void keysMoveTheCaret();
};

namespace {

QString Frame(int i) {
  return QStringLiteral("$1,1,%1,1350,500,100,25;1,%1,1342,498,99,24;\r\n").arg(i);
}

}  // namespace

void TestLogPane::followsTheEndAfterEveryAppend_data() {
  QTest::addColumn<bool>("shown");
  QTest::newRow("hidden") << false;
  QTest::newRow("shown") << true;
}

void TestLogPane::followsTheEndAfterEveryAppend() {
  QFETCH(bool, shown);
  LogPane pane;
  pane.resize(337, 305);
  pane.setReadOnly(true);
  pane.setVisible(shown);
  QString expected;
  const QStringList chunks = {Frame(1),
                              QString(),
                              QStringLiteral("<b>x</b><img src=y>"),
                              QString(3000, u'w'),
                              QStringLiteral("\r\n") + Frame(2),
                              QString()};
  for (int round = 0; round < 20; ++round) {
    for (const QString& chunk : chunks) {
      // The user scrolled back and selected something since the last pass.
      pane.SetSelection(0, 5);
      pane.verticalScrollBar()->setValue(0);
      pane.horizontalScrollBar()->setValue(pane.horizontalScrollBar()->maximum());

      pane.AppendAndFollow(chunk);
      expected += chunk;

      QCOMPARE(pane.Text(), expected);
      QCOMPARE(pane.CaretPosition(), expected.size());
      QVERIFY(!pane.HasSelection());
      QCOMPARE(pane.verticalScrollBar()->value(), pane.verticalScrollBar()->maximum());
      const qsizetype rows = pane.viewport()->height() / pane.fontMetrics().lineSpacing();
      QCOMPARE(pane.FirstVisibleLine(), std::max<qsizetype>(0, pane.Log().LineCount() - rows));
    }
  }
  // The last line is empty after CR LF: the view is back at its left edge.
  pane.AppendAndFollow(QStringLiteral("\r\n"));
  QCOMPARE(pane.horizontalScrollBar()->value(), 0);
  QVERIFY(pane.horizontalScrollBar()->maximum() > 0);
  QCOMPARE(pane.isVisible(), shown);
}

void TestLogPane::wholeTextReplacementGivesTheSameResult() {
  LogPane inPlace;
  LogPane replacing;
  replacing.SetAppendMode(LogPane::AppendMode::WholeTextReplacement);
  for (const QString& chunk :
       {Frame(1), QStringLiteral("a\r"), QStringLiteral("\nb"), QString(1200, u'z'), QString()}) {
    inPlace.AppendAndFollow(chunk);
    replacing.AppendAndFollow(chunk);
    QCOMPARE(replacing.Text(), inPlace.Text());
    QCOMPARE(replacing.CaretPosition(), inPlace.CaretPosition());
    QCOMPARE(replacing.Log().LineCount(), inPlace.Log().LineCount());
    QCOMPARE(replacing.verticalScrollBar()->value(), inPlace.verticalScrollBar()->value());
    QCOMPARE(replacing.horizontalScrollBar()->value(), inPlace.horizontalScrollBar()->value());
  }
}

void TestLogPane::readOnlyIsAProperty() {
  LogPane pane;
  QVERIFY(!pane.isReadOnly());
  pane.setReadOnly(true);
  QVERIFY(pane.isReadOnly());
}

void TestLogPane::selectAllAndCopy() {
  LogPane pane;
  pane.show();
  QVERIFY(QTest::qWaitForWindowExposed(&pane));
  const QString text = Frame(1) + QStringLiteral("就绪\r\n<i>");
  pane.AppendAndFollow(text);
  QTest::keyClick(&pane, Qt::Key_A, Qt::ControlModifier);
  QCOMPARE(pane.SelectedText(), text);
  QTest::keyClick(&pane, Qt::Key_C, Qt::ControlModifier);
  QCOMPARE(QApplication::clipboard()->text(), text);
  // The next pass ends the selection.
  pane.AppendAndFollow(QString());
  QVERIFY(!pane.HasSelection());
}

void TestLogPane::mouseSelection() {
  LogPane pane;
  pane.resize(337, 305);
  pane.show();
  QVERIFY(QTest::qWaitForWindowExposed(&pane));
  for (int i = 0; i < 100; ++i) {
    pane.AppendAndFollow(Frame(i));
  }
  const int lineHeight = pane.fontMetrics().lineSpacing();
  const qsizetype firstLine = pane.FirstVisibleLine();
  QVERIFY(firstLine > 0);
  const QPoint lineStart(1, lineHeight / 2);
  QCOMPARE(pane.PositionAt(lineStart), pane.Log().LineStart(firstLine));
  const QPoint nextLine(pane.fontMetrics().horizontalAdvance(QStringLiteral("$1,")) + 3,
                        lineHeight + lineHeight / 2);

  QTest::mousePress(pane.viewport(), Qt::LeftButton, {}, lineStart);
  QTest::mouseMove(pane.viewport(), nextLine);
  QTest::mouseRelease(pane.viewport(), Qt::LeftButton, {}, nextLine);

  QCOMPARE(pane.SelectedText(), Frame(static_cast<int>(firstLine)) + QStringLiteral("$1,"));
}

void TestLogPane::drawsTheLinesInView() {
  LogPane pane;
  pane.resize(337, 305);
  pane.AppendAndFollow(QString(50, u'\n'));
  pane.AppendAndFollow(QStringLiteral("\u2588\u2588\u2588\u2588"));
  const QImage image = pane.grab().toImage();
  // The block characters on the last line darken the bottom rows, and the
  // empty lines above leave the top rows blank.
  const int lineHeight = pane.fontMetrics().lineSpacing();
  const int lastRowTop = (pane.viewport()->height() / lineHeight - 1) * lineHeight;
  const QColor base = pane.palette().color(QPalette::Base);
  auto darkPixels = [&](int top, int bottom) {
    int dark = 0;
    for (int y = top; y < bottom; ++y) {
      for (int x = 0; x < pane.viewport()->width(); ++x) {
        dark += QColor(image.pixel(x, y)).lightness() < base.lightness() - 100;
      }
    }
    return dark;
  };
  QVERIFY(darkPixels(lastRowTop, lastRowTop + lineHeight) > 20);
  QCOMPARE(darkPixels(0, lastRowTop - 1), 0);
}

void TestLogPane::screenMatchesAFullRepaint_data() {
  QTest::addColumn<QStringList>("chunks");  // appended one per event-loop turn
  QTest::addColumn<bool>("selection");      // a selection made before them
  QStringList frames;
  for (int i = 0; i < 40; ++i) {
    frames << Frame(i);
  }
  QTest::newRow("frames scroll the view") << frames << false;
  QTest::newRow("the last line grows, then a long one scrolls sideways")
      << QStringList{QStringLiteral("$1,1,"), QStringLiteral("5,1350"), QString(400, u'w'),
                     QStringLiteral("\r\n")}
      << false;
  QTest::newRow("a selection is dropped") << frames.mid(0, 3) << true;
}

// Moving what is drawn and repainting only new rows leaves on the screen
// what a repaint of the whole pane draws.
void TestLogPane::screenMatchesAFullRepaint() {
  QFETCH(QStringList, chunks);
  QFETCH(bool, selection);
  LogPane pane;
  pane.resize(337, 305);
  pane.setReadOnly(true);
  for (int i = 0; i < 30; ++i) {
    pane.AppendAndFollow(Frame(1000 + i));
  }
  pane.show();
  QVERIFY(QTest::qWaitForWindowExposed(&pane));
  if (selection) {
    pane.SetSelection(pane.Log().LineStart(20), pane.Log().LineStart(25));
  }
  QCoreApplication::processEvents();
  for (const QString& chunk : chunks) {
    pane.AppendAndFollow(chunk);
    QCoreApplication::processEvents();
  }
  QScreen* screen = pane.screen();
  const QImage shown = screen->grabWindow(pane.winId()).toImage();
  pane.repaint();
  pane.viewport()->repaint();
  const QImage full = screen->grabWindow(pane.winId()).toImage();
  QVERIFY(shown == full);
}

void TestLogPane::readsPiecesThroughAccessibility_data() {
  QTest::addColumn<int>("boundary");
  QTest::addColumn<QString>("where");  // the piece at, before or after the offset
  QTest::addColumn<int>("offset");
  QTest::addColumn<QString>("piece");
  QTest::addColumn<int>("start");
  const int line = QAccessible::LineBoundary;
  const int word = QAccessible::WordBoundary;
  const int character = QAccessible::CharBoundary;
  // The log is "ab cd\r\n" "ef\n" "gh".
  QTest::newRow("line at the end") << line << u"at"_qs << 12 << u"gh"_qs << 10;
  QTest::newRow("line before a line") << line << u"before"_qs << 7 << u"ab cd\r\n"_qs << 0;
  QTest::newRow("line after the first") << line << u"after"_qs << 2 << u"ef\n"_qs << 7;
  QTest::newRow("word inside") << word << u"at"_qs << 4 << u"cd"_qs << 3;
  QTest::newRow("word before, across a line end") << word << u"before"_qs << 7 << u"\r\n"_qs << 5;
  QTest::newRow("word after the last") << word << u"after"_qs << 10 << QString() << 12;
  QTest::newRow("character at a line end") << character << u"at"_qs << 9 << u"\n"_qs << 9;
  QTest::newRow("character before the end") << character << u"before"_qs << 12 << u"h"_qs << 11;
}

void TestLogPane::readsPiecesThroughAccessibility() {
  QFETCH(int, boundary);
  QFETCH(QString, where);
  QFETCH(int, offset);
  QFETCH(QString, piece);
  QFETCH(int, start);
  LogPane pane;
  pane.AppendAndFollow(u"ab cd\r\nef\n"_qs);
  pane.AppendAndFollow(u"gh"_qs);
  QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(&pane)->textInterface();
  QVERIFY(text);
  QCOMPARE(text->characterCount(), 12);
  QCOMPARE(text->cursorPosition(), 12);
  QCOMPARE(text->text(3, 5), u"cd"_qs);
  const auto type = QAccessible::TextBoundaryType(boundary);
  int from = -1;
  int to = -1;
  const QString got = where == u"at"       ? text->textAtOffset(offset, type, &from, &to)
                      : where == u"before" ? text->textBeforeOffset(offset, type, &from, &to)
                                           : text->textAfterOffset(offset, type, &from, &to);
  QCOMPARE(got, piece);
  QCOMPARE(from, start);
  QCOMPARE(to, start + piece.size());
}

// A log of 300 lines, even ones "line NNN long enough" (20 units), odd ones
// "s" (1 unit), each ended by CR LF, and an empty last line; then an emoji
// (a surrogate pair) and "z". The caret starts at (line, column); keys are
// (key, modifiers) pairs. The view follows the caret, and accessibility
// tools get its position.
using Keys = QList<QPair<int, int>>;
void TestLogPane::keysMoveTheCaret_data() {
  QTest::addColumn<int>("line");
  QTest::addColumn<int>("column");
  QTest::addColumn<Keys>("keys");
  QTest::addColumn<int>("caretLine");
  QTest::addColumn<int>("caretColumn");
  QTest::addColumn<int>("anchorLine");  // -1: no selection
  QTest::addColumn<int>("anchorColumn");
  const int none = Qt::NoModifier;
  const int shift = Qt::ShiftModifier;
  const int ctrl = Qt::ControlModifier;
  QTest::newRow("up from the end") << 300 << 3 << Keys{{Qt::Key_Up, none}} << 299 << 1 << -1 << 0;
  QTest::newRow("up keeps the column past a short line")
      << 100 << 10 << Keys{{Qt::Key_Up, none}, {Qt::Key_Up, none}} << 98 << 10 << -1 << 0;
  QTest::newRow("down likewise") << 100 << 10 << Keys{{Qt::Key_Down, none}, {Qt::Key_Down, none}}
                                 << 102 << 10 << -1 << 0;
  QTest::newRow("a new column after a side step")
      << 100 << 10 << Keys{{Qt::Key_Up, none}, {Qt::Key_Left, none}, {Qt::Key_Up, none}} << 98 << 0
      << -1 << 0;
  QTest::newRow("up at the first line stays there")
      << 0 << 4 << Keys{{Qt::Key_Up, none}} << 0 << 4 << -1 << 0;
  QTest::newRow("page up: a page of rows")
      << 200 << 0 << Keys{{Qt::Key_PageUp, none}} << 200 - 10 << 0 << -1 << 0;
  QTest::newRow("page down near the end")
      << 296 << 0 << Keys{{Qt::Key_PageDown, none}} << 300 << 0 << -1 << 0;
  QTest::newRow("ctrl+home") << 250 << 7 << Keys{{Qt::Key_Home, ctrl}} << 0 << 0 << -1 << 0;
  QTest::newRow("ctrl+end") << 20 << 7 << Keys{{Qt::Key_End, ctrl}} << 300 << 3 << -1 << 0;
  QTest::newRow("end and home of the line")
      << 150 << 7 << Keys{{Qt::Key_End, none}} << 150 << 20 << -1 << 0;
  QTest::newRow("home of the line")
      << 150 << 7 << Keys{{Qt::Key_Home, none}} << 150 << 0 << -1 << 0;
  QTest::newRow("shift+down selects a line")
      << 40 << 0 << Keys{{Qt::Key_Down, shift}, {Qt::Key_Down, shift}} << 42 << 0 << 40 << 0;
  QTest::newRow("shift+ctrl+home selects to the start")
      << 3 << 2 << Keys{{Qt::Key_Home, shift | ctrl}} << 0 << 0 << 3 << 2;
  QTest::newRow("left over a surrogate pair")
      << 300 << 2 << Keys{{Qt::Key_Left, none}} << 300 << 0 << -1 << 0;
  QTest::newRow("right over it") << 300 << 0 << Keys{{Qt::Key_Right, none}} << 300 << 2 << -1 << 0;
}

void TestLogPane::keysMoveTheCaret() {
  QFETCH(int, line);
  QFETCH(int, column);
  QFETCH(Keys, keys);
  QFETCH(int, caretLine);
  QFETCH(int, caretColumn);
  QFETCH(int, anchorLine);
  QFETCH(int, anchorColumn);
  LogPane pane;
  pane.setReadOnly(true);
  pane.resize(337, 200);
  pane.show();
  QString text;
  for (int i = 0; i < 300; ++i) {
    text += (i % 2 == 0 ? QStringLiteral("line %1 long enough").arg(i, 3, 10, QLatin1Char('0'))
                        : QStringLiteral("s")) +
            QStringLiteral("\r\n");
  }
  text += QStringLiteral("\U0001F600z");
  pane.AppendAndFollow(text);
  const LogText& log = pane.Log();
  QCOMPARE(log.LineCount(), 301);
  // Ten rows in view, so a page is ten lines.
  pane.resize(337,
              pane.height() - pane.viewport()->height() + 10 * pane.fontMetrics().lineSpacing());
  QCOMPARE(pane.viewport()->height() / pane.fontMetrics().lineSpacing(), 10);
  pane.SetSelection(log.LineStart(line) + column, log.LineStart(line) + column);
  pane.ScrollToPosition(pane.CaretPosition());
  for (const auto& [key, modifiers] : keys) {
    QTest::keyClick(&pane, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    // The view shows the caret's row.
    const QRect box = pane.CharacterRect(pane.CaretPosition());
    QVERIFY2(box.top() >= 0 && box.bottom() < pane.viewport()->height(),
             qPrintable(QStringLiteral("caret row at %1").arg(box.top())));
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&pane);
    QCOMPARE(qsizetype(iface->textInterface()->cursorPosition()), pane.CaretPosition());
  }
  QCOMPARE(pane.CaretPosition(), log.LineStart(caretLine) + caretColumn);
  const qsizetype anchor =
      anchorLine < 0 ? pane.CaretPosition() : log.LineStart(anchorLine) + anchorColumn;
  QCOMPARE(pane.AnchorPosition(), anchor);
}

QTEST_MAIN(TestLogPane)
#include "test_logpane.moc"
