#include <QtTest>

#include "logtext.h"

Q_DECLARE_METATYPE(std::vector<qsizetype>)

// The log store keeps the text exactly and splits it into display lines.
class TestLogText : public QObject {
  Q_OBJECT
 private slots:
  void lines_data();
  void lines();
  void rebuildingFromTheWholeTextGivesTheSameLines();
  void lineOfPosition();
  void rangesDecodeExactly();
};

namespace {

QStringList Lines(const LogText& log) {
  QStringList lines;
  for (qsizetype i = 0; i < log.LineCount(); ++i) {
    lines << log.LineText(i);
  }
  return lines;
}

}  // namespace

void TestLogText::lines_data() {
  QTest::addColumn<QStringList>("chunks");
  QTest::addColumn<QStringList>("lines");
  const QString frame = QStringLiteral("$1,1,120,1350,500,100,25;1,118,1342,498,99,24;");
  QTest::newRow("nothing") << QStringList{} << QStringList{QString()};
  QTest::newRow("empty chunks") << QStringList{QString(), QString()} << QStringList{QString()};
  QTest::newRow("frames with CR LF")
      << QStringList{frame + QStringLiteral("\r\n"), frame + QStringLiteral("\r\n")}
      << QStringList{frame, frame, QString()};
  QTest::newRow("CR LF split across chunks")
      << QStringList{QStringLiteral("a\r"), QStringLiteral("\nb")}
      << QStringList{QStringLiteral("a"), QStringLiteral("b")};
  QTest::newRow("lone LF and lone CR")
      << QStringList{QStringLiteral("a\nb\rc")}
      << QStringList{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")};
  QTest::newRow("CR CR LF") << QStringList{QStringLiteral("a\r\r\nb")}
                            << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")};
  QTest::newRow("LF CR") << QStringList{QStringLiteral("a\n\rb")}
                         << QStringList{QStringLiteral("a"), QString(), QStringLiteral("b")};
  QTest::newRow("frames without line ends run on")
      << QStringList{frame, frame} << QStringList{frame + frame};
  QTest::newRow("an endless line is broken into bounded rows")
      << QStringList{QString(1500, u'x'), QString(1000, u'y')}
      << QStringList{QString(1000, u'x'), QString(500, u'x') + QString(500, u'y'),
                     QString(500, u'y')};
  const QString pair = QString::fromUtf8("\xF0\x9F\x98\x80");
  const QChar high(0xD83D);
  const QChar low(0xDE00);
  QTest::newRow("a pair split across appends, lone halves, two- and three-byte characters")
      << QStringList{QStringLiteral("\u00e9") + high, QString(low) + QStringLiteral("\u5c31\r\n"),
                     QString(low) + QStringLiteral("x") + high}
      << QStringList{QStringLiteral("\u00e9") + high + low + QStringLiteral("\u5c31"),
                     QString(low) + QStringLiteral("x") + high};
  QTest::newRow("a row break never splits a surrogate pair")
      << QStringList{QString(999, u'x') + pair + QStringLiteral("z")}
      << QStringList{QString(999, u'x') + pair, QStringLiteral("z")};
}

void TestLogText::lines() {
  QFETCH(QStringList, chunks);
  QFETCH(QStringList, lines);
  LogText log;
  for (const QString& chunk : chunks) {
    log.Append(chunk);
  }
  QCOMPARE(log.Text(), chunks.join(QString()));
  QCOMPARE(Lines(log), lines);
}

void TestLogText::rebuildingFromTheWholeTextGivesTheSameLines() {
  // Chunk borders fall everywhere, also between CR and LF.
  const QString text =
      QStringLiteral("ab\r\ncd\re\n\r\nf") + QString(2100, u'g') + QStringLiteral("\r\n");
  for (qsizetype cut = 0; cut <= text.size(); ++cut) {
    LogText pieces;
    pieces.Append(QStringView(text).left(cut));
    pieces.Append(QStringView(text).mid(cut));
    QCOMPARE(Lines(pieces), Lines(LogText(text)));
  }
  // Over a hundred short lines, their CR LF split at every place: every line
  // is found again from its start, past the index's every-32nd-line marks.
  QString many;
  for (int i = 0; i < 130; ++i) {
    many +=
        QString::number(i) + (i % 3 == 0 ? QStringLiteral("\u00e9\r\n") : QStringLiteral("\r\n"));
  }
  QStringList expected = many.split(QStringLiteral("\r\n"));
  for (qsizetype cut = 0; cut <= many.size(); cut += 7) {
    LogText pieces;
    pieces.Append(QStringView(many).left(cut));
    pieces.Append(QStringView(many).mid(cut));
    QCOMPARE(Lines(pieces), expected);
    for (qsizetype line = 0; line < pieces.LineCount(); ++line) {
      QCOMPARE(pieces.LineOfPosition(pieces.LineStart(line)), line);
    }
  }
}

void TestLogText::rangesDecodeExactly() {
  // Every start, also on the low half of a pair, and lengths that end inside one.
  const QString text = QStringLiteral("a\u00e9\u5c31\r\n") + QString::fromUtf8("\xF0\x9F\x98\x80") +
                       QChar(0xDC00) + QStringLiteral("z\n") + QChar(0xD800);
  const LogText log(text);
  QCOMPARE(log.Size(), text.size());
  QCOMPARE(log.Text(), text);
  for (qsizetype position = 0; position <= text.size(); ++position) {
    for (const qsizetype count : {0, 1, 2, 5, 100}) {
      QCOMPARE(log.Mid(position, count), text.mid(position, count));
    }
  }
}

void TestLogText::lineOfPosition() {
  const LogText log(QStringLiteral("ab\r\ncd\r\n"));
  const std::vector<std::pair<qsizetype, qsizetype>> positionToLine = {{0, 0}, {2, 0}, {3, 0},
                                                                       {4, 1}, {6, 1}, {8, 2}};
  for (const auto& [position, line] : positionToLine) {
    QCOMPARE(log.LineOfPosition(position), line);
  }
  QCOMPARE(log.LineStart(1), 4);
  QCOMPARE(log.LineEnd(1), 6);
}

QTEST_GUILESS_MAIN(TestLogText)
#include "test_logtext.moc"
