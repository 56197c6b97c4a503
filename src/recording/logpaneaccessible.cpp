#include "logpaneaccessible.h"

#include <algorithm>
#include <limits>

#include "logpane.h"

namespace {

// Accessibility offsets are ints; a log longer than that is read up to there.
int ToOffset(qsizetype position) {
  return int(std::min<qsizetype>(position, std::numeric_limits<int>::max()));
}

bool IsWordChar(QChar c) {
  return c.isLetterOrNumber() || c.isSurrogate() || c == u'_';
}

QAccessibleInterface* LogPaneFactory(const QString&, QObject* object) {
  if (auto* pane = qobject_cast<LogPane*>(object)) {
    return new LogPaneAccessible(pane);
  }
  return nullptr;
}

}  // namespace

LogPaneAccessible::LogPaneAccessible(LogPane* pane)
    : QAccessibleWidget(pane, QAccessible::EditableText) {}

LogPane& LogPaneAccessible::Pane() const {
  return *static_cast<LogPane*>(object());
}

void* LogPaneAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::TextInterface) {
    return static_cast<QAccessibleTextInterface*>(this);
  }
  return QAccessibleWidget::interface_cast(type);
}

QAccessible::State LogPaneAccessible::state() const {
  QAccessible::State s = QAccessibleWidget::state();
  s.readOnly = Pane().isReadOnly();
  s.editable = !Pane().isReadOnly();
  s.multiLine = true;
  s.selectableText = true;
  return s;
}

void LogPaneAccessible::selection(int selectionIndex, int* startOffset, int* endOffset) const {
  *startOffset = *endOffset = 0;
  if (selectionIndex == 0 && Pane().HasSelection()) {
    *startOffset = ToOffset(std::min(Pane().AnchorPosition(), Pane().CaretPosition()));
    *endOffset = ToOffset(std::max(Pane().AnchorPosition(), Pane().CaretPosition()));
  }
}

int LogPaneAccessible::selectionCount() const {
  return Pane().HasSelection() ? 1 : 0;
}

void LogPaneAccessible::addSelection(int startOffset, int endOffset) {
  setSelection(0, startOffset, endOffset);
}

void LogPaneAccessible::removeSelection(int selectionIndex) {
  if (selectionIndex == 0) {
    Pane().SetSelection(Pane().CaretPosition(), Pane().CaretPosition());
  }
}

void LogPaneAccessible::setSelection(int selectionIndex, int startOffset, int endOffset) {
  if (selectionIndex == 0) {
    Pane().SetSelection(startOffset, endOffset);
    Pane().ScrollToPosition(Pane().CaretPosition());
  }
}

int LogPaneAccessible::cursorPosition() const {
  return ToOffset(Pane().CaretPosition());
}

void LogPaneAccessible::setCursorPosition(int position) {
  Pane().SetSelection(position, position);
  Pane().ScrollToPosition(Pane().CaretPosition());
}

QString LogPaneAccessible::text(int startOffset, int endOffset) const {
  const qsizetype size = Pane().Log().Size();
  const qsizetype end = endOffset < 0 ? size : std::min<qsizetype>(endOffset, size);
  const qsizetype start = std::clamp<qsizetype>(startOffset, 0, end);
  return Pane().Log().Mid(start, end - start);
}

