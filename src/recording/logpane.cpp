#include "logpane.h"

#include <QScrollBar>
#include <QTextCursor>

LogPane::LogPane(QWidget* parent) : QPlainTextEdit(parent) {
  setUndoRedoEnabled(false);
}

void LogPane::AppendAndFollow(const QString& text) {
  m_text += text;
  QTextCursor cursor(document());
  cursor.movePosition(QTextCursor::End);
  cursor.insertText(text);
  moveCursor(QTextCursor::End);
  ensureCursorVisible();
}

qsizetype LogPane::CaretPosition() const {
  return m_text.size();
}

bool LogPane::HasSelection() const {
  return textCursor().hasSelection();
}
