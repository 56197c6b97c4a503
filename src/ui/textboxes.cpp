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
  setPlainText(text);
}
