#pragma once

#include <QElapsedTimer>
#include <QHash>
#include <QWidget>
#include <functional>

#include "labfeed.h"

class QLabel;
class QTableWidget;
class QThread;
class QTimer;

// The live view of the whole lab: every running session on the server, one
// row each (bench, port, cells, start, each channel's newest voltage,
// current and capacity, the status word and the age of the newest chunk).
// A session whose newest chunk is older than kStaleMs is marked in words
// and colour. The rows change as the server notifies new chunks; the
// server is read on a thread of its own, so a slow or absent server never
// holds up the window. Double-clicking a row asks for the session to open.
class LabWindow : public QWidget {
  Q_OBJECT
 public:
  explicit LabWindow(const QString& uri, QWidget* parent = nullptr);
  // Stops the feed and waits for its thread.
  ~LabWindow() override;

  static constexpr qint64 kStaleMs = 10'000;

  QTableWidget& Table() const { return *m_table; }
  QLabel& Status() const { return *m_status; }
  // The session shown in `row`.
  const LabSession& RowSession(int row) const;
  // The row of the session with `uuid`, or -1.
  int RowOf(const QString& uuid) const;
  // Whether the row is marked as silent for more than kStaleMs.
  bool RowStale(int row) const;

 signals:
  // The user asked to open a session (double-click or Enter on a row).
  void OpenRequested(const LabSession& session);
  // The rows changed (tools and tests).
  void Updated();
  // The server could not be reached or read; the status says so.
  void Unavailable(const QString& message);

 protected:
  // Enter on a row opens it, as a double-click does.
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  struct Row {
    LabSession session;
    QElapsedTimer since;  // since `session.ageMs` was measured
  };

  void OnConnected(const QList<LabSession>& running);
  void OnSessionChanged(const LabSession& session);
  void OnUnavailable(const QString& message);
  void Rebuild();
  void FillRow(int row);
  void Reage();
  std::optional<qint64> AgeMs(const Row& row) const;

  QString m_uri;
  QThread* m_thread = nullptr;
  LabFeed* m_feed = nullptr;
  QTimer* m_ager = nullptr;
  std::vector<Row> m_rows;  // in the table's order: by bench, then port
  QTableWidget* m_table = nullptr;
  QLabel* m_status = nullptr;
};
