// The clock's face and the date-time values it is given.

#include <QAccessible>
#include <QImage>
#include <QtTest>
#include <cmath>

#include "datetime.h"
#include "segmentclock.h"
#include "segmentface.h"
#include "segmentpainter.h"

namespace {

constexpr double kSecond = 1.0 / 86'400.0;  // days

QRgb PixelAt(const QImage& image, QPointF logical, qreal dpr) {
  return image.pixel(int(std::floor(logical.x() * dpr)), int(std::floor(logical.y() * dpr)));
}

}  // namespace

class TestSegmentClock : public QObject {
  Q_OBJECT
 private slots:
  void clockFace_data();
  void clockFace();
  void neutralBeforeFirstTime();
  void paintedColours_data();
  void paintedColours();
  void accessibleValue();
  void toDateTimeValue_data();
  void toDateTimeValue();
  void nextMidnightRoundsIntoNextDay();
  void valuesNoCalendarHoldsGiveNoDate_data();
  void valuesNoCalendarHoldsGiveNoDate();
};

void TestSegmentClock::clockFace_data() {
  QTest::addColumn<double>("value");
  QTest::addColumn<QString>("text");
  QTest::newRow("noon of day 0") << 0.5 << "12:00:00";
  QTest::newRow("noon of 2024-03-15") << 45366.5 << "12:00:00";
  QTest::newRow("noon of a far day") << 1'000'000.5 << "12:00:00";
  QTest::newRow("noon before the epoch") << -10.5 << "12:00:00";
  QTest::newRow("whole day is midnight") << 45366.0 << "00:00:00";
  QTest::newRow("quarter before epoch counts from its own day") << -0.25 << "18:00:00";
  QTest::newRow("24-hour afternoon")
      << 45366.0 + (14 * 3600 + 30 * 60 + 45) * kSecond << "14:30:45";
  QTest::newRow("last second") << 45366.0 + 86'399 * kSecond << "23:59:59";
  QTest::newRow("first second") << 45366.0 + kSecond << "00:00:01";
}

void TestSegmentClock::clockFace() {
  QFETCH(double, value);
  QFETCH(QString, text);
  SegmentClock clock;
  clock.SetTime(value);
  QVERIFY(clock.HasTime());
  QCOMPARE(clock.Time(), value);
  QCOMPARE(clock.ShownText(), text);
  QCOMPARE(clock.Glyphs(), QString(text).remove(u':'));
}

void TestSegmentClock::neutralBeforeFirstTime() {
  SegmentClock clock;
  QVERIFY(!clock.HasTime());
  QCOMPARE(clock.ShownText(), QStringLiteral("--:--:--"));
  QCOMPARE(clock.sizeHint(), QSize(137, 33));
  // Midnight of the epoch is a real time, not the neutral face.
  clock.SetTime(0.0);
  QVERIFY(clock.HasTime());
  QCOMPARE(clock.ShownText(), QStringLiteral("00:00:00"));
}

void TestSegmentClock::paintedColours_data() {
  QTest::addColumn<bool>("hasTime");
  QTest::addColumn<qreal>("dpr");
  for (qreal dpr : {1.0, 2.0}) {
    QTest::addRow("before first time @%g", dpr) << false << dpr;
    QTest::addRow("20:38:17 @%g", dpr) << true << dpr;
  }
}

void TestSegmentClock::paintedColours() {
  QFETCH(bool, hasTime);
  QFETCH(qreal, dpr);
  SegmentClock clock;
  clock.resize(clock.sizeHint());
  if (hasTime) {
    clock.SetTime(45366.0 + (20 * 3600 + 38 * 60 + 17) * kSecond);
  }
  QImage image(clock.size() * dpr, QImage::Format_ARGB32);
  image.setDevicePixelRatio(dpr);
  image.fill(Qt::magenta);
  clock.render(&image);

  const ClockCells cells = ClockCellsFor(clock.size(), dpr);
  QCOMPARE(cells.digits.size(), 6);
  QCOMPARE(cells.separators.size(), 2);
  const QString glyphs = clock.Glyphs();
  for (int i = 0; i < 6; ++i) {
    const SegmentMask lit = SegmentsOf(glyphs[i]);
    QVERIFY(QRectF(QPointF(0, 0), QSizeF(clock.size())).contains(cells.digits[i]));
    for (int s = 0; s < kSegmentCount; ++s) {
      const auto segment = static_cast<Segment>(s);
      // Lit bars are full width; unlit ones thin lines along the same centre.
      const QPointF centre = SegmentPolygon(cells.digits[i], segment, dpr).boundingRect().center();
      const QColor c(PixelAt(image, centre, dpr));
      if (IsLit(lit, segment)) {
        QCOMPARE(c, QColor(0, 255, 0));
      } else {
        // Silver, RGB(192, 192, 192), where the short line's ends may blend.
        QVERIFY2(c.red() == c.green() && c.green() == c.blue() && std::abs(c.red() - 192) <= 12,
                 qPrintable(c.name()));
      }
    }
  }
  for (const QRectF& separator : cells.separators) {
    QVERIFY(cells.digits[0].right() < separator.left());
    const QList<QRectF> dots = SeparatorDots(separator, dpr);
    QCOMPARE(dots.size(), 2);
    for (const QRectF& dot : dots) {
      QCOMPARE(QColor(PixelAt(image, dot.center(), dpr)), kLitSegmentColour);
    }
    QCOMPARE(QColor(PixelAt(image, separator.center(), dpr)), kSegmentFaceColour);
  }
  QCOMPARE(QColor(PixelAt(image, QPointF(0.5, 0.5), dpr)), kSegmentFaceColour);
}

