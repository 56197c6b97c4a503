#pragma once

#include "chartdialogs.h"

// The chart's dialogs as the desktop shows them: file dialogs, the print
// dialog and a warning box.
class ChartSystemDialogs final : public ChartDialogs {
 public:
  QString ImageFileToSave(QWidget* parent) override;
  QString CsvFileToSave(QWidget* parent) override;
  bool SetUpPrinter(QWidget* parent, QPrinter& printer) override;
  void ShowError(QWidget* parent, const QString& text) override;
};
