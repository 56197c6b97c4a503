#include "textboxes.h"

#include <QLineEdit>

QString LineEditBox::Text() const {
  return m_edit.text();
}

void LineEditBox::SetText(const QString& text) {
  // The status word is set on every pass; the same word is no change.
  if (m_edit.text() != text) {
    m_edit.setText(text);
  }
}

RawTextBox::RawTextBox(QWidget* parent) : QPlainTextEdit(parent) {
  setUndoRedoEnabled(false);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void RawTextBox::SetText(const QString& text) {
  if (text == m_text) {
    return;
  }
  m_text = text;
  setPlainText(ShownText(text));
}

QString RawTextBox::ShownText(const QString& text) {
  if (text.size() <= 2 * kShownEndChars) {
    return text;
  }
  // Cut between whole characters, never inside a surrogate pair.
  qsizetype head = kShownEndChars;
  if (text.at(head - 1).isHighSurrogate()) {
    --head;
  }
  qsizetype tail = text.size() - kShownEndChars;
  if (text.at(tail).isLowSurrogate()) {
    ++tail;
  }
  return text.left(head) + tr("\n…（此处省略 %1 个字符）…\n").arg(tail - head) + text.mid(tail);
}