LogPaneAccessible::Range LogPaneAccessible::RangeAt(qsizetype offset,
                                                    QAccessible::TextBoundaryType boundary) const {
  const LogText& log = Pane().Log();
  if (boundary == QAccessible::NoBoundary) {
    return {0, log.Size()};
  }
  if (offset < 0 || offset > log.Size()) {
    return {offset, offset};
  }
  const qsizetype line = log.LineOfPosition(offset);
  const qsizetype lineStart = log.LineStart(line);
  const qsizetype lineEnd = line + 1 < log.LineCount() ? log.LineStart(line + 1) : log.Size();
  if (boundary != QAccessible::CharBoundary && boundary != QAccessible::WordBoundary) {
    // Lines, paragraphs and sentences: a received line is all three.
    return {lineStart, lineEnd};
  }
  if (offset == log.Size()) {
    return {offset, offset};
  }
  // Characters, words and runs between words are found within the row (at
  // most kMaxLineChars plus its line end), never in the rest of the log. Qt's
  // own rules are not used: they read the whole text, and can loop forever at
  // its end.
  const QString row = log.Mid(lineStart, lineEnd - lineStart);
  const qsizetype at = offset - lineStart;
  if (boundary == QAccessible::CharBoundary) {
    const bool pair =
        row[at].isHighSurrogate() && at + 1 < row.size() && row[at + 1].isLowSurrogate();
    return {offset, offset + (pair ? 2 : 1)};
  }
  // A word, or a run of what lies between words.
  const bool word = IsWordChar(row[at]);
  qsizetype from = at;
  qsizetype to = at + 1;
  while (from > 0 && IsWordChar(row[from - 1]) == word) {
    --from;
  }
  while (to < row.size() && IsWordChar(row[to]) == word) {
    ++to;
  }
  return {lineStart + from, lineStart + to};
}

QString LogPaneAccessible::Piece(Range range, int* startOffset, int* endOffset) const {
  *startOffset = ToOffset(range.start);
  *endOffset = ToOffset(std::max(range.start, range.end));
  return text(*startOffset, *endOffset);
}

QString LogPaneAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                        int* startOffset, int* endOffset) const {
  return Piece(RangeAt(offset, boundaryType), startOffset, endOffset);
}

QString LogPaneAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int* startOffset, int* endOffset) const {
  const Range at = RangeAt(offset, boundaryType);
  if (at.start <= 0) {
    *startOffset = *endOffset = 0;
    return {};
  }
  return Piece(RangeAt(at.start - 1, boundaryType), startOffset, endOffset);
}

QString LogPaneAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                           int* startOffset, int* endOffset) const {
  const Range at = RangeAt(offset, boundaryType);
  const qsizetype size = Pane().Log().Size();
  if (at.end >= size || at.end <= at.start) {
    *startOffset = *endOffset = ToOffset(size);
    return {};
  }
  return Piece(RangeAt(at.end, boundaryType), startOffset, endOffset);
}

int LogPaneAccessible::characterCount() const {
  return ToOffset(Pane().Log().Size());
}

QRect LogPaneAccessible::characterRect(int offset) const {
  const QRect inViewport = Pane().CharacterRect(offset);
  if (inViewport.isEmpty()) {
    return {};
  }
  return QRect(Pane().viewport()->mapToGlobal(inViewport.topLeft()), inViewport.size());
}

int LogPaneAccessible::offsetAtPoint(const QPoint& point) const {
  const QPoint inViewport = Pane().viewport()->mapFromGlobal(point);
  if (!Pane().viewport()->rect().contains(inViewport)) {
    return -1;
  }
  return ToOffset(Pane().PositionAt(inViewport));
}

void LogPaneAccessible::scrollToSubstring(int startIndex, int endIndex) {
  Pane().ScrollToPosition(std::max(startIndex, endIndex));
  Pane().ScrollToPosition(std::min(startIndex, endIndex));
}

QString LogPaneAccessible::attributes(int, int* startOffset, int* endOffset) const {
  // One font and colour throughout.
  *startOffset = 0;
  *endOffset = characterCount();
  return {};
}

void InstallLogPaneAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&LogPaneFactory);
    return true;
  }();
  Q_UNUSED(installed);
}

void NotifyLogAppended(LogPane& pane, qsizetype position, const QString& text) {
  if (!text.isEmpty()) {
    QAccessibleTextInsertEvent inserted(&pane, ToOffset(position), text);
    QAccessible::updateAccessibility(&inserted);
  }
  QAccessibleTextCursorEvent caret(&pane, ToOffset(pane.CaretPosition()));
  QAccessible::updateAccessibility(&caret);
}

void NotifyCaretMoved(LogPane& pane) {
  QAccessibleTextCursorEvent caret(&pane, ToOffset(pane.CaretPosition()));
  QAccessible::updateAccessibility(&caret);
}
