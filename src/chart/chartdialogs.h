#pragma once

#include <QString>

class QPrinter;
class QWidget;

// The chart toolbar's modal dialogs, behind one seam so that tests can answer
// them without opening anything.
class ChartDialogs {
 public:
  virtual ~ChartDialogs() = default;
  // The file to save the chart's image in, ending ".png" or ".pdf"; empty
  // when the user cancels.
  virtual QString ImageFileToSave(QWidget* parent) = 0;
  // The file to save the traces' points in as CSV; empty when cancelled.
  virtual QString CsvFileToSave(QWidget* parent) = 0;
  // Lets the user set the printer up; false when printing is cancelled.
  virtual bool SetUpPrinter(QWidget* parent, QPrinter& printer) = 0;
  virtual void ShowError(QWidget* parent, const QString& text) = 0;
};
