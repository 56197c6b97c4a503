#include "textboxes.h"

#include <QLineEdit>

QString LineEditBox::Text() const {
  return m_edit.text();
}

void LineEditBox::SetText(const QString& text) {
  m_edit.setText(text);
}

RawTextBox::RawTextBox(QWidget* parent) : QPlainTextEdit(parent) {
  setUndoRedoEnabled(false);
  setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
}

void RawTextBox::SetText(const QString& text) {
  m_text = text;
  setPlainText(text);
}
