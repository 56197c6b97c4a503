// The readout's face table, its painted pixels, its layout and what it tells
// accessibility tools.

#include <QAccessible>
#include <QImage>
#include <QtTest>
#include <climits>
#include <memory>

#include "segmentface.h"
#include "segmentpainter.h"
#include "segmentreadout.h"

namespace {

const QString kOver{QChar(kOverGlyph)};
const QString kUnder{QChar(kUnderGlyph)};

SegmentMask Letters(const char* letters) {
  SegmentMask mask = 0;
  for (const char* c = letters; *c != '\0'; ++c) {
    mask = static_cast<SegmentMask>(mask | Bit(static_cast<Segment>(*c - 'a')));
  }
  return mask;
}

QImage Render(QWidget& widget, qreal dpr) {
  QImage image(widget.size() * dpr, QImage::Format_ARGB32);
  image.setDevicePixelRatio(dpr);
  image.fill(Qt::magenta);
  widget.render(&image);
  return image;
}

QRgb PixelAt(const QImage& image, QPointF logical, qreal dpr) {
  return image.pixel(int(std::floor(logical.x() * dpr)), int(std::floor(logical.y() * dpr)));
}

}  // namespace

class TestSegmentReadout : public QObject {
  Q_OBJECT
 private slots:
  void faceTable_data();
  void faceTable();
  void storedValueSurvivesUnchangedFace();
  void digitSegments_data();
  void digitSegments();
  void layoutStaysInsideFace_data();
  void layoutStaysInsideFace();
  void paintedColours_data();
  void paintedColours();
  void accessibleValue();
  void accessibleTextOffsets_data();
  void accessibleTextOffsets();
  void unlitSegmentsAreThin_data();
  void unlitSegmentsAreThin();
};

void TestSegmentReadout::faceTable_data() {
  QTest::addColumn<int>("digits");
  QTest::addColumn<bool>("leadingZeros");
  QTest::addColumn<qint32>("value");
  QTest::addColumn<QString>("glyphs");
  QTest::addColumn<QString>("text");

  QTest::newRow("voltage 1350") << 4 << true << 1350 << "1350"
                                << "1350";
  QTest::newRow("temperature 25 zero-padded") << 4 << true << 25 << "0025"
                                              << "0025";
  QTest::newRow("temperature 7") << 4 << true << 7 << "0007"
                                 << "0007";
  QTest::newRow("current 25 unlit leading") << 4 << false << 25 << "  25"
                                            << "25";
  QTest::newRow("current 7") << 4 << false << 7 << "   7"
                             << "7";
  QTest::newRow("time 120") << 6 << false << 120 << "   120"
                            << "120";
  QTest::newRow("time 999999 fills six") << 6 << false << 999999 << "999999"
                                         << "999999";
  QTest::newRow("start time") << 6 << false << 0 << "     0"
                              << "0";
  QTest::newRow("start voltage") << 4 << true << 0 << "0000"
                                 << "0000";
  QTest::newRow("start current") << 4 << false << 0 << "   0"
                                 << "0";
  QTest::newRow("time seven digits overflow")
      << 6 << false << 1000000 << kOver.repeated(6) << QStringLiteral("溢出");
  QTest::newRow("voltage five digits overflow")
      << 4 << true << 12000 << kOver.repeated(4) << QStringLiteral("溢出");
  QTest::newRow("int max") << 4 << false << INT_MAX << kOver.repeated(4) << QStringLiteral("溢出");
  QTest::newRow("negative unlit") << 4 << false << -25 << " -25"
                                  << "-25";
  QTest::newRow("negative zero-padded") << 4 << true << -25 << "-025"
                                        << "-025";
  QTest::newRow("negative fills with sign") << 4 << false << -999 << "-999"
                                            << "-999";
  QTest::newRow("negative no room for sign")
      << 4 << false << -1000 << kUnder.repeated(4) << QStringLiteral("负溢出");
  QTest::newRow("negative zero-padded no room")
      << 4 << true << -1000 << kUnder.repeated(4) << QStringLiteral("负溢出");
  QTest::newRow("negative time") << 6 << false << -99999 << "-99999"
                                 << "-99999";
  QTest::newRow("int min") << 6 << false << INT_MIN << kUnder.repeated(6)
                           << QStringLiteral("负溢出");
}

