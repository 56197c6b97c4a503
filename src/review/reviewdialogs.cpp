#include "reviewdialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QMessageBox>

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
