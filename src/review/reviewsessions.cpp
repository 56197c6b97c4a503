#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include "celllabel.h"
#include "gradingview.h"
#include "reviewdialogs.h"
#include "reviewtext.h"
#include "reviewwindow.h"
#include "sessionlabel.h"
#include "snapshotreader.h"

// The review window's session list (filled from the store, filtered by cell
// and by what others ask) and the reading of sessions and files on workers.

void ReviewWindow::RefreshSessions() {
  m_sessionTable->setRowCount(0);
  m_sessions.clear();
  m_listed = false;
  if (!m_openStore) {
    m_status->setText(tr("没有会话记录库。"));
    return;
  }
  // Opening the store and listing it happen on a worker: a lab server that
  // is slow or out of reach would otherwise hold the window for as long as
  // the connection takes to give up. The same worker then looks up each
  // session's capacities and end voltages, newest session first, and each
  // row fills in as its session is done.
  const qint64 generation = ++m_listGeneration;
  m_listFilling = true;
  m_status->setText(tr("正在读取会话列表…"));
  StartWorker([this, generation, opener = m_openStore, state = m_state](const Post& post) {
    QString error;
    const std::unique_ptr<SessionReader> reader = opener(&error);
    QList<StoredSession> sessions;
    if (reader) {
      sessions = reader->Sessions();
      // Opening says what failed in the user's terms; a read error is the
      // driver's text.
      if (const QString why = reader->ReadError(); !why.isEmpty()) {
        error = tr("无法读取会话列表：%1").arg(why);
      }
    } else if (error.isEmpty()) {
      error = tr("没有会话记录库。");
    }
    const bool listed = reader && error.isEmpty();
    post([this, generation, sessions, error = listed ? QString() : error] {
      ShowSessions(generation, sessions, error);
    });
    for (auto it = sessions.rbegin(); listed && it != sessions.rend(); ++it) {
      if (state->cancel.load()) {
        break;
      }
      if (const std::optional<SessionEnds> ends = ReadSessionEnds(*reader, it->id)) {
        post([this, generation, id = it->id, ends = *ends] {
          if (generation == m_listGeneration) {
            ShowSessionEnds(id, ends);
          }
        });
      }
    }
    post([this, generation] {
      if (generation == m_listGeneration) {
        m_listFilling = false;
        emit SessionListFilled();
      }
    });
  });
}

void ReviewWindow::ShowSessions(qint64 generation, const QList<StoredSession>& sessions,
                                const QString& error) {
  if (generation != m_listGeneration) {
    return;  // a later refresh is under way
  }
  if (!error.isEmpty()) {
    m_status->setText(error);
    return;
  }
  if (m_status->text() == tr("正在读取会话列表…")) {
    m_status->clear();
  }
  m_listed = true;
  m_sessions = sessions;
  m_sessionTable->setRowCount(int(m_sessions.size()));
  // Newest first.
  for (int row = 0; row < m_sessions.size(); ++row) {
    const StoredSession& s = m_sessions[m_sessions.size() - 1 - row];
    m_sessionTable->setItem(row, 0, TableItem(QString::number(s.id)));
    m_sessionTable->setItem(row, 1, TableItem(DateText(s.startUtc.toLocalTime()), false));
    m_sessionTable->setItem(row, 2, TableItem(SessionDurationText(s)));
    m_sessionTable->setItem(row, 3, TableItem(s.port, false));
    m_sessionTable->setItem(row, 4, TableItem(SessionEndText(s.ended), false));
    for (int c = 5; c < 7; ++c) {
      m_sessionTable->setItem(row, c, TableItem(QStringLiteral("…")));
    }
    m_sessionTable->setItem(row, 7, TableItem(s.bench, false));
    m_sessionTable->setItem(row, 8, TableItem(CellsText(s.cells), false));
  }
  ApplySessionFilter();
  emit SessionsListed();
}

