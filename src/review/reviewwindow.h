#pragma once

#include <QColor>
#include <QHash>
#include <QWidget>
#include <array>
#include <memory>
#include <optional>
#include <vector>

#include "dischargesummary.h"
#include "reviewreport.h"
#include "reviewsource.h"
#include "summarycommand.h"

class QComboBox;
class QLabel;
class QPushButton;
class QTableWidget;
class QTreeWidget;
class QTreeWidgetItem;
class ReviewDialogs;
class ReviewPlot;

// What the review plot's x axis shows.
enum class ReviewXAxis { Time, Capacity };

// The review window: the stored sessions listed (start, duration, port, how
// it ended, each channel's capacity and end voltage), and the sessions and
// data1.txt files opened from them, each channel one curve in a colour of its
// own that it keeps while it stays open. The curves are overlaid on one plot
// of the chosen quantity against elapsed time or delivered capacity; below
// it each curve's discharge summary. Exports: CSV of everything opened, a
// one-page report as PDF or PNG.
class ReviewWindow : public QWidget {
  Q_OBJECT
 public:
  // `openStore` is asked for the session store once, when the window is made;
  // without a store the window still opens files.
  explicit ReviewWindow(const StoreOpener& openStore, QWidget* parent = nullptr);
  ~ReviewWindow() override;

  // Opening reports failures through the dialogs and returns false.
  bool OpenSession(qint64 id);
  bool OpenFile(const QString& path);
  // Opens what a command-line word names: an id, "latest" or a file.
  bool OpenRef(const QString& word);
  void AddSource(ReviewSource source);
  void CloseAll();

  void SetXAxis(ReviewXAxis axis);
  void SetQuantity(Quantity quantity);
  // Shows or hides one channel's curve of an opened source.
  void SetCurveShown(int source, int channel, bool shown);

  int SourceCount() const { return int(m_sources.size()); }
  const ReviewSource& Source(int i) const { return m_sources[size_t(i)].source; }
  QColor CurveColour(int source, int channel) const;
  ReviewPlot& Plot() const { return *m_plot; }
  QTableWidget& SessionTable() const { return *m_sessionTable; }
  QTableWidget& SummaryTable() const { return *m_summaryTable; }
  // Fills the session list's capacity and end-voltage columns now, instead
  // of one session per event-loop turn.
  void FinishSessionList();

  ReportContent Report();
  bool SaveReport(const QString& path);
  bool ExportCsv(const QString& path);
  void SetDialogs(ReviewDialogs* dialogs);  // not owned; nullptr: the desktop's own

 private:
  struct Opened {
    ReviewSource source;
    std::array<QColor, 2> colours;
    std::array<bool, 2> shown{true, true};
    std::vector<DischargeSummary> summaries;
  };

  void BuildUi();
  void RefreshSessions();
  void FillNextSessionRow();
  void FillSessionRow(int row);
  void OnOpenSelectedClicked();
  void OnOpenFileClicked();
  void OnReportClicked();
  void OnCsvClicked();
  void OnOpenedItemChanged(QTreeWidgetItem* item);
  void RebuildOpenedList();
  void RebuildPlot();
  void RebuildSummaries();
  QString CurveName(const Opened& opened, int channel) const;
  QColor NextColour();

  std::unique_ptr<SessionReader> m_store;
  QString m_storeError;
  std::vector<Opened> m_sources;
  int m_coloursUsed = 0;
  ReviewXAxis m_xAxis = ReviewXAxis::Time;
  Quantity m_quantity = Quantity::Voltage;
  QList<StoredSession> m_sessions;
  int m_nextSessionRow = 0;
  QHash<qint64, std::vector<DischargeSummary>> m_sessionSummaries;
  bool m_rebuilding = false;

  QTableWidget* m_sessionTable = nullptr;
  QTreeWidget* m_openedTree = nullptr;
  QComboBox* m_quantityBox = nullptr;
  QComboBox* m_xAxisBox = nullptr;
  QLabel* m_status = nullptr;
  ReviewPlot* m_plot = nullptr;
  QTableWidget* m_summaryTable = nullptr;
  std::unique_ptr<ReviewDialogs> m_systemDialogs;
  ReviewDialogs* m_dialogs = nullptr;
};
