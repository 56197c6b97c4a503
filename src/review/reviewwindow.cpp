#include "reviewwindow.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPainter>
#include <QPixmap>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "bdfexport.h"
#include "cycleviews.h"
#include "focusmark.h"
#include "gradingview.h"
#include "reviewdialogs.h"
#include "reviewplot.h"
#include "savefile.h"
#include "sessionsource.h"
#include "snapshotreader.h"
#include "stepsums.h"
#include "usersettings.h"

namespace {

const QString kSizeKey = QStringLiteral("review/size");
constexpr int kDefaultWidth = 1300;  // px
constexpr int kDefaultHeight = 800;
// What a window frame and title bar may add to the window's own size.
constexpr int kFrameAllowance = 16;

// Curve colours that read well on the plot's black face; the first two are
// the live chart's channel colours.
const QColor kPalette[] = {QColor(255, 0, 0),     QColor(255, 255, 0),   QColor(0, 255, 255),
                           QColor(0, 255, 0),     QColor(255, 0, 255),   QColor(255, 140, 0),
                           QColor(120, 150, 255), QColor(255, 255, 255), QColor(255, 150, 190),
                           QColor(160, 255, 160), QColor(200, 120, 255), QColor(180, 180, 60)};

QString DateText(const QDateTime& t) {
  return t.isValid() ? t.toString(QStringLiteral("yyyy-MM-dd HH:mm")) : QStringLiteral("-");
}

QIcon Swatch(const QColor& colour) {
  QPixmap pixmap(14, 14);
  pixmap.fill(colour);
  QPainter p(&pixmap);
  p.setPen(Qt::black);
  p.drawRect(0, 0, 13, 13);
  return QIcon(pixmap);
}

QTableWidgetItem* Cell(const QString& text, bool number = true) {
  auto* item = new QTableWidgetItem(text);
  item->setFlags(Qt::ItemIsSelectable | Qt::ItemIsEnabled);
  if (number) {
    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
  }
  return item;
}

QString QuantityTitle(Quantity q) {
  switch (q) {
    case Quantity::Time:
      return ReviewWindow::tr("时间(S)");
    case Quantity::Voltage:
      return ReviewWindow::tr("电压(mV)");
    case Quantity::Current:
      return ReviewWindow::tr("电流(mA)");
    case Quantity::Capacity:
      return ReviewWindow::tr("容量(mAh)");
    case Quantity::Temperature:
      return ReviewWindow::tr("温度");
  }
  return {};
}

}  // namespace

