#pragma once

#include <QColor>
#include <QWidget>
#include <array>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "dischargesummary.h"
#include "reviewcsv.h"
#include "reviewreport.h"
#include "reviewsource.h"
#include "sessionsource.h"
#include "summarycommand.h"

class QAction;
class QBoxLayout;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class QTreeWidget;
class QThread;
class QTreeWidgetItem;
class CycleViews;
class GradingView;
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
  // `openStore` opens a connection to the session store: one for the list,
  // and one on each worker thread that reads sessions. Without a store the
  // window still opens files. It must be callable from any thread.
  explicit ReviewWindow(const StoreOpener& openStore, QWidget* parent = nullptr);
  // Stops the readers still at work and waits for them.
  ~ReviewWindow() override;

  // Sessions and files are read on worker threads, so the window stays
  // responsive while a week is read; they join the view in the order asked
  // for. Each returns whether the reading started; failures, then or later,
  // are reported through the dialogs.
  bool OpenSession(qint64 id);
  bool OpenFile(const QString& path);
  // Opens what a command-line word names: an id, "latest" or a file.
  bool OpenRef(const QString& word);
  // Readings still under way.
  int PendingLoads() const { return int(m_loads.size()); }
  // Runs the event loop until every reading has ended (tools and tests).
  void WaitForLoads();
  void AddSource(ReviewSource source);
  void CloseAll();

  void SetXAxis(ReviewXAxis axis);
  void SetQuantity(Quantity quantity);
  // Temperature on a second, right-hand Y axis beside the chosen quantity.
  void SetTemperatureShown(bool shown);
  // Shows or hides one channel's curve of an opened source.
  void SetCurveShown(int source, int channel, bool shown);
  bool CurveShown(int source, int channel) const {
    return m_sources[size_t(source)].shown[size_t(channel - 1)];
  }
  QString CurveTitle(int source, int channel) const {
    return CurveName(m_sources[size_t(source)], channel);
  }

  int SourceCount() const { return int(m_sources.size()); }
  const ReviewSource& Source(int i) const { return m_sources[size_t(i)].source; }
  QColor CurveColour(int source, int channel) const;
  ReviewPlot& Plot() const { return *m_plot; }
  QTableWidget& SessionTable() const { return *m_sessionTable; }
  QTableWidget& SummaryTable() const { return *m_summaryTable; }
  CycleViews& Cycles() const { return *m_cycles; }
  // Runs the event loop until the session list and its capacity and
  // end-voltage columns, read on a worker thread, are filled (tools and
  // tests).
  void WaitForSessionList();

  // The sessions the list was last filled with, oldest first.
  const QList<StoredSession>& StoredSessions() const { return m_sessions; }
  // Shows only the listed sessions `filter` accepts (all when empty).
  void SetSessionFilter(std::function<bool(const StoredSession&)> filter);
  // A row above the session list for controls that others add (filters).
  QBoxLayout& ListBar() const { return *m_listBar; }
  // The listed sessions are those of the local store at `path`, whose cell
  // labels the window may change. Without one (sessions read from a lab
  // server are the benches' replicas) labels are set where they were
  // recorded.
  void SetLabelStore(const QString& path);
  // Labels the cells of listed session `id` in that store (an empty label
  // removes one). The store is written on a worker (the recording's writer
  // may hold it for a moment); then the list, the opened curves' names, the
  // summaries and the report follow, or the reason it failed is shown, and
  // SessionLabelled tells which. Returns false at once, with a user-facing
  // reason in `error`, when this window labels no store.
  bool LabelSession(qint64 id, const std::array<QString, 2>& cells, QString* error);
  // "电池编号…" on the session list: enabled for one session of the store.
  QAction& LabelAction() const { return *m_labelAction; }
  // Adds the readings of chunks that arrived after the opened session
  // `sessionId` was read (a session followed as it records); `chunks` is
  // then the number of its chunks read in all.
  void AppendReadings(qint64 sessionId, const std::array<std::vector<ChannelSample>, 2>& more,
                      qint64 chunks, bool running);

 signals:
  // A reading asked for has ended and its source, if read, is in view.
  void LoadFinished(bool ok);
  void SessionListFilled();
  // A label written by LabelSession is stored (ok) or was refused.
  void SessionLabelled(qint64 id, bool ok);
  // The session list was filled again from the store.
  void SessionsListed();

 public:
  ReportContent Report();
  // The grading window, once opened (tools and tests); null before.
  GradingView* GradingWindow() const { return m_grading; }
  // Opens (or raises) the grading window over the curves shown.
  void OpenGrading();
  bool SaveReport(const QString& path);
  // CSV of everything opened, in the columns of the store's export.
  bool ExportCsv(const QString& path, QString* error = nullptr);
  // Each opened channel as a Battery Data Format file in the folder `dir`.
  bool ExportBdf(const QString& dir, QString* error = nullptr);
  void SetDialogs(ReviewDialogs* dialogs);  // not owned; nullptr: the desktop's own

 protected:
  // The size the window has when the user closes it is kept for the next
  // time it opens.
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Opened {
    ReviewSource source;
    std::array<QColor, 2> colours;
    std::array<bool, 2> shown{true, true};
    std::vector<DischargeSummary> summaries;
    bool running = false;  // a stored session still being recorded
  };

  // One reading in progress; results are taken in the order asked for.
  struct Load {
    qint64 number = 0;
    bool done = false;
    std::optional<ReviewSource> source;
    QString error;
  };

  void BuildUi();
  void RefreshSessions();
  // The list read by refresh `generation`, or why it could not be read.
  void ShowSessions(qint64 generation, const QList<StoredSession>& sessions, const QString& error);
  void ShowSessionEnds(qint64 id, const SessionEnds& ends);
  void ApplySessionFilter();
  void StartLoad(std::function<std::optional<ReviewSource>(QString* error)> read);
  void OnLoadDone(qint64 number, std::optional<ReviewSource> source, const QString& error);
  // Hands a worker's result to the window on the window's thread; does
  // nothing once the window is gone. Callable on any thread.
  using Post = std::function<void(std::function<void()> onWindow)>;
  // Runs `work` on a thread of its own. A worker still at work when the
  // window closes (a lab server slow to answer keeps one for up to its
  // connect timeout) is left to finish by itself: closing never waits for it.
  void StartWorker(std::function<void(const Post& post)> work);
  void OnOpenSelectedClicked();
  void OnLabelClicked();
  void UpdateLabelAction();
  // Shows the labels of session `id` as stored.
  void ShowLabels(qint64 id, const std::array<QString, 2>& stored);
  void OnOpenFileClicked();
  void OnReportClicked();
  void OnCsvClicked();
  void OnBdfClicked();
  void OnOpenedItemChanged(QTreeWidgetItem* item);
  void RebuildOpenedList();
  void RebuildPlot();
  void RebuildSummaries();
  // The cycle table, the fade and the dQ/dV plots, for what is open now.
  void RebuildCycles();
  QString CurveName(const Opened& opened, int channel) const;
  // "A0001（通道1），B0002（通道2）": a session's labelled cells.
  static QString CellsText(const std::array<QString, 2>& cells);
  // Whether the session's cell labels hold the cell filter's text.
  bool CellMatches(const StoredSession& s) const;
  // A summary's figures as the table and the report show them, after the
  // curve's name.
  QStringList SummaryCells(const Opened& opened, const DischargeSummary& summary) const;
  // The size the user last gave the window, within the screen's free area.
  QSize StartSize() const;
  std::vector<CsvSource> CsvSources() const;
  QColor NextColour();

  StoreOpener m_openStore;
  // Shared with the worker threads, which may outlive a reading's request.
  struct WorkerState {
    std::atomic<bool> cancel = false;  // the window is going
  };
  std::shared_ptr<WorkerState> m_state;
  std::vector<QThread*> m_workers;
  std::deque<Load> m_loads;
  qint64 m_nextLoad = 0;
  bool m_listFilling = false;
  bool m_listed = false;        // m_sessions holds the store's list
  qint64 m_listGeneration = 0;  // of the latest refresh
  std::vector<Opened> m_sources;
  int m_coloursUsed = 0;
  ReviewXAxis m_xAxis = ReviewXAxis::Time;
  Quantity m_quantity = Quantity::Voltage;
  bool m_temperatureShown = false;
  QList<StoredSession> m_sessions;
  bool m_rebuilding = false;

  std::function<bool(const StoredSession&)> m_sessionFilter;

  QTableWidget* m_sessionTable = nullptr;
  QBoxLayout* m_listBar = nullptr;
  QLineEdit* m_cellFilter = nullptr;
  QString m_labelStore;
  QAction* m_labelAction = nullptr;
  QPushButton* m_labelButton = nullptr;
  QTreeWidget* m_openedTree = nullptr;
  QComboBox* m_quantityBox = nullptr;
  QComboBox* m_xAxisBox = nullptr;
  QCheckBox* m_temperatureBox = nullptr;
  QLabel* m_status = nullptr;
  ReviewPlot* m_plot = nullptr;
  QTableWidget* m_summaryTable = nullptr;
  CycleViews* m_cycles = nullptr;
  std::unique_ptr<ReviewDialogs> m_systemDialogs;
  ReviewDialogs* m_dialogs = nullptr;
  GradingView* m_grading = nullptr;  // made when first asked for
};
