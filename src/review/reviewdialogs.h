#pragma once

#include <QString>
#include <QStringList>

class QWidget;

// The review window's modal dialogs, behind one seam so that tests can answer
// them without opening anything.
class ReviewDialogs {
 public:
  virtual ~ReviewDialogs() = default;
  // data1.txt files to open; empty when cancelled.
  virtual QStringList FilesToOpen(QWidget* parent) = 0;
  // Where to save a report (".pdf" or ".png") or the CSV; empty when cancelled.
  virtual QString ReportFileToSave(QWidget* parent) = 0;
  virtual QString CsvFileToSave(QWidget* parent) = 0;
  // The folder for the Battery Data Format files; empty when cancelled.
  virtual QString BdfFolder(QWidget* parent) {
    Q_UNUSED(parent);
    return {};
  }
  virtual void ShowError(QWidget* parent, const QString& text) = 0;
};

// The desktop's own dialogs.
class ReviewSystemDialogs final : public ReviewDialogs {
 public:
  QStringList FilesToOpen(QWidget* parent) override;
  QString ReportFileToSave(QWidget* parent) override;
  QString CsvFileToSave(QWidget* parent) override;
  QString BdfFolder(QWidget* parent) override;
  void ShowError(QWidget* parent, const QString& text) override;
};