void TestSegmentReadout::faceTable() {
  QFETCH(int, digits);
  QFETCH(bool, leadingZeros);
  QFETCH(qint32, value);
  QFETCH(QString, glyphs);
  QFETCH(QString, text);

  SegmentReadout readout(digits, leadingZeros);
  QCOMPARE(readout.GetValue(), 0);
  readout.SetValue(value);
  QCOMPARE(readout.GetValue(), value);
  QCOMPARE(readout.Glyphs(), glyphs);
  QCOMPARE(readout.ShownText(), text);
  QCOMPARE(ReadoutGlyphs(value, digits, leadingZeros), glyphs);

  const QList<SegmentMask> segments = ReadoutSegments(value, digits, leadingZeros);
  QCOMPARE(segments.size(), digits);
  for (int i = 0; i < digits; ++i) {
    QCOMPARE(segments[i], SegmentsOf(glyphs[i]));
  }
}

// Values whose faces look alike must still be returned exactly.
void TestSegmentReadout::storedValueSurvivesUnchangedFace() {
  SegmentReadout readout(4, true);
  readout.SetValue(12000);
  readout.SetValue(13000);
  QCOMPARE(readout.GetValue(), 13000);
  readout.SetValue(-5000);
  readout.SetValue(-6000);
  QCOMPARE(readout.GetValue(), -6000);
  readout.SetValue(25);
  QCOMPARE(readout.Glyphs(), QStringLiteral("0025"));
  QCOMPARE(readout.GetValue(), 25);
}

void TestSegmentReadout::digitSegments_data() {
  QTest::addColumn<QChar>("glyph");
  QTest::addColumn<QString>("letters");
  const char* digits[] = {"abcdef", "bc",     "abdeg", "abcdg",   "bcfg",
                          "acdfg",  "acdefg", "abc",   "abcdefg", "abcdfg"};
  for (int d = 0; d < 10; ++d) {
    QTest::addRow("%d", d) << QChar(u'0' + d) << QString::fromLatin1(digits[d]);
  }
  QTest::newRow("unlit") << QChar(u' ') << QString();
  QTest::newRow("minus") << QChar(u'-') << QStringLiteral("g");
  QTest::newRow("over") << QChar(kOverGlyph) << QStringLiteral("a");
  QTest::newRow("under") << QChar(kUnderGlyph) << QStringLiteral("d");
}

void TestSegmentReadout::digitSegments() {
  QFETCH(QChar, glyph);
  QFETCH(QString, letters);
  QCOMPARE(SegmentsOf(glyph), Letters(letters.toLatin1().constData()));
}

void TestSegmentReadout::layoutStaysInsideFace_data() {
  QTest::addColumn<QSize>("face");
  QTest::addColumn<int>("digits");
  QTest::addColumn<qreal>("dpr");
  for (qreal dpr : {1.0, 1.25, 1.5, 2.0, 3.0}) {
    QTest::addRow("6 digits @%g", dpr) << QSize(100, 28) << 6 << dpr;
    QTest::addRow("4 digits @%g", dpr) << QSize(68, 28) << 4 << dpr;
  }
}

// Cells sit inside the face without touching each other; each segment lies
// in its own cell, covers at least two device pixels across, and its centre
// lies in no other segment.
void TestSegmentReadout::layoutStaysInsideFace() {
  QFETCH(QSize, face);
  QFETCH(int, digits);
  QFETCH(qreal, dpr);

  const QList<QRectF> cells = ReadoutCells(face, digits, dpr);
  QCOMPARE(cells.size(), digits);
  const QRectF faceRect(QPointF(0, 0), QSizeF(face));
  for (int i = 0; i < digits; ++i) {
    QVERIFY(faceRect.contains(cells[i]));
    QVERIFY(cells[i].width() > 6 && cells[i].height() > 12);
    if (i > 0) {
      QVERIFY2(cells[i - 1].right() < cells[i].left(), "cells touch");
    }
  }
  const QRectF cell = cells.front();
  QVERIFY(SegmentThickness(cell, dpr) * dpr >= 2.0);
  QList<QPolygonF> polygons;
  for (int s = 0; s < kSegmentCount; ++s) {
    polygons.append(SegmentPolygon(cell, static_cast<Segment>(s), dpr));
    QVERIFY(cell.adjusted(-1e-9, -1e-9, 1e-9, 1e-9).contains(polygons.back().boundingRect()));
  }
  for (int s = 0; s < kSegmentCount; ++s) {
    const QPointF centre = polygons[s].boundingRect().center();
    for (int o = 0; o < kSegmentCount; ++o) {
      QCOMPARE(polygons[o].containsPoint(centre, Qt::OddEvenFill), o == s);
    }
  }
}

