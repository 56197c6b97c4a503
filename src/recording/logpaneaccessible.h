#pragma once

#include <QAccessibleWidget>

class LogPane;

// The log pane as a screen reader meets it: read-only multi-line text (role
// editable text, read-only state) over the log store, with the pane's caret
// and selection. Every call reads only the stretch of text it returns: the
// whole log is never copied, however long it grows (a week is 33 million
// characters). Lines, paragraphs and sentences are the pane's rows; words and
// characters are found within the row that holds the offset.
class LogPaneAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit LogPaneAccessible(LogPane* pane);

  void* interface_cast(QAccessible::InterfaceType type) override;
  QAccessible::State state() const override;

  void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
  int selectionCount() const override;
  void addSelection(int startOffset, int endOffset) override;
  void removeSelection(int selectionIndex) override;
  void setSelection(int selectionIndex, int startOffset, int endOffset) override;
  int cursorPosition() const override;
  void setCursorPosition(int position) override;
  QString text(int startOffset, int endOffset) const override;
  QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                           int* endOffset) const override;
  QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                          int* endOffset) const override;
  QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                       int* endOffset) const override;
  int characterCount() const override;
  QRect characterRect(int offset) const override;
  int offsetAtPoint(const QPoint& point) const override;
  void scrollToSubstring(int startIndex, int endIndex) override;
  QString attributes(int offset, int* startOffset, int* endOffset) const override;

 private:
  struct Range {
    qsizetype start;
    qsizetype end;
  };
  // The stretch of the given kind around `offset`; empty past either end.
  Range RangeAt(qsizetype offset, QAccessible::TextBoundaryType boundary) const;
  QString Piece(Range range, int* startOffset, int* endOffset) const;
  LogPane& Pane() const;
};

// Registers LogPaneAccessible for LogPane with QAccessible; safe to call any
// number of times.
void InstallLogPaneAccessibility();

// Tells accessibility tools that `text` was appended at `position` and the
// caret moved to the end.
void NotifyLogAppended(LogPane& pane, qsizetype position, const QString& text);

// Tells accessibility tools that the caret moved (by a key).
void NotifyCaretMoved(LogPane& pane);
