#include "segmentface.h"

#include <algorithm>
#include <cstdlib>

#include "datetime.h"

namespace {

constexpr SegmentMask Of(std::initializer_list<Segment> segments) {
  SegmentMask mask = 0;
  for (Segment s : segments) {
    mask = static_cast<SegmentMask>(mask | Bit(s));
  }
  return mask;
}

using enum Segment;

constexpr SegmentMask kDigitSegments[10] = {
    Of({A, B, C, D, E, F}),     // 0
    Of({B, C}),                 // 1
    Of({A, B, G, E, D}),        // 2
    Of({A, B, G, C, D}),        // 3
    Of({F, G, B, C}),           // 4
    Of({A, F, G, C, D}),        // 5
    Of({A, F, G, E, D, C}),     // 6
    Of({A, B, C}),              // 7
    Of({A, B, C, D, E, F, G}),  // 8
    Of({A, B, C, D, F, G}),     // 9
};

}  // namespace

SegmentMask SegmentsOf(QChar glyph) {
  const char16_t c = glyph.unicode();
  if (c >= u'0' && c <= u'9') {
    return kDigitSegments[c - u'0'];
  }
  switch (c) {
    case u'-':
      return Bit(G);
    case kOverGlyph:
      return Bit(A);
    case kUnderGlyph:
      return Bit(D);
    default:
      return 0;
  }
}

QString ReadoutGlyphs(qint32 value, int digits, bool leadingZeros) {
  digits = std::max(digits, 1);
  const bool negative = value < 0;
  // Widened first: the magnitude of the most negative 32-bit value does not fit in 32 bits.
  const QString number = QString::number(std::abs(static_cast<qint64>(value)));
  const int signPositions = negative ? 1 : 0;
  if (number.size() + signPositions > digits) {
    return QString(digits, QChar(negative ? kUnderGlyph : kOverGlyph));
  }
  QString shown = leadingZeros ? number.rightJustified(digits - signPositions, u'0') : number;
  if (negative) {
    shown.prepend(u'-');
  }
  return shown.rightJustified(digits, u' ');
}

QList<SegmentMask> ReadoutSegments(qint32 value, int digits, bool leadingZeros) {
  const QString glyphs = ReadoutGlyphs(value, digits, leadingZeros);
  QList<SegmentMask> masks;
  masks.reserve(glyphs.size());
  for (QChar g : glyphs) {
    masks.append(SegmentsOf(g));
  }
  return masks;
}

QString ClockGlyphs(double dateTime, bool hasTime) {
  if (!hasTime) {
    return QStringLiteral("------");
  }
  return TimeOfDayOf(dateTime).toString(QStringLiteral("HHmmss"));
}

QString ReadoutText(const QString& glyphs) {
  if (glyphs.contains(QChar(kOverGlyph))) {
    return QStringLiteral("溢出");
  }
  if (glyphs.contains(QChar(kUnderGlyph))) {
    return QStringLiteral("负溢出");
  }
  return glyphs.trimmed();
}

QString ClockText(const QString& glyphs) {
  return glyphs.left(2) + u':' + glyphs.mid(2, 2) + u':' + glyphs.mid(4, 2);
}
