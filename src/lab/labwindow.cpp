#include "labwindow.h"

#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QTableWidget>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

#include "serverconnection.h"

namespace {

enum Column {
  kBench,
  kPort,
  kCells,
  kStart,
  kVoltage1,
  kCurrent1,
  kCapacity1,
  kVoltage2,
  kCurrent2,
  kCapacity2,
  kStatus,
  kAge,
  kColumns
};

// The warning colour of a silent bench's row; the age cell says it in
// words too.
const QColor kStaleBackground(255, 215, 160);

QString AgeText(qint64 ms) {
  const qint64 s = ms / 1000;
  if (s < 60) {
    return LabWindow::tr("%1 秒前").arg(s);
  }
  if (s < 3600) {
    return LabWindow::tr("%1 分 %2 秒前").arg(s / 60).arg(s % 60);
  }
  return LabWindow::tr("%1 小时 %2 分前").arg(s / 3600).arg((s / 60) % 60);
}

bool Before(const LabSession& a, const LabSession& b) {
  return std::tie(a.bench, a.port, a.id) < std::tie(b.bench, b.port, b.id);
}

}  // namespace

LabWindow::LabWindow(const QString& uri, QWidget* parent)
    : QWidget(parent, Qt::Window), m_uri(uri) {
  setWindowTitle(tr("实验室"));
  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(4, 4, 4, 4);
  m_status = new QLabel(tr("正在连接实验室服务器 %1…").arg(serverconnection::Shown(uri)), this);
  m_status->setWordWrap(true);
  m_status->setAccessibleName(tr("服务器状态"));
  layout->addWidget(m_status);
  m_table = new QTableWidget(0, kColumns, this);
  m_table->setHorizontalHeaderLabels(
      {tr("工作台"), tr("端口"), tr("电池"), tr("开始"), tr("通道1\n电压(mV)"),
       tr("通道1\n电流(mA)"), tr("通道1\n容量(mAh)"), tr("通道2\n电压(mV)"), tr("通道2\n电流(mA)"),
       tr("通道2\n容量(mAh)"), tr("状态"), tr("最新数据")});
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->setSelectionMode(QAbstractItemView::SingleSelection);
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->setTabKeyNavigation(false);
  m_table->verticalHeader()->setVisible(false);
  m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  m_table->horizontalHeader()->setStretchLastSection(true);
  m_table->setAccessibleName(tr("正在记录的会话"));
  m_table->setAccessibleDescription(tr("双击一行，在历史记录窗口中打开该会话并跟随新数据"));
  m_table->installEventFilter(this);
  layout->addWidget(m_table);
  resize(1200, 420);

  connect(m_table, &QTableWidget::cellDoubleClicked, this, [this](int row) {
    if (row >= 0 && size_t(row) < m_rows.size()) {
      emit OpenRequested(m_rows[size_t(row)].session);
    }
  });

  // Ages move on by themselves; nothing is read for it.
  m_ager = new QTimer(this);
  m_ager->setInterval(1000);
  connect(m_ager, &QTimer::timeout, this, &LabWindow::Reage);
  m_ager->start();

  m_thread = new QThread(this);
  m_feed = new LabFeed(uri);
  m_feed->moveToThread(m_thread);
  connect(m_thread, &QThread::finished, m_feed, &QObject::deleteLater);
  connect(m_feed, &LabFeed::Connected, this, &LabWindow::OnConnected);
  connect(m_feed, &LabFeed::SessionChanged, this, &LabWindow::OnSessionChanged);
  connect(m_feed, &LabFeed::Unavailable, this, &LabWindow::OnUnavailable);
  m_thread->start();
  QMetaObject::invokeMethod(m_feed, &LabFeed::Start, Qt::QueuedConnection);
}

LabWindow::~LabWindow() {
  // The feed's connection belongs to its thread, so it is closed there.
  QMetaObject::invokeMethod(m_feed, &LabFeed::Stop, Qt::BlockingQueuedConnection);
  m_thread->quit();
  m_thread->wait();
}