void ReviewWindow::WaitForSessionList() {
  while (m_listFilling) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

void ReviewWindow::SetSessionFilter(std::function<bool(const StoredSession&)> filter) {
  m_sessionFilter = std::move(filter);
  ApplySessionFilter();
}

void ReviewWindow::ApplySessionFilter() {
  // Rows are the sessions newest first.
  for (int row = 0; row < m_sessionTable->rowCount() && row < m_sessions.size(); ++row) {
    const StoredSession& s = m_sessions[m_sessions.size() - 1 - row];
    m_sessionTable->setRowHidden(row, (m_sessionFilter && !m_sessionFilter(s)) || !CellMatches(s));
  }
}

void ReviewWindow::ShowSessionEnds(qint64 id, const SessionEnds& ends) {
  for (int row = 0; row < m_sessionTable->rowCount(); ++row) {
    if (m_sessionTable->item(row, 0)->text().toLongLong() != id) {
      continue;
    }
    for (size_t c = 0; c < 2; ++c) {
      m_sessionTable->item(row, 5 + int(c))
          ->setText(ends[c] ? tr("%1 mAh / %2 mV").arg(ends[c]->capacity).arg(ends[c]->voltage)
                            : QStringLiteral("-"));
    }
  }
}

bool ReviewWindow::OpenSession(qint64 id) {
  return OpenRef(QString::number(id));
}

bool ReviewWindow::OpenFile(const QString& path) {
  StartLoad([path](QString* error) { return ReadSnapshotFile(path, error); });
  return true;
}

bool ReviewWindow::OpenRef(const QString& word) {
  const SourceRef ref = ParseSourceRef(word);
  if (ref.kind == SourceRef::Kind::File) {
    return OpenFile(ref.path);
  }
  // A session the list shown lacks is refused at once. Otherwise the
  // worker finds it, as the store has it then, and reads it: the store is
  // never read on this thread.
  if (m_listed) {
    const bool listed = ref.kind == SourceRef::Kind::Session
                            ? std::any_of(m_sessions.begin(), m_sessions.end(),
                                          [&](const StoredSession& s) { return s.id == ref.id; })
                            : !m_sessions.isEmpty();
    if (!listed) {
      m_dialogs->ShowError(this, ref.kind == SourceRef::Kind::Session
                                     ? tr("没有编号为 %1 的会话。").arg(ref.id)
                                     : tr("记录库中还没有会话。"));
      return false;
    }
  }
  StartLoad([opener = m_openStore, ref, state = m_state](QString* error) {
    std::unique_ptr<SessionReader> reader = opener ? opener(error) : nullptr;
    const std::optional<StoredSession> session = FindSourceSession(ref, reader.get(), error);
    if (!session) {
      return std::optional<ReviewSource>();
    }
    std::optional<ReviewSource> source =
        ReadSession(*reader, *session, error, [&state] { return !state->cancel.load(); });
    if (source) {
      // As the store tells after the read: a session read while it is still
      // being recorded has not stopped.
      const std::optional<StoredSession> now = reader->Find(session->id);
      source->running = now && now->ended == SessionEnd::Running;
    }
    return source;
  });
  return true;
}

void ReviewWindow::StartLoad(std::function<std::optional<ReviewSource>(QString* error)> read) {
  const qint64 number = m_nextLoad++;
  Load load;
  load.number = number;
  m_loads.push_back(std::move(load));
  m_status->setText(tr("正在读取…"));
  StartWorker([this, number, read = std::move(read)](const Post& post) {
    QString error;
    std::optional<ReviewSource> source;
    try {
      source = read(&error);
    } catch (const std::exception&) {
      error = tr("读取失败：内存不足或数据无法读取。");
    }
    auto result = std::make_shared<std::optional<ReviewSource>>(std::move(source));
    post([this, number, result, error] { OnLoadDone(number, std::move(*result), error); });
  });
}

void ReviewWindow::OnLoadDone(qint64 number, std::optional<ReviewSource> source,
                              const QString& error) {
  for (Load& load : m_loads) {
    if (load.number == number) {
      load.done = true;
      load.source = std::move(source);
      load.error = error;
    }
  }
  while (!m_loads.empty() && m_loads.front().done) {
    Load load = std::move(m_loads.front());
    m_loads.pop_front();
    if (load.source && load.source->channels[0].empty() && load.source->channels[1].empty()) {
      // Nothing to draw or sum up: say so rather than open an empty source.
      m_status->clear();
      m_dialogs->ShowError(this, tr("%1 中没有完整的数据帧（%2 行不是数据帧或无法解析）。")
                                     .arg(load.source->name)
                                     .arg(load.source->skipped));
      load.source.reset();
    } else if (load.source) {
      AddSource(std::move(*load.source));
    } else {
      m_status->clear();
      m_dialogs->ShowError(this, load.error);
    }
    emit LoadFinished(load.source.has_value());
  }
}

void ReviewWindow::WaitForLoads() {
  while (!m_loads.empty()) {
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
}

QString ReviewWindow::CellsText(const std::array<QString, 2>& cells) {
  QStringList named;
  for (int c = 0; c < 2; ++c) {
    if (!cells[size_t(c)].isEmpty()) {
      named << tr("%1（通道%2）").arg(cells[size_t(c)]).arg(c + 1);
    }
  }
  return named.join(tr("，"));
}

bool ReviewWindow::CellMatches(const StoredSession& s) const {
  // Part of a label finds it: a user may know only the batch's prefix.
  const QString wanted = m_cellFilter->text().trimmed();
  return wanted.isEmpty() || s.cells[0].contains(wanted, Qt::CaseInsensitive) ||
         s.cells[1].contains(wanted, Qt::CaseInsensitive);
}

void ReviewWindow::OnOpenSelectedClicked() {
  const QList<QTableWidgetItem*> selected = m_sessionTable->selectedItems();
  QList<int> rows;
  for (const QTableWidgetItem* item : selected) {
    if (!rows.contains(item->row())) {
      rows << item->row();
    }
  }
  for (int row : rows) {
    OpenSession(m_sessionTable->item(row, 0)->text().toLongLong());
  }
}

void ReviewWindow::OnOpenFileClicked() {
  for (const QString& path : m_dialogs->FilesToOpen(this)) {
    OpenFile(path);
  }
}

void ReviewWindow::SetLabelStore(const QString& path) {
  m_labelStore = path;
  UpdateLabelAction();
}

void ReviewWindow::UpdateLabelAction() {
  const qsizetype rows = m_sessionTable->selectionModel()->selectedRows().size();
  const bool local = !m_labelStore.isEmpty();
  m_labelAction->setEnabled(local && rows == 1);
  // Labels live with the sessions of a store: a data1.txt file has none.
  m_labelAction->setToolTip(
      !m_openStore
          ? tr("没有会话记录库：电池编号记在记录库的会话里，数据文件（data1.txt）不能设置。")
      : !local    ? tr("这里的会话是实验室服务器上的副本，电池编号只能在记录它的工作台上设置。")
      : rows != 1 ? tr("先在列表中选一个会话。")
                  : tr("设置或更正所选会话每个通道的电池编号"));
  m_labelButton->setEnabled(m_labelAction->isEnabled());
  m_labelButton->setToolTip(m_labelAction->toolTip());
}

void ReviewWindow::OnLabelClicked() {
  const QModelIndexList rows = m_sessionTable->selectionModel()->selectedRows();
  if (rows.size() != 1 || m_labelStore.isEmpty()) {
    return;
  }
  const qint64 id = m_sessionTable->item(rows[0].row(), 0)->text().toLongLong();
  std::array<QString, 2> cells;
  for (const StoredSession& s : std::as_const(m_sessions)) {
    if (s.id == id) {
      cells = s.cells;
    }
  }
  m_dialogs->AskCellLabels(this, cells, [this, id](const std::array<QString, 2>& labels) {
    QString error;
    if (!LabelSession(id, labels, &error)) {
      m_dialogs->ShowError(this, error);
    }
  });
}

bool ReviewWindow::LabelSession(qint64 id, const std::array<QString, 2>& cells, QString* error) {
  if (m_labelStore.isEmpty()) {
    *error = tr("这里的会话是实验室服务器上的副本，电池编号只能在记录它的工作台上设置。");
    return false;
  }
  StartWorker([this, path = m_labelStore, id, cells](const Post& post) {
    QString why;
    const bool ok = LabelStoredSession(path, id, {cells[0], cells[1]}, &why);
    post([this, id, cells, ok, why] {
      if (ok) {
        // As stored: the store cleans labels the same way.
        ShowLabels(id, {CleanCellLabel(cells[0]), CleanCellLabel(cells[1])});
      } else {
        m_dialogs->ShowError(this, why);
      }
      emit SessionLabelled(id, ok);
    });
  });
  return true;
}

void ReviewWindow::ShowLabels(qint64 id, const std::array<QString, 2>& stored) {
  for (StoredSession& s : m_sessions) {
    if (s.id == id) {
      s.cells = stored;
    }
  }
  for (int row = 0; row < m_sessionTable->rowCount(); ++row) {
    if (m_sessionTable->item(row, 0)->text().toLongLong() == id) {
      m_sessionTable->item(row, 8)->setText(CellsText(stored));
    }
  }
  ApplySessionFilter();
  bool opened = false;
  for (Opened& o : m_sources) {
    if (o.source.sessionId == id) {
      o.source.cells = stored;
      opened = true;
    }
  }
  if (opened) {
    RebuildPlot();
    RebuildCycles();
    RebuildSummaries();
    if (m_grading) {
      m_grading->Refresh();
    }
  }
}
