#include "reviewdialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>

#include "celllabeldialog.h"

QStringList ReviewSystemDialogs::FilesToOpen(QWidget* parent) {
  return QFileDialog::getOpenFileNames(
      parent, QCoreApplication::translate("ReviewWindow", "打开数据文件"), QString(),
      QCoreApplication::translate("ReviewWindow", "数据文件 (*.txt);;所有文件 (*)"));
}

QString ReviewSystemDialogs::ReportFileToSave(QWidget* parent) {
  return QFileDialog::getSaveFileName(
      parent, QCoreApplication::translate("ReviewWindow", "保存报告"), QStringLiteral("report.pdf"),
      QCoreApplication::translate("ReviewWindow", "PDF 文件 (*.pdf);;PNG 图片 (*.png)"));
}

QString ReviewSystemDialogs::CsvFileToSave(QWidget* parent) {
  return QFileDialog::getSaveFileName(
      parent, QCoreApplication::translate("ReviewWindow", "导出 CSV"), QStringLiteral("review.csv"),
      QCoreApplication::translate("ReviewWindow", "CSV 文件 (*.csv)"));
}

QString ReviewSystemDialogs::BdfFolder(QWidget* parent) {
  return QFileDialog::getExistingDirectory(
      parent, QCoreApplication::translate("ReviewWindow", "导出 BDF 文件到文件夹"));
}

void ReviewSystemDialogs::ShowError(QWidget* parent, const QString& text) {
  QMessageBox::critical(parent, QCoreApplication::translate("ReviewWindow", "系统信息"), text);
}

void ReviewSystemDialogs::AskCellLabels(QWidget* parent, const std::array<QString, 2>& cells,
                                        CellsDone done) {
  // Window-modal and asynchronous, as at the bench: a recording program's
  // once-a-second pass goes on while the user types or scans.
  auto* dialog = new CellLabelDialog(cells, parent);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  QObject::connect(dialog, &QDialog::accepted, dialog,
                   [dialog, done = std::move(done)] { done(dialog->Cells()); });
  dialog->open();
}