ReviewWindow::ReviewWindow(const StoreOpener& openStore, QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_openStore(openStore),
      m_state(std::make_shared<WorkerState>()),
      m_systemDialogs(std::make_unique<ReviewSystemDialogs>()),
      m_dialogs(m_systemDialogs.get()) {
  setWindowTitle(tr("历史记录"));
  BuildUi();
  if (openStore) {
    m_store = openStore(&m_storeError);
  }
  RefreshSessions();
}

ReviewWindow::~ReviewWindow() {
  m_state->cancel.store(true);
  for (QThread* worker : m_workers) {
    worker->wait();
    delete worker;
  }
}

void ReviewWindow::StartWorker(std::function<void()> work) {
  QThread* worker = QThread::create(std::move(work));
  m_workers.push_back(worker);
  connect(worker, &QThread::finished, this, [this, worker] {
    m_workers.erase(std::find(m_workers.begin(), m_workers.end(), worker));
    worker->deleteLater();
  });
  worker->start(QThread::LowPriority);
}

void ReviewWindow::SetDialogs(ReviewDialogs* dialogs) {
  m_dialogs = dialogs != nullptr ? dialogs : m_systemDialogs.get();
  m_cycles->SetDialogs(m_dialogs);
}

void ReviewWindow::BuildUi() {
  // The lists and plots above, the tables below across the whole width.
  auto* rows = new QSplitter(Qt::Vertical, this);
  auto* splitter = new QSplitter(Qt::Horizontal, rows);
  auto* outer = new QVBoxLayout(this);
  outer->setContentsMargins(4, 4, 4, 4);
  outer->addWidget(rows);

  // Left: the stored sessions, the buttons that open, and what is open.
  auto* left = new QWidget(splitter);
  auto* leftLayout = new QVBoxLayout(left);
  leftLayout->setContentsMargins(0, 0, 0, 0);
  auto* listHead = new QHBoxLayout;
  listHead->addWidget(new QLabel(tr("已记录的会话"), left), 1);
  m_cellFilter = new QLineEdit(left);
  m_cellFilter->setPlaceholderText(tr("按电池编号查找"));
  m_cellFilter->setAccessibleName(tr("按电池编号查找"));
  m_cellFilter->setClearButtonEnabled(true);
  listHead->addWidget(m_cellFilter);
  leftLayout->addLayout(listHead);
  m_listBar = new QHBoxLayout;
  leftLayout->addLayout(m_listBar);
  m_sessionTable = new QTableWidget(0, 9, left);
  m_sessionTable->setHorizontalHeaderLabels({tr("编号"), tr("开始"), tr("时长"), tr("端口"),
                                             tr("结束方式"), tr("通道1 容量/终止电压"),
                                             tr("通道2 容量/终止电压"), tr("工作台"),
                                             tr("电池编号")});
  // The bench is shown after the number; its column keeps its index.
  m_sessionTable->horizontalHeader()->moveSection(7, 1);
  m_sessionTable->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_sessionTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_sessionTable->verticalHeader()->setVisible(false);
  m_sessionTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  m_sessionTable->setAccessibleName(tr("已记录的会话"));
  leftLayout->addWidget(m_sessionTable, 3);
  auto* buttons = new QHBoxLayout;
  auto* openSelected = new QPushButton(tr("打开所选会话"), left);
  auto* openFile = new QPushButton(tr("打开数据文件…"), left);
  auto* closeAll = new QPushButton(tr("全部关闭"), left);
  auto* refresh = new QPushButton(tr("刷新列表"), left);
  buttons->addWidget(openSelected);
  buttons->addWidget(openFile);
  buttons->addWidget(closeAll);
  buttons->addWidget(refresh);
  leftLayout->addLayout(buttons);
  leftLayout->addWidget(new QLabel(tr("已打开（勾选的曲线参与比较）"), left));
  m_openedTree = new QTreeWidget(left);
  m_openedTree->setHeaderHidden(true);
  m_openedTree->setAccessibleName(tr("已打开的曲线"));
  leftLayout->addWidget(m_openedTree, 2);
  auto* bdf = new QPushButton(tr("导出 BDF…"), left);
  bdf->setToolTip(tr("把打开的每个通道写成电池数据格式（BDF）文件"));
  auto* grading = new QPushButton(tr("分选…"), left);
  grading->setToolTip(tr("按容量给打开的电池排序、分组，用于配组"));
  auto* exports = new QHBoxLayout;
  exports->addWidget(bdf);
  exports->addWidget(grading);
  exports->addStretch(1);
  leftLayout->addLayout(exports);
  connect(grading, &QPushButton::clicked, this, &ReviewWindow::OpenGrading);
  m_status = new QLabel(left);
  m_status->setWordWrap(true);
  leftLayout->addWidget(m_status);

  // Right: the choice of axes, the plot and the summaries.
  auto* right = new QWidget(splitter);
  auto* rightLayout = new QVBoxLayout(right);
  rightLayout->setContentsMargins(0, 0, 0, 0);
  auto* controls = new QHBoxLayout;
  controls->addWidget(new QLabel(tr("纵轴"), right));
  m_quantityBox = new QComboBox(right);
  for (Quantity q :
       {Quantity::Voltage, Quantity::Current, Quantity::Capacity, Quantity::Temperature}) {
    m_quantityBox->addItem(QuantityTitle(q), int(q));
  }
  controls->addWidget(m_quantityBox);
  controls->addWidget(new QLabel(tr("横轴"), right));
  m_xAxisBox = new QComboBox(right);
  m_xAxisBox->addItem(tr("时间(S)"), int(ReviewXAxis::Time));
  m_xAxisBox->addItem(tr("容量(mAh)"), int(ReviewXAxis::Capacity));
  controls->addWidget(m_xAxisBox);
  controls->addStretch(1);
  auto* csv = new QPushButton(tr("导出 CSV…"), right);
  auto* report = new QPushButton(tr("保存报告…"), right);
  controls->addWidget(csv);
  controls->addWidget(report);
  rightLayout->addLayout(controls);
  auto* plots = new QTabWidget(right);
  m_plot = new ReviewPlot(plots);
  auto* tables = new QTabWidget(rows);
  m_cycles = new CycleViews(tables);
  m_cycles->SetDialogs(m_dialogs);
  plots->addTab(m_plot, tr("曲线"));
  plots->addTab(&m_cycles->FadePlot(), tr("容量衰减"));
  plots->addTab(m_cycles->DqdvPage(), tr("dQ/dV"));
  // Beside the tabs, where the row of controls above has no room left.
  m_temperatureBox = new QCheckBox(tr("温度（右轴）"), plots);
  m_temperatureBox->setToolTip(tr("在右边的纵轴上同时画出温度"));
  plots->setCornerWidget(m_temperatureBox, Qt::TopRightCorner);
  rightLayout->addWidget(plots, 1);
  m_summaryTable = new QTableWidget(0, 13, tables);
  // Headers in two lines, the unit below, and the curve's name taking what
  // the figures leave: the columns fit a 1280-pixel screen without a
  // horizontal scroll bar. The charge is summed over the readings, so a
  // restart's capacity reading sits beside the charge of every cycle.
  m_summaryTable->setHorizontalHeaderLabels(
      {tr("曲线"), tr("帧数"), tr("时长\n(S)"), tr("容量\n(mAh)"), tr("电量\n(mAh)"),
       tr("至截止\n电量(mAh)"), tr("能量\n(mWh)"), tr("至截止\n能量(mWh)"),
       tr("平均电压\n(mV)"), tr("最低电压\n(mV)"), tr("终止电压\n(mV)"), tr("最高\n温度"),
       tr("结束")});
  m_summaryTable->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_summaryTable->verticalHeader()->setVisible(false);
  m_summaryTable->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  m_summaryTable->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  m_summaryTable->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);
  m_summaryTable->setWordWrap(false);
  m_summaryTable->setTextElideMode(Qt::ElideMiddle);
  m_summaryTable->setAccessibleName(tr("放电摘要"));
  // Tab leaves the tables and the list for the next control, as everywhere
  // else; the arrow keys move between cells.
  for (QAbstractItemView* view :
       std::initializer_list<QAbstractItemView*>{m_sessionTable, m_openedTree, m_summaryTable}) {
    view->setTabKeyNavigation(false);
    view->installEventFilter(this);
  }
  tables->addTab(m_summaryTable, tr("摘要"));
  tables->addTab(&m_cycles->Table(), tr("循环"));
  tables->setCornerWidget(m_cycles->Settings(), Qt::TopRightCorner);
  m_cycles->Table().installEventFilter(this);
  splitter->setStretchFactor(0, 2);
  splitter->setStretchFactor(1, 3);
  splitter->setSizes({520, 780});
  rows->setStretchFactor(0, 3);
  rows->setStretchFactor(1, 1);
  rows->setSizes({560, 200});
  resize(StartSize());
  new FocusMark(this);

  connect(openSelected, &QPushButton::clicked, this, &ReviewWindow::OnOpenSelectedClicked);
  connect(m_cellFilter, &QLineEdit::textChanged, this, &ReviewWindow::ApplySessionFilter);
  connect(m_sessionTable, &QTableWidget::cellDoubleClicked, this,
          &ReviewWindow::OnOpenSelectedClicked);
  connect(openFile, &QPushButton::clicked, this, &ReviewWindow::OnOpenFileClicked);
  connect(closeAll, &QPushButton::clicked, this, &ReviewWindow::CloseAll);
  connect(refresh, &QPushButton::clicked, this, &ReviewWindow::RefreshSessions);
  connect(csv, &QPushButton::clicked, this, &ReviewWindow::OnCsvClicked);
  connect(report, &QPushButton::clicked, this, &ReviewWindow::OnReportClicked);
  connect(bdf, &QPushButton::clicked, this, &ReviewWindow::OnBdfClicked);
  connect(m_temperatureBox, &QCheckBox::toggled, this, &ReviewWindow::SetTemperatureShown);
  connect(m_quantityBox, &QComboBox::activated, this,
          [this](int index) { SetQuantity(Quantity(m_quantityBox->itemData(index).toInt())); });
  connect(m_xAxisBox, &QComboBox::activated, this,
          [this](int index) { SetXAxis(ReviewXAxis(m_xAxisBox->itemData(index).toInt())); });
  connect(m_openedTree, &QTreeWidget::itemChanged, this, &ReviewWindow::OnOpenedItemChanged);
  connect(m_cycles, &CycleViews::CutoffChanged, this, &ReviewWindow::RebuildSummaries);
  RebuildPlot();
}

