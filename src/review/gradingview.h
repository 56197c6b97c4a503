#pragma once

#include <QWidget>
#include <functional>
#include <optional>
#include <vector>

#include "grading.h"
#include "reviewreport.h"

class QDoubleSpinBox;
class QLabel;
class QTableWidget;
class ReviewDialogs;

// The grading of the curves the review shows, in a window of its own: one
// row per cell and cycle ranked by capacity, each with its group, the
// batch's mean and standard deviation, the group width (± %) to choose, and
// the table exported as CSV. The capacity to a cut-off voltage uses the
// review window's one cut-off, shown here.
class GradingView : public QWidget {
  Q_OBJECT
 public:
  // `entries` gives the batch's figures for a cut-off (none for no cut-off);
  // `cutoff` tells the cut-off in force.
  using EntrySource = std::function<std::vector<GradeEntry>(std::optional<qint32> cutoffMv)>;
  using CutoffSource = std::function<std::optional<qint32>()>;
  GradingView(EntrySource entries, CutoffSource cutoff, ReviewDialogs* dialogs,
              QWidget* parent = nullptr);

  double Percent() const;
  std::optional<qint32> Cutoff() const { return m_cutoff(); }
  void SetPercent(double percent);
  const Grading& Result() const { return m_grading; }
  QTableWidget& Table() const { return *m_table; }
  bool ExportCsv(const QString& path, QString* error);

  // Grades the batch again (new sources, another width or cut-off).
  void Refresh();

 private:
  void OnCsvClicked();
  // The width the window needs to show every column in full.
  int TableWidth() const;
  // The widest the window may be on its screen.
  int ScreenRoom() const;

  EntrySource m_entries;
  CutoffSource m_cutoff;
  ReviewDialogs* m_dialogs;
  Grading m_grading;
  QDoubleSpinBox* m_percent = nullptr;
  QLabel* m_cutoffText = nullptr;
  QLabel* m_summary = nullptr;
  QTableWidget* m_table = nullptr;
};

class ReviewWindow;
// The figures of each cycle of each curve the review window shows (a curve
// ticked off leaves the batch); the window outlives what this returns.
GradingView::EntrySource ShownCurveCycles(const ReviewWindow& window);
// Adds the grading of the curves shown to the report, with the review
// window's cut-off and the grading window's range (the default when `view`
// is null), when there are at least two rows to compare.
void AddGrading(ReportContent& report, const ReviewWindow& window, const GradingView* view);
