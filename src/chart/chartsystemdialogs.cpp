#include "chartsystemdialogs.h"

#include <QCoreApplication>
#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace {

// Adds the filter's suffix when the user typed a name without one.
QString WithSuffix(const QString& path, const QString& suffix) {
  if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty()) {
    return path;
  }
  return path + QLatin1Char('.') + suffix;
}
}  // namespace

QString ChartSystemDialogs::ImageFileToSave(QWidget* parent) {
  const QString png = QCoreApplication::translate("ChartSystemDialogs", "PNG 图像 (*.png)");
  const QString pdf = QCoreApplication::translate("ChartSystemDialogs", "PDF 文档 (*.pdf)");
  QString filter = png;
  const QString path = QFileDialog::getSaveFileName(
      parent, QCoreApplication::translate("ChartSystemDialogs", "保存图表图像"), QString(),
      png + QStringLiteral(";;") + pdf, &filter);
  return WithSuffix(path, filter == pdf ? QStringLiteral("pdf") : QStringLiteral("png"));
}

QString ChartSystemDialogs::CsvFileToSave(QWidget* parent) {
  return WithSuffix(
      QFileDialog::getSaveFileName(
          parent, QCoreApplication::translate("ChartSystemDialogs", "导出图表数据"), QString(),
          QCoreApplication::translate("ChartSystemDialogs", "CSV 文件 (*.csv)")),
      QStringLiteral("csv"));
}

bool ChartSystemDialogs::SetUpPrinter(QWidget* parent, QPrinter& printer) {
  QPrintDialog dialog(&printer, parent);
  return dialog.exec() == QDialog::Accepted;
}

void ChartSystemDialogs::ShowError(QWidget* parent, const QString& text) {
  QMessageBox::warning(parent, QCoreApplication::translate("ChartSystemDialogs", "图表"), text);
}
