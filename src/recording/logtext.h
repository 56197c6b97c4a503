#pragma once

#include <QString>
#include <QStringView>
#include <vector>

// The receive log's storage: the text exactly as received, in one buffer,
// plus the start offset of every display line. Appending costs only the
// length of the new text (amortised), whatever the size of the log.
//
// Lines end after LF, after CR LF, after a lone CR, and, so that one line can
// never grow without bound when the sender sends no line ends, after
// kMaxLineChars code units (a "soft" break that never splits a surrogate
// pair). Line ends are never changed in the stored text.
//
// Invariants: m_lineStarts is never empty, starts with 0 and is strictly
// increasing; every entry is <= m_text.size(). There is always at least one
// (possibly empty) line.
class LogText {
 public:
  static constexpr qsizetype kMaxLineChars = 1000;

  LogText();
  explicit LogText(const QString& text);

  void Append(QStringView text);

  // The whole text. The returned string shares the buffer; appending while a
  // copy is held detaches it once, so hold copies only briefly.
  const QString& Text() const { return m_text; }
  qsizetype Size() const { return m_text.size(); }
  // The text from `from` on, at most `length` code units (both clamped to
  // the text); costs only the length of the piece.
  QString Mid(qsizetype from, qsizetype length) const;

  qsizetype LineCount() const { return static_cast<qsizetype>(m_lineStarts.size()); }
  qsizetype LineStart(qsizetype line) const { return m_lineStarts[static_cast<size_t>(line)]; }
  // End of the line's visible text: before its CR, LF or CR LF.
  qsizetype LineEnd(qsizetype line) const;
  QStringView LineView(qsizetype line) const;
  // The line holding `position` (0..Size()); a position on a line end
  // belongs to the line the end closes.
  qsizetype LineOfPosition(qsizetype position) const;

  // Heap bytes reserved by the text buffer and the line index.
  qsizetype BytesHeld() const;

 private:
  QString m_text;
  std::vector<qsizetype> m_lineStarts;
};
