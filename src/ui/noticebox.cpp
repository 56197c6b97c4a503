#include "noticebox.h"

#include <QMessageBox>

void ShowNoticeBox(QWidget* owner, const QString& text) {
  auto* box = new QMessageBox(QMessageBox::Information, QStringLiteral("Orvanta"), text,
                              QMessageBox::Ok, owner);
  box->setAttribute(Qt::WA_DeleteOnClose);
  box->setModal(false);
  box->show();
}
