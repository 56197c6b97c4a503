#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>
#include <algorithm>
#include <vector>

// The receive log's storage: the text exactly as received, kept compact, plus
// an index of its display lines. Appending costs only the length of the new
// text (amortised), whatever the size of the log; reading decodes only the
// lines or the range asked for.
//
// Positions and lengths count UTF-16 code units, as QString does. The text is
// held as bytes: each code unit below U+0080 as one byte, everything else as
// UTF-8, except that a surrogate code unit without its partner (or with it in
// another append) is held on its own as a three-byte sequence. Decoding gives
// back exactly the code units appended, so a log of frames takes one byte
// per character and any text survives unchanged.
//
// Lines end after LF, after CR LF, after a lone CR, and, so that one line can
// never grow without bound when the sender sends no line ends, after
// kMaxLineChars code units (a "soft" break that never splits a surrogate
// pair). Line ends are never changed in the stored text.
//
// The index holds each closed line's length in code units and in bytes (two
// 16-bit numbers: a line holds at most kMaxLineChars + 2 code units of at
// most three bytes each) and the start of every kAnchorLines-th line, so a
// week of frames costs under 5 bytes a line on top of the text.
//
// Invariants: there is always at least one (possibly empty) line, the last
// one open; m_anchors[k] is the start of line k * kAnchorLines for every line
// that exists; m_size and m_bytes.size() are the sums over all lines.
class LogText {
 public:
  static constexpr qsizetype kMaxLineChars = 1000;

  LogText();
  explicit LogText(const QString& text);

  void Append(QStringView text);

  // The whole text, decoded.
  QString Text() const;
  // `count` code units from `position`, clamped to the text.
  QString Mid(qsizetype position, qsizetype count) const;
  qsizetype Size() const { return m_size; }

  qsizetype LineCount() const { return static_cast<qsizetype>(m_lines.size()) + 1; }
  qsizetype LineStart(qsizetype line) const { return Start(line).unit; }
  // End of the line's visible text: before its CR, LF or CR LF.
  qsizetype LineEnd(qsizetype line) const;
  // The line's visible text, without its line end.
  QString LineText(qsizetype line) const;
  // The line holding `position` (0..Size()); a position on a line end
  // belongs to the line the end closes.
  qsizetype LineOfPosition(qsizetype position) const;

  // Whether every character is below U+0080; the stored bytes are then the
  // text's ASCII bytes.
  bool IsAscii() const { return m_bytes.size() == m_size; }
  // Calls ascii(QByteArrayView) or other(const QString&) for consecutive
  // pieces that together make the whole text: a piece of plain ASCII as its
  // bytes, any other piece decoded. A piece ends after a CR or LF where it
  // can, so no surrogate pair is split between pieces.
  template <class Ascii, class Other>
  void ForEachPiece(Ascii ascii, Other other) const;

  // Heap bytes reserved by the text buffer and the line index.
  qsizetype BytesHeld() const;

 private:
  static constexpr qsizetype kAnchorLines = 32;
  static constexpr qsizetype kPieceBytes = qsizetype(1) << 20;

  struct Offset {
    qsizetype unit = 0;
    qsizetype byte = 0;
  };
  struct LineLength {
    quint16 units;
    quint16 bytes;
  };

  Offset Start(qsizetype line) const;
  Offset LengthOf(qsizetype line) const;
  void CloseLine(qsizetype units, qsizetype bytes);
  // Decodes `count` code units from the stored bytes at `byte`.
  QString Decode(qsizetype byte, qsizetype count) const;
  // Where code unit `position` starts, found from the line start `start`;
  // on the low half of a pair, where the pair starts.
  Offset ByteOf(Offset start, qsizetype position) const;
  // Decodes a whole stretch of stored bytes.
  static QString DecodeBytes(QByteArrayView bytes);
  static bool IsAsciiBytes(QByteArrayView bytes);

  QByteArray m_bytes;
  qsizetype m_size = 0;              // code units
  std::vector<LineLength> m_lines;   // every line but the open last one
  std::vector<Offset> m_anchors;     // start of every kAnchorLines-th line
  Offset m_openStart;                // start of the open last line
  bool m_endsWithClosingCr = false;  // the last unit is a CR that closed a line
};

template <class Ascii, class Other>
void LogText::ForEachPiece(Ascii ascii, Other other) const {
  const char* data = m_bytes.constData();
  const qsizetype total = m_bytes.size();
  qsizetype from = 0;
  while (from < total) {
    qsizetype to = std::min(total, from + kPieceBytes);
    if (to < total) {
      // Back up to just after a CR or LF; these bytes never occur inside a
      // longer sequence. Without one, the rest goes as one piece.
      qsizetype cut = to;
      while (cut > from && data[cut - 1] != '\n' && data[cut - 1] != '\r') {
        --cut;
      }
      to = cut > from ? cut : total;
    }
    const QByteArrayView piece(data + from, to - from);
    if (IsAsciiBytes(piece)) {
      ascii(piece);
    } else {
      other(DecodeBytes(piece));
    }
    from = to;
  }
}