void TestSegmentClock::accessibleValue() {
  SegmentClock clock;
  clock.setAccessibleName(QStringLiteral("时钟"));
  QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(&clock);
  QVERIFY(iface != nullptr);
  QCOMPARE(iface->role(), QAccessible::Clock);
  QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("时钟"));
  QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("--:--:--"));
  clock.SetTime(45366.0 + (9 * 3600 + 5 * 60 + 3) * kSecond);
  QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("09:05:03"));
}

void TestSegmentClock::toDateTimeValue_data() {
  QTest::addColumn<QDateTime>("local");
  QTest::addColumn<double>("value");
  QTest::newRow("epoch") << QDateTime(QDate(1899, 12, 30), QTime(0, 0)) << 0.0;
  QTest::newRow("1900-01-01 noon") << QDateTime(QDate(1900, 1, 1), QTime(12, 0)) << 2.5;
  QTest::newRow("2024-03-15 14:30:45") << QDateTime(QDate(2024, 3, 15), QTime(14, 30, 45))
                                       << 45366.0 + (14 * 3600 + 30 * 60 + 45) * kSecond;
  QTest::newRow("2026-03-07 09:05:03") << QDateTime(QDate(2026, 3, 7), QTime(9, 5, 3))
                                       << 46088.0 + (9 * 3600 + 5 * 60 + 3) * kSecond;
  QTest::newRow("last second of a day")
      << QDateTime(QDate(2000, 2, 29), QTime(23, 59, 59)) << 36585.0 + 86'399 * kSecond;
  QTest::newRow("day before the epoch, 06:00")
      << QDateTime(QDate(1899, 12, 29), QTime(6, 0)) << -0.75;
}

// A known local date-time converts to its value and back, and the clock
// shows its time of day.
void TestSegmentClock::toDateTimeValue() {
  QFETCH(QDateTime, local);
  QFETCH(double, value);
  const double converted = ToDateTimeValue(local);
  QVERIFY2(std::abs(converted - value) < 1e-9, qPrintable(QString::number(converted, 'f', 10)));
  QCOMPARE(FromDateTimeValue(converted), local);
  QCOMPARE(TimeOfDayOf(converted), local.time());

  SegmentClock clock;
  clock.SetTime(converted);
  QCOMPARE(clock.ShownText(), local.time().toString(QStringLiteral("HH:mm:ss")));
}

// A value within half a second of the next midnight rounds to 00:00:00; the
// date has to move on to the next day with it.
void TestSegmentClock::nextMidnightRoundsIntoNextDay() {
  const double value = ToDateTimeValue(QDateTime(QDate(2024, 3, 15), QTime(23, 59, 59, 600)));
  QCOMPARE(TimeOfDayOf(value), QTime(0, 0));
  QCOMPARE(FromDateTimeValue(value), QDateTime(QDate(2024, 3, 16), QTime(0, 0)));
}

void TestSegmentClock::valuesNoCalendarHoldsGiveNoDate_data() {
  QTest::addColumn<double>("value");
  QTest::newRow("nan") << std::nan("");
  QTest::newRow("infinity") << HUGE_VAL;
  QTest::newRow("beyond year 9999") << 1e12;
  QTest::newRow("far before 1899") << -1e12;
}

void TestSegmentClock::valuesNoCalendarHoldsGiveNoDate() {
  QFETCH(double, value);
  QVERIFY(!FromDateTimeValue(value).isValid());
  QCOMPARE(TimeOfDayOf(value), QTime(0, 0));
}

QTEST_MAIN(TestSegmentClock)
#include "test_segmentclock.moc"