void TestSegmentReadout::paintedColours_data() {
  QTest::addColumn<int>("digits");
  QTest::addColumn<bool>("leadingZeros");
  QTest::addColumn<qint32>("value");
  QTest::addColumn<qreal>("dpr");
  for (qreal dpr : {1.0, 2.0}) {
    QTest::addRow("1350 @%g", dpr) << 4 << true << 1350 << dpr;
    QTest::addRow("25 unlit @%g", dpr) << 4 << false << 25 << dpr;
    QTest::addRow("120 time @%g", dpr) << 6 << false << 120 << dpr;
    QTest::addRow("overflow @%g", dpr) << 4 << false << 12000 << dpr;
  }
}

// Every lit segment's centre is drawn in exactly the lit colour, every unlit
// segment has a line in exactly the unlit colour, the face between digits is
// in the face colour, and the top edge of a lit top bar is sharp: full
// colour on its first pixel row, face colour right above it.
void TestSegmentReadout::paintedColours() {
  QFETCH(int, digits);
  QFETCH(bool, leadingZeros);
  QFETCH(qint32, value);
  QFETCH(qreal, dpr);

  SegmentReadout readout(digits, leadingZeros);
  readout.resize(readout.sizeHint());
  QCOMPARE(readout.size(), digits == 6 ? QSize(100, 28) : QSize(68, 28));
  readout.SetValue(value);
  const QImage image = Render(readout, dpr);

  const QList<QRectF> cells = ReadoutCells(readout.size(), digits, dpr);
  const QString glyphs = readout.Glyphs();
  for (int i = 0; i < digits; ++i) {
    const SegmentMask lit = SegmentsOf(glyphs[i]);
    for (int s = 0; s < kSegmentCount; ++s) {
      const auto segment = static_cast<Segment>(s);
      const QRectF bar = SegmentPolygon(cells[i], segment, dpr).boundingRect();
      if (IsLit(lit, segment)) {
        QCOMPARE(QColor(PixelAt(image, bar.center(), dpr)), QColor(0, 255, 0));
        continue;
      }
      // The thin unlit line runs somewhere along the bar's centre.
      const QRect pixels(QPoint(int(bar.left() * dpr), int(bar.top() * dpr)),
                         QPoint(int(bar.right() * dpr), int(bar.bottom() * dpr)));
      bool silver = false;
      for (int y = pixels.top(); y <= pixels.bottom() && !silver; ++y) {
        for (int x = pixels.left(); x <= pixels.right() && !silver; ++x) {
          silver = QColor(image.pixel(x, y)) == QColor(192, 192, 192);
        }
      }
      QVERIFY2(silver, qPrintable(QStringLiteral("position %1 segment %2").arg(i).arg(s)));
    }
  }
  QCOMPARE(QColor(PixelAt(image, QPointF(0.5, 0.5), dpr)), kSegmentFaceColour);
  const QPointF between((cells[0].right() + cells[1].left()) / 2, cells[0].center().y());
  QCOMPARE(QColor(PixelAt(image, between, dpr)), kSegmentFaceColour);

  const QRectF cell = cells.back();
  QVERIFY(IsLit(SegmentsOf(glyphs.back()), Segment::A));
  const QColor topBar(0, 255, 0);
  const int x = int(std::floor(cell.center().x() * dpr));
  const int top = int(std::round(cell.top() * dpr));
  QCOMPARE(QColor(image.pixel(x, top)), topBar);
  QCOMPARE(QColor(image.pixel(x, top - 1)), kSegmentFaceColour);
}

void TestSegmentReadout::accessibleValue() {
  SegmentReadout readout(4, false);
  readout.setAccessibleName(QStringLiteral("通道 1 电流(mA)"));
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&readout);
  QVERIFY(iface != nullptr);
  QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("通道 1 电流(mA)"));
  QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("0"));
  readout.SetValue(25);
  QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("25"));
  readout.SetValue(-7);
  QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("-7"));
  readout.SetValue(123456);
  QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("溢出"));
}

