#include "chartsystemdialogs.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QMessageBox>
#include <QPrintDialog>
#include <QPrinter>

namespace {
const QString kPngFilter = QStringLiteral("PNG image (*.png)");
const QString kPdfFilter = QStringLiteral("PDF document (*.pdf)");
const QString kCsvFilter = QStringLiteral("CSV file (*.csv)");

// Adds the filter's suffix when the user typed a name without one.
QString WithSuffix(const QString& path, const QString& suffix) {
  if (path.isEmpty() || !QFileInfo(path).suffix().isEmpty()) {
    return path;
  }
  return path + QLatin1Char('.') + suffix;
}
}  // namespace

QString ChartSystemDialogs::ImageFileToSave(QWidget* parent) {
  QString filter = kPngFilter;
  const QString path =
      QFileDialog::getSaveFileName(parent, QStringLiteral("Save Chart Image"), QString(),
                                   kPngFilter + QStringLiteral(";;") + kPdfFilter, &filter);
  return WithSuffix(path, filter == kPdfFilter ? QStringLiteral("pdf") : QStringLiteral("png"));
}

QString ChartSystemDialogs::CsvFileToSave(QWidget* parent) {
  return WithSuffix(QFileDialog::getSaveFileName(parent, QStringLiteral("Save Chart Data"),
                                                 QString(), kCsvFilter),
                    QStringLiteral("csv"));
}

bool ChartSystemDialogs::SetUpPrinter(QWidget* parent, QPrinter& printer) {
  QPrintDialog dialog(&printer, parent);
  return dialog.exec() == QDialog::Accepted;
}

void ChartSystemDialogs::ShowError(QWidget* parent, const QString& text) {
  QMessageBox::warning(parent, QStringLiteral("Chart"), text);
}