bool LabWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == m_table && event->type() == QEvent::KeyPress) {
    const auto* key = static_cast<QKeyEvent*>(event);
    const int row = m_table->currentRow();
    if ((key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter) && row >= 0 &&
        size_t(row) < m_rows.size()) {
      emit OpenRequested(m_rows[size_t(row)].session);
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

const LabSession& LabWindow::RowSession(int row) const {
  return m_rows[size_t(row)].session;
}

int LabWindow::RowOf(const QString& uuid) const {
  for (size_t i = 0; i < m_rows.size(); ++i) {
    if (m_rows[i].session.uuid == uuid) {
      return int(i);
    }
  }
  return -1;
}

std::optional<qint64> LabWindow::AgeMs(const Row& row) const {
  if (!row.session.ageMs) {
    return std::nullopt;
  }
  return *row.session.ageMs + row.since.elapsed();
}

bool LabWindow::RowStale(int row) const {
  const Row& r = m_rows[size_t(row)];
  const std::optional<qint64> age = AgeMs(r);
  // A session without any chunk yet counts from its start.
  return age ? *age > kStaleMs : false;
}

void LabWindow::OnConnected(const QList<LabSession>& running) {
  m_rows.clear();
  for (const LabSession& s : running) {
    Row row;
    row.session = s;
    row.since.start();
    m_rows.push_back(std::move(row));
  }
  std::sort(m_rows.begin(), m_rows.end(),
            [](const Row& a, const Row& b) { return Before(a.session, b.session); });
  m_status->setText(tr("实验室服务器 %1：%2 个会话正在记录。")
                        .arg(serverconnection::Shown(m_uri))
                        .arg(m_rows.size()));
  Rebuild();
  emit Updated();
}

void LabWindow::OnSessionChanged(const LabSession& session) {
  const int at = RowOf(session.uuid);
  if (!session.running) {
    if (at >= 0) {
      m_rows.erase(m_rows.begin() + at);
      m_table->removeRow(at);
    }
  } else if (at >= 0) {
    m_rows[size_t(at)].session = session;
    m_rows[size_t(at)].since.start();
    FillRow(at);
  } else {
    Row row;
    row.session = session;
    row.since.start();
    const auto where = std::find_if(m_rows.begin(), m_rows.end(),
                                    [&](const Row& r) { return Before(session, r.session); });
    const int index = int(where - m_rows.begin());
    m_rows.insert(where, std::move(row));
    m_table->insertRow(index);
    FillRow(index);
  }
  m_status->setText(tr("实验室服务器 %1：%2 个会话正在记录。")
                        .arg(serverconnection::Shown(m_uri))
                        .arg(m_rows.size()));
  emit Updated();
}

void LabWindow::OnUnavailable(const QString& message) {
  m_status->setText(
      tr("⚠ 实验室服务器不可用，%1 秒后重试：%2").arg(LabFeed::kRetryMs / 1000).arg(message));
  emit Unavailable(message);
}

void LabWindow::Rebuild() {
  m_table->setRowCount(int(m_rows.size()));
  for (int row = 0; row < int(m_rows.size()); ++row) {
    FillRow(row);
  }
}

void LabWindow::FillRow(int row) {
  const LabSession& s = m_rows[size_t(row)].session;
  const auto set = [&](int column, const QString& text, bool number) {
    QTableWidgetItem* item = m_table->item(row, column);
    if (!item) {
      item = new QTableWidgetItem;
      item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
      if (number) {
        item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
      }
      m_table->setItem(row, column, item);
    }
    item->setText(text);
  };
  set(kBench, s.bench, false);
  set(kPort, s.port, false);
  QStringList cells;
  for (const QString& cell : s.cells) {
    cells << (cell.isEmpty() ? QStringLiteral("-") : cell);
  }
  set(kCells, cells.join(QStringLiteral(" / ")), false);
  set(kStart, s.startUtc.toLocalTime().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), false);
  for (int c = 0; c < 2; ++c) {
    const std::optional<LabReading>& last = s.last[size_t(c)];
    const int first = c == 0 ? kVoltage1 : kVoltage2;
    set(first, last ? QString::number(last->voltage) : QStringLiteral("-"), true);
    set(first + 1, last ? QString::number(last->current) : QStringLiteral("-"), true);
    set(first + 2, last ? QString::number(last->capacity) : QStringLiteral("-"), true);
  }
  set(kStatus, s.status, false);
  set(kAge, QString(), false);
  Reage();
}

void LabWindow::Reage() {
  for (int row = 0; row < int(m_rows.size()); ++row) {
    QTableWidgetItem* age = m_table->item(row, kAge);
    if (!age) {
      continue;
    }
    const std::optional<qint64> ms = AgeMs(m_rows[size_t(row)]);
    const bool stale = RowStale(row);
    age->setText(!ms     ? tr("还没有数据")
                 : stale ? tr("⚠ %1（超过 10 秒没有新数据）").arg(AgeText(*ms))
                         : AgeText(*ms));
    for (int c = 0; c < kColumns; ++c) {
      if (QTableWidgetItem* item = m_table->item(row, c)) {
        item->setBackground(stale ? QBrush(kStaleBackground) : QBrush());
      }
    }
  }
}