void TestSegmentReadout::unlitSegmentsAreThin_data() {
  QTest::addColumn<int>("digits");
  QTest::addColumn<qint32>("value");
  QTest::addColumn<int>("litSegments");
  QTest::newRow("1 on a current readout") << 4 << 1 << 2;
  QTest::newRow("7 on a time readout") << 6 << 7 << 3;
}

// At a glance the digits' shape stands out: an unlit segment covers at most
// half the pixels of a lit one, so unlit positions do not read as "8".
void TestSegmentReadout::unlitSegmentsAreThin() {
  QFETCH(int, digits);
  QFETCH(qint32, value);
  QFETCH(int, litSegments);
  SegmentReadout readout(digits, false);
  readout.resize(readout.sizeHint());
  readout.SetValue(value);
  const QImage image = Render(readout, 1.0);
  int green = 0;
  int silver = 0;
  for (int y = 0; y < image.height(); ++y) {
    for (int x = 0; x < image.width(); ++x) {
      const QColor c(image.pixel(x, y));
      if (c.green() > 60 && c.red() < c.green() / 2) {
        ++green;
      } else if (c.red() > 60 && std::abs(c.red() - c.green()) < 8 &&
                 std::abs(c.green() - c.blue()) < 8) {
        ++silver;
      }
    }
  }
  const int unlitSegments = digits * kSegmentCount - litSegments;
  const double perLit = double(green) / litSegments;
  const double perUnlit = double(silver) / unlitSegments;
  QVERIFY2(
      perUnlit <= 0.5 * perLit,
      qPrintable(QStringLiteral("%1 px per unlit segment, %2 per lit").arg(perUnlit).arg(perLit)));
}

void TestSegmentReadout::accessibleTextOffsets_data() {
  QTest::addColumn<int>("boundary");  // QAccessible::TextBoundaryType
  QTest::addColumn<int>("offset");
  QTest::addColumn<QString>("before");  // text, start, end joined by '|'
  QTest::addColumn<QString>("at");
  QTest::addColumn<QString>("after");
  // The readout shows "-25": a reader steps through it a character at a
  // time, or reads it as one line.
  QTest::newRow("the middle character")
      << int(QAccessible::CharBoundary) << 1 << u"-|0|1"_qs << u"2|1|2"_qs << u"5|2|3"_qs;
  QTest::newRow("the first character")
      << int(QAccessible::CharBoundary) << 0 << u"|0|0"_qs << u"-|0|1"_qs << u"2|1|2"_qs;
  QTest::newRow("the last character")
      << int(QAccessible::CharBoundary) << 2 << u"2|1|2"_qs << u"5|2|3"_qs << u"|3|3"_qs;
  QTest::newRow("past the end") << int(QAccessible::CharBoundary) << 3 << u"5|2|3"_qs << u"|3|3"_qs
                                << u"|3|3"_qs;
  QTest::newRow("the whole line") << int(QAccessible::LineBoundary) << 1 << u"|0|0"_qs
                                  << u"-25|0|3"_qs << u"|3|3"_qs;
}

void TestSegmentReadout::accessibleTextOffsets() {
  QFETCH(int, boundary);
  QFETCH(int, offset);
  QFETCH(QString, before);
  QFETCH(QString, at);
  QFETCH(QString, after);
  SegmentReadout readout(4, false);
  readout.SetValue(-25);
  QAccessibleTextInterface* text = QAccessible::queryAccessibleInterface(&readout)->textInterface();
  QVERIFY(text);
  QCOMPARE(text->characterCount(), 3);
  const auto type = QAccessible::TextBoundaryType(boundary);
  int start = -1;
  int end = -1;
  const auto joined = [&](const QString& t) { return u"%1|%2|%3"_qs.arg(t).arg(start).arg(end); };
  QCOMPARE(joined(text->textBeforeOffset(offset, type, &start, &end)), before);
  QCOMPARE(joined(text->textAtOffset(offset, type, &start, &end)), at);
  QCOMPARE(joined(text->textAfterOffset(offset, type, &start, &end)), after);
}

QTEST_MAIN(TestSegmentReadout)
#include "test_segmentreadout.moc"
