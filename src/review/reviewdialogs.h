#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <functional>

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
  // Asks for a session's cell labels, starting from `cells`, without
  // blocking the caller; `done` gets the labels once the user accepts
  // (never when cancelled).
  using CellsDone = std::function<void(const std::array<QString, 2>& cells)>;
  virtual void AskCellLabels(QWidget* parent, const std::array<QString, 2>& cells, CellsDone done) {
    Q_UNUSED(parent);
    Q_UNUSED(cells);
    Q_UNUSED(done);
  }
};

// The desktop's own dialogs.
class ReviewSystemDialogs final : public ReviewDialogs {
 public:
  QStringList FilesToOpen(QWidget* parent) override;
  QString ReportFileToSave(QWidget* parent) override;
  QString CsvFileToSave(QWidget* parent) override;
  QString BdfFolder(QWidget* parent) override;
  void ShowError(QWidget* parent, const QString& text) override;
  void AskCellLabels(QWidget* parent, const std::array<QString, 2>& cells, CellsDone done) override;
};
