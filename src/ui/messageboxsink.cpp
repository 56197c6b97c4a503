#include "messageboxsink.h"

#include <QMessageBox>

void MessageBoxSink::ShowError(const QString& title, const QString& text) {
  QMessageBox::critical(m_owner, title, text, QMessageBox::Ok);
}
