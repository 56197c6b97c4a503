#pragma once

#include <QList>
#include <QString>
#include <QtGlobal>

// What a seven-segment face shows, as pure functions of the stored value.
//
// A face is a row of glyphs, one per digit position. Each glyph is one of
//   '0'..'9'  a digit,
//   ' '       an unlit position (all seven segments off),
//   '-'       a minus sign (middle bar),
//   kOverGlyph / kUnderGlyph  the overflow bars (top bar / bottom bar),
// and maps to a set of lit segments; every segment not lit is drawn unlit.
//
// Values that do not fit. No position is reserved for a sign, so:
//  - a negative value whose digits and a minus sign fit shows the minus sign
//    in the position just left of its digits (zero padding goes between the
//    sign and the digits, "-025"); the sign takes a free leading position,
//    never a digit's;
//  - a value that does not fit (too many digits, or a negative value with no
//    free position for its sign) lights one bar in every position: the top
//    bar when it is too large, the bottom bar when it is too far below zero.
//    Neither pattern is a digit, so the face is never read as a different
//    number, and no digit is silently dropped.
// The stored value itself is never changed by what the face can show.

// Segment bits, in the usual a..g lettering: a top, b upper right,
// c lower right, d bottom, e lower left, f upper left, g middle.
enum class Segment : quint8 { A = 0, B, C, D, E, F, G };
constexpr int kSegmentCount = 7;
using SegmentMask = quint8;

constexpr SegmentMask Bit(Segment s) {
  return static_cast<SegmentMask>(1u << static_cast<unsigned>(s));
}
constexpr bool IsLit(SegmentMask mask, Segment s) {
  return (mask & Bit(s)) != 0;
}

inline constexpr char16_t kOverGlyph = u'\u203E';  // overline: value too large
inline constexpr char16_t kUnderGlyph = u'_';      // value too far below zero

// The lit segments of one glyph; unknown glyphs are all unlit.
SegmentMask SegmentsOf(QChar glyph);

// The glyphs of a readout with `digits` positions (at least 1) showing `value`.
QString ReadoutGlyphs(qint32 value, int digits, bool leadingZeros);

// The lit segments of each position of that readout, left to right.
QList<SegmentMask> ReadoutSegments(qint32 value, int digits, bool leadingZeros);

// The glyphs of the clock's six digit positions, hours (00-23), minutes and
// seconds, for a date-time value (days since 30 December 1899); the date part
// is not shown. Before the first time is set the clock shows six minus bars.
QString ClockGlyphs(double dateTime, bool hasTime);

// The text a face shows, for accessibility tools: the digits and signs as
// read, without the unlit leading positions; an overflowing face reads as
// "溢出" (too large) or "负溢出" (too far below zero). Clock glyphs are
// read with ':' separators.
QString ReadoutText(const QString& glyphs);
QString ClockText(const QString& glyphs);