QSize ReviewWindow::StartSize() const {
  QSize size = UserSettings().value(kSizeKey, QSize(kDefaultWidth, kDefaultHeight)).toSize();
  if (!size.isValid()) {
    size = QSize(kDefaultWidth, kDefaultHeight);
  }
  // Within the screen's free area, its frame and title bar included.
  if (const QScreen* where = screen()) {
    const QSize room =
        where->availableGeometry().size() - QSize(kFrameAllowance, 3 * kFrameAllowance);
    size = size.boundedTo(room);
  }
  return size;
}

bool ReviewWindow::eventFilter(QObject* watched, QEvent* event) {
  // Ctrl+Tab and Ctrl+Shift+Tab, the keys that leave a control which keeps
  // Tab for itself, leave the lists too.
  if (event->type() == QEvent::KeyPress && qobject_cast<QAbstractItemView*>(watched)) {
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->modifiers().testFlag(Qt::ControlModifier) &&
        (key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab)) {
      focusNextPrevChild(key->key() == Qt::Key_Tab &&
                         !key->modifiers().testFlag(Qt::ShiftModifier));
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void ReviewWindow::closeEvent(QCloseEvent* event) {
  // Kept when the user closes the window: sizes set by the program (tools,
  // tests) never reach the settings. A maximized window keeps its normal
  // size.
  UserSettings().setValue(kSizeKey,
                          isMaximized() || isFullScreen() ? normalGeometry().size() : size());
  QWidget::closeEvent(event);
}

void ReviewWindow::RefreshSessions() {
  m_sessionTable->setRowCount(0);
  m_sessions.clear();
  if (!m_store) {
    m_status->setText(m_storeError.isEmpty() ? tr("没有会话记录库。") : m_storeError);
    return;
  }
  m_sessions = m_store->Sessions();
  m_sessionTable->setRowCount(int(m_sessions.size()));
  // Newest first.
  for (int row = 0; row < m_sessions.size(); ++row) {
    const StoredSession& s = m_sessions[m_sessions.size() - 1 - row];
    m_sessionTable->setItem(row, 0, Cell(QString::number(s.id)));
    m_sessionTable->setItem(row, 1, Cell(DateText(s.startUtc.toLocalTime()), false));
    m_sessionTable->setItem(row, 2, Cell(SessionDurationText(s)));
    m_sessionTable->setItem(row, 3, Cell(s.port, false));
    m_sessionTable->setItem(row, 4, Cell(SessionEndText(s.ended), false));
    for (int c = 5; c < 7; ++c) {
      m_sessionTable->setItem(row, c, Cell(QStringLiteral("…")));
    }
    m_sessionTable->setItem(row, 7, Cell(s.bench, false));
    m_sessionTable->setItem(row, 8, Cell(CellsText(s.cells), false));
  }
  ApplySessionFilter();
  emit SessionsListed();
  // Capacities and end voltages come from each session's last readings: a
  // worker looks them up, newest session first, and each row fills in as
  // its session is done.
  if (m_sessions.isEmpty() || !m_openStore) {
    return;
  }
  m_listFilling = true;
  StartWorker([this, sessions = m_sessions, opener = m_openStore, state = m_state] {
    QString error;
    const std::unique_ptr<SessionReader> reader = opener(&error);
    for (auto it = sessions.rbegin(); reader && it != sessions.rend(); ++it) {
      if (state->cancel.load()) {
        break;
      }
      if (const std::optional<SessionEnds> ends = ReadSessionEnds(*reader, it->id)) {
        QMetaObject::invokeMethod(
            this, [this, id = it->id, ends = *ends] { ShowSessionEnds(id, ends); },
            Qt::QueuedConnection);
      }
    }
    QMetaObject::invokeMethod(
        this,
        [this] {
          m_listFilling = false;
          emit SessionListFilled();
        },
        Qt::QueuedConnection);
  });
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

void ReviewWindow::AppendReadings(qint64 sessionId,
                                  const std::array<std::vector<ChannelSample>, 2>& more,
                                  qint64 chunks, bool running) {
  for (Opened& o : m_sources) {
    if (o.source.sessionId != sessionId) {
      continue;
    }
    for (size_t c = 0; c < 2; ++c) {
      auto& channel = o.source.channels[c];
      channel.insert(channel.end(), more[c].begin(), more[c].end());
      if (!channel.empty() && !o.colours[c].isValid()) {
        o.colours[c] = NextColour();
      }
    }
    o.source.chunks = chunks;
    o.running = running;
    o.summaries = SummarizeSource(o.source);
  }
  RebuildOpenedList();
  RebuildPlot();
  RebuildSummaries();
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
  // Finding the session is quick; reading its chunks is not.
  QString error = m_storeError;
  const std::optional<StoredSession> session = FindSourceSession(ref, m_store.get(), &error);
  if (!session) {
    m_dialogs->ShowError(this, error);
    return false;
  }
  StartLoad([opener = m_openStore, s = *session, state = m_state](QString* error) {
    std::unique_ptr<SessionReader> reader = opener(error);
    return reader ? ReadSession(*reader, s, error, [&state] { return !state->cancel.load(); })
                  : std::nullopt;
  });
  return true;
}

void ReviewWindow::StartLoad(std::function<std::optional<ReviewSource>(QString* error)> read) {
  const qint64 number = m_nextLoad++;
  Load load;
  load.number = number;
  m_loads.push_back(std::move(load));
  m_status->setText(tr("正在读取…"));
  StartWorker([this, number, read = std::move(read)] {
    QString error;
    std::optional<ReviewSource> source;
    try {
      source = read(&error);
    } catch (const std::exception&) {
      error = tr("读取失败：内存不足或数据无法读取。");
    }
    auto result = std::make_shared<std::optional<ReviewSource>>(std::move(source));
    QMetaObject::invokeMethod(
        this, [this, number, result, error] { OnLoadDone(number, std::move(*result), error); },
        Qt::QueuedConnection);
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

QColor ReviewWindow::NextColour() {
  return kPalette[size_t(m_coloursUsed++) % std::size(kPalette)];
}

void ReviewWindow::AddSource(ReviewSource source) {
  Opened opened;
  opened.source = std::move(source);
  if (opened.source.sessionId != 0 && m_store) {
    // As the store tells now: a session read while it is still being
    // recorded has not stopped.
    const std::optional<StoredSession> stored = m_store->Find(opened.source.sessionId);
    opened.running = stored && stored->ended == SessionEnd::Running;
  }
  opened.summaries = SummarizeSource(opened.source);
  for (int c = 0; c < 2; ++c) {
    // Channels without readings get no curve and no colour.
    if (!opened.source.channels[size_t(c)].empty()) {
      opened.colours[size_t(c)] = NextColour();
    }
  }
  m_sources.push_back(std::move(opened));
  RebuildOpenedList();
  RebuildPlot();
  RebuildCycles();
  RebuildSummaries();
  const ReviewSource& s = m_sources.back().source;
  m_status->setText(s.skipped > 0
                        ? tr("%1：%2 行不是数据帧或无法解析，已跳过。").arg(s.name).arg(s.skipped)
                        : QString());
}

void ReviewWindow::CloseAll() {
  m_sources.clear();
  m_coloursUsed = 0;
  RebuildOpenedList();
  RebuildPlot();
  RebuildCycles();
  RebuildSummaries();
}

QColor ReviewWindow::CurveColour(int source, int channel) const {
  return m_sources[size_t(source)].colours[size_t(channel - 1)];
}

void ReviewWindow::SetXAxis(ReviewXAxis axis) {
  m_xAxis = axis;
  m_xAxisBox->setCurrentIndex(m_xAxisBox->findData(int(axis)));
  RebuildPlot();
}

void ReviewWindow::SetQuantity(Quantity quantity) {
  if (quantity == Quantity::Time) {
    return;
  }
  m_quantity = quantity;
  m_quantityBox->setCurrentIndex(m_quantityBox->findData(int(quantity)));
  RebuildPlot();
}

void ReviewWindow::SetTemperatureShown(bool shown) {
  m_temperatureShown = shown;
  m_temperatureBox->setChecked(shown);
  RebuildPlot();
}

void ReviewWindow::SetCurveShown(int source, int channel, bool shown) {
  m_sources[size_t(source)].shown[size_t(channel - 1)] = shown;
  RebuildOpenedList();
  RebuildPlot();
  RebuildCycles();
}

QStringList ReviewWindow::SummaryCells(const Opened& o, const DischargeSummary& s) const {
  const bool running = o.running;
  std::optional<CutoffFigures> cutoff;
  if (const std::optional<qint32> mv = m_cycles->CutoffMv()) {
    cutoff = ToCutoff(o.source.Channel(s.channel), *mv);
  }
  const QString none = QStringLiteral("-");
  return {QString::number(s.frames),
          QString::number(s.durationS),
          QString::number(s.capacityMah),
          FixedNumber(s.chargeMah, 3),
          cutoff ? FixedNumber(cutoff->chargeMah, 3) : none,
          QString::number(s.energyMwh, 'f', 3),
          cutoff ? FixedNumber(cutoff->energyMwh, 3) : none,
          QString::number(s.avgMv, 'f', 1),
          QString::number(s.minMv),
          QString::number(s.endMv),
          QString::number(s.maxTemp),
          s.notice  ? tr("放电结束")
          : running ? tr("记录中")
                    : tr("停止")};
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

QString ReviewWindow::CurveName(const Opened& opened, int channel) const {
  const QString& cell = opened.source.cells[size_t(channel - 1)];
  if (!cell.isEmpty()) {
    return tr("%1 %2 通道%3 电池%4")
        .arg(opened.source.name, DateText(opened.source.start))
        .arg(channel)
        .arg(cell);
  }
  return tr("%1 %2 通道%3").arg(opened.source.name, DateText(opened.source.start)).arg(channel);
}

void ReviewWindow::RebuildOpenedList() {
  m_rebuilding = true;
  m_openedTree->clear();
  for (size_t i = 0; i < m_sources.size(); ++i) {
    const Opened& o = m_sources[i];
    auto* top = new QTreeWidgetItem(
        m_openedTree, {QStringLiteral("%1  %2  %3")
                           .arg(o.source.name, DateText(o.source.start), o.source.detail)});
    top->setFlags(Qt::ItemIsEnabled);
    for (int c = 1; c <= 2; ++c) {
      if (o.source.Channel(c).empty()) {
        continue;
      }
      auto* item = new QTreeWidgetItem(top, {tr("通道%1").arg(c)});
      item->setIcon(0, Swatch(o.colours[size_t(c - 1)]));
      item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsUserCheckable);
      item->setCheckState(0, o.shown[size_t(c - 1)] ? Qt::Checked : Qt::Unchecked);
      item->setData(0, Qt::UserRole, int(i));
      item->setData(0, Qt::UserRole + 1, c);
    }
    top->setExpanded(true);
  }
  m_rebuilding = false;
}

void ReviewWindow::OnOpenedItemChanged(QTreeWidgetItem* item) {
  if (m_rebuilding || !item->data(0, Qt::UserRole + 1).isValid()) {
    return;
  }
  const int source = item->data(0, Qt::UserRole).toInt();
  const int channel = item->data(0, Qt::UserRole + 1).toInt();
  m_sources[size_t(source)].shown[size_t(channel - 1)] = item->checkState(0) == Qt::Checked;
  RebuildPlot();
  RebuildCycles();
}

void ReviewWindow::RebuildPlot() {
  ReviewPlot& plot = *m_plot;
  plot.Clear();
  const QString yTitle = QuantityTitle(m_quantity);
  const QString xTitle = m_xAxis == ReviewXAxis::Time ? QuantityTitle(Quantity::Time)
                                                      : QuantityTitle(Quantity::Capacity);
  plot.SetAxisTitles(xTitle, yTitle);
  plot.SetTitle(m_sources.size() > 1 ? tr("比较") : tr("历史曲线"));
  const Quantity xQuantity = m_xAxis == ReviewXAxis::Time ? Quantity::Time : Quantity::Capacity;
  // Temperature on the right beside any other quantity, dashed.
  const bool temperatureRight = m_temperatureShown && m_quantity != Quantity::Temperature;
  plot.SetRightAxisTitle(temperatureRight ? QuantityTitle(Quantity::Temperature) : QString());
  for (const Opened& o : m_sources) {
    for (int c = 1; c <= 2; ++c) {
      const std::vector<ChannelSample>& samples = o.source.Channel(c);
      if (samples.empty() || !o.shown[size_t(c - 1)]) {
        continue;
      }
      // Each cycle its own curve: no line runs back from one cycle's end to
      // the next one's start.
      const std::vector<CycleRange> cycles = SplitCycles(samples);
      for (bool temperature : {false, true}) {
        if (temperature && !temperatureRight) {
          break;
        }
        const Quantity y = temperature ? Quantity::Temperature : m_quantity;
        for (size_t k = 0; k < cycles.size(); ++k) {
          QString name = CycleCurveName(CurveName(o, c), int(k) + 1, qsizetype(cycles.size()));
          if (temperature) {
            name = tr("%1 温度").arg(name);
          }
          const int curve =
              plot.AddCurve(name, CycleColour(o.colours[size_t(c - 1)], int(k) + 1), temperature);
          for (qsizetype i = cycles[k].first; i < cycles[k].end; ++i) {
            plot.AddPoint(curve, samples[size_t(i)].Value(xQuantity),
                          samples[size_t(i)].Value(y));
          }
        }
      }
    }
  }
  plot.FitAll();
}

void ReviewWindow::RebuildCycles() {
  std::vector<CycleChannel> channels;
  for (const Opened& o : m_sources) {
    for (int c = 1; c <= 2; ++c) {
      if (!o.source.Channel(c).empty()) {
        channels.push_back(
            {&o.source, c, CurveName(o, c), o.colours[size_t(c - 1)], o.shown[size_t(c - 1)]});
      }
    }
  }
  m_cycles->SetChannels(std::move(channels));
}

void ReviewWindow::RebuildSummaries() {
  m_summaryTable->setRowCount(0);
  for (const Opened& o : m_sources) {
    for (const DischargeSummary& s : o.summaries) {
      if (s.frames == 0) {
        continue;
      }
      const int row = m_summaryTable->rowCount();
      m_summaryTable->insertRow(row);
      QTableWidgetItem* name = Cell(CurveName(o, s.channel), false);
      name->setIcon(Swatch(o.colours[size_t(s.channel - 1)]));
      m_summaryTable->setItem(row, 0, name);
      const QStringList cells = SummaryCells(o, s);
      for (int i = 0; i < cells.size(); ++i) {
        m_summaryTable->setItem(row, i + 1, Cell(cells[i], i + 1 < cells.size()));
      }
    }
  }
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

ReportContent ReviewWindow::Report() {
  // Only what the plot shows: a curve ticked off leaves the page.
  const auto shown = [](const Opened& o, int channel) {
    return o.shown[size_t(channel - 1)] && !o.source.Channel(channel).empty();
  };
  ReportContent report;
  report.made = QDateTime::currentDateTime();
  for (const Opened& o : m_sources) {
    if (shown(o, 1) || shown(o, 2)) {
      report.sources << (o.source.startIsSave ? tr("%1  保存于 %2  %3") : tr("%1  开始于 %2  %3"))
                            .arg(o.source.name, DateText(o.source.start), o.source.detail);
    }
  }
  report.title = report.sources.size() > 1 ? tr("放电比较报告") : tr("放电报告");
  report.plot = m_plot->RenderImage(QSize(1000, 600), 2);
  for (int c = 0; c < m_summaryTable->columnCount(); ++c) {
    report.header << m_summaryTable->horizontalHeaderItem(c)->text();
  }
  for (const Opened& o : m_sources) {
    for (const DischargeSummary& s : o.summaries) {
      if (s.frames == 0 || !shown(o, s.channel)) {
        continue;
      }
      ReportContent::Row row;
      row.colour = o.colours[size_t(s.channel - 1)];
      row.cells = QStringList{CurveName(o, s.channel)} + SummaryCells(o, s);
      report.rows << row;
    }
  }
  AddGrading(report, *this, m_grading);
  return report;
}

void ReviewWindow::OpenGrading() {
  if (!m_grading) {
    m_grading = new GradingView(ShownCurveCycles(*this), m_dialogs, this);
    connect(this, &ReviewWindow::LoadFinished, m_grading, &GradingView::Refresh);
  }
  m_grading->Refresh();
  m_grading->show();
  m_grading->raise();
}

bool ReviewWindow::SaveReport(const QString& path) {
  return ::SaveReport(Report(), path);
}

void ReviewWindow::OnReportClicked() {
  const QString path = m_dialogs->ReportFileToSave(this);
  if (!path.isEmpty() && !SaveReport(path)) {
    m_dialogs->ShowError(this, tr("无法把报告保存到 %1。").arg(QDir::toNativeSeparators(path)));
  }
}

namespace {

bool WriteCsvFile(const QString& path, const std::vector<CsvSource>& sources,
                  const StoreOpener& opener, QString* error, const std::atomic<bool>* cancel) {
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly)) {
    *error = ReviewWindow::tr("无法把数据保存到 %1：%2")
                 .arg(QDir::toNativeSeparators(path), file.errorString());
    return false;
  }
  if (!WriteReviewCsv(sources, opener, file, error, cancel)) {
    file.cancelWriting();
    return false;
  }
  QString why;
  if (!CommitSaveFile(file, &why)) {
    *error = ReviewWindow::tr("无法把数据保存到 %1：%2").arg(QDir::toNativeSeparators(path), why);
    return false;
  }
  return true;
}

}  // namespace

std::vector<CsvSource> ReviewWindow::CsvSources() const {
  std::vector<CsvSource> sources;
  for (const Opened& o : m_sources) {
    sources.push_back({o.source.sessionId, o.source.path});
  }
  return sources;
}

bool ReviewWindow::ExportCsv(const QString& path, QString* error) {
  QString message;
  const bool ok = WriteCsvFile(path, CsvSources(), m_openStore, &message, &m_state->cancel);
  if (error) {
    *error = message;
  }
  return ok;
}

void ReviewWindow::OnCsvClicked() {
  const QString path = m_dialogs->CsvFileToSave(this);
  if (path.isEmpty()) {
    return;
  }
  // A week of rows takes a while: written on a worker, failures reported here.
  m_status->setText(tr("正在导出 CSV…"));
  StartWorker([this, path, sources = CsvSources(), opener = m_openStore, state = m_state] {
    QString error;
    const bool ok = WriteCsvFile(path, sources, opener, &error, &state->cancel);
    QMetaObject::invokeMethod(
        this,
        [this, ok, error] {
          m_status->setText(ok ? tr("CSV 已导出。") : QString());
          if (!ok) {
            m_dialogs->ShowError(this, error);
          }
        },
        Qt::QueuedConnection);
  });
}

bool ReviewWindow::ExportBdf(const QString& dir, QString* error) {
  QString message;
  const bool ok = WriteBdfSources(CsvSources(), m_openStore, dir, nullptr, &message);
  if (error) {
    *error = message;
  }
  return ok;
}

void ReviewWindow::OnBdfClicked() {
  const QString dir = m_dialogs->BdfFolder(this);
  if (dir.isEmpty()) {
    return;
  }
  m_status->setText(tr("正在导出 BDF…"));
  StartWorker([this, dir, sources = CsvSources(), opener = m_openStore] {
    QString error;
    const bool ok = WriteBdfSources(sources, opener, dir, nullptr, &error);
    QMetaObject::invokeMethod(
        this,
        [this, ok, error] {
          ok ? m_status->setText(tr("BDF 文件已导出。")) : m_dialogs->ShowError(this, error);
        },
        Qt::QueuedConnection);
  });
}
