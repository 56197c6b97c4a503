#include "reviewwindow.h"

#include <QAction>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScreen>
#include <QSplitter>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>
#include <QTreeWidget>
#include <QVBoxLayout>

#include "cycleviews.h"
#include "focusmark.h"
#include "reviewdialogs.h"
#include "reviewplot.h"
#include "reviewtext.h"
#include "stepsums.h"
#include "usersettings.h"

// The window's make-up and what it shows of the opened sources. The session
// list and the reading of sources are in reviewsessions.cpp, the report and
// the exports in reviewexports.cpp.

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

QIcon Swatch(const QColor& colour) {
  QPixmap pixmap(14, 14);
  pixmap.fill(colour);
  QPainter p(&pixmap);
  p.setPen(Qt::black);
  p.drawRect(0, 0, 13, 13);
  return QIcon(pixmap);
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

// Workers of closed windows that were still at work. Finished ones are
// deleted as more come; the rest are waited for when the application goes,
// before the database drivers they may still use are unloaded.
std::vector<QThread*>& Leftovers() {
  static std::vector<QThread*> threads;
  return threads;
}

void LeaveToFinish(QThread* worker) {
  std::vector<QThread*>& left = Leftovers();
  if (left.empty()) {
    static const bool hooked = [] {
      qAddPostRoutine([] {
        for (QThread* thread : Leftovers()) {
          thread->wait();
          delete thread;
        }
        Leftovers().clear();
      });
      return true;
    }();
    Q_UNUSED(hooked);
  }
  std::erase_if(left, [](QThread* thread) {
    if (!thread->isFinished()) {
      return false;
    }
    thread->wait();
    delete thread;
    return true;
  });
  left.push_back(worker);
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
  RefreshSessions();
}

ReviewWindow::~ReviewWindow() {
  m_state->cancel.store(true);
  for (QThread* worker : m_workers) {
    LeaveToFinish(worker);
  }
}

void ReviewWindow::StartWorker(std::function<void(const Post& post)> work) {
  // Made here, on the window's thread; the worker only copies it, and it is
  // looked at on the window's thread again, where the window is deleted.
  const QPointer<ReviewWindow> window(this);
  const Post post = [window](std::function<void()> onWindow) {
    // Posted to the application, which outlives every window.
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [window, onWindow = std::move(onWindow)] {
          if (window) {
            onWindow();
          }
        },
        Qt::QueuedConnection);
  };
  QThread* worker = QThread::create([work = std::move(work), post] { work(post); });
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
  m_sessionTable->setHorizontalHeaderLabels(
      {tr("编号"), tr("开始"), tr("时长"), tr("端口"), tr("结束方式"), tr("通道1 容量/终止电压"),
       tr("通道2 容量/终止电压"), tr("工作台"), tr("电池编号")});
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
  // Labels set afterwards: on the list's context menu and as a button.
  m_labelAction = new QAction(tr("电池编号…"), this);
  m_sessionTable->addAction(m_labelAction);
  m_sessionTable->setContextMenuPolicy(Qt::ActionsContextMenu);
  m_labelButton = new QPushButton(m_labelAction->text(), left);
  buttons->addWidget(openSelected);
  buttons->addWidget(openFile);
  buttons->addWidget(closeAll);
  buttons->addWidget(refresh);
  // Beside the cell filter: the row of buttons below has no room left.
  listHead->addWidget(m_labelButton);
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
       tr("至截止\n电量(mAh)"), tr("能量\n(mWh)"), tr("至截止\n能量(mWh)"), tr("平均电压\n(mV)"),
       tr("最低电压\n(mV)"), tr("终止电压\n(mV)"), tr("最高\n温度"), tr("结束")});
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
  // The window opens on the list of sessions, the usual first choice; the
  // cell filter is one Shift+Tab away.
  m_sessionTable->setFocus(Qt::OtherFocusReason);

  connect(openSelected, &QPushButton::clicked, this, &ReviewWindow::OnOpenSelectedClicked);
  connect(m_cellFilter, &QLineEdit::textChanged, this, &ReviewWindow::ApplySessionFilter);
  connect(m_sessionTable, &QTableWidget::cellDoubleClicked, this,
          &ReviewWindow::OnOpenSelectedClicked);
  connect(openFile, &QPushButton::clicked, this, &ReviewWindow::OnOpenFileClicked);
  connect(closeAll, &QPushButton::clicked, this, &ReviewWindow::CloseAll);
  connect(refresh, &QPushButton::clicked, this, &ReviewWindow::RefreshSessions);
  connect(m_labelAction, &QAction::triggered, this, &ReviewWindow::OnLabelClicked);
  connect(m_labelButton, &QPushButton::clicked, m_labelAction, &QAction::trigger);
  connect(m_sessionTable, &QTableWidget::itemSelectionChanged, this,
          &ReviewWindow::UpdateLabelAction);
  UpdateLabelAction();
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

QColor ReviewWindow::NextColour() {
  return kPalette[size_t(m_coloursUsed++) % std::size(kPalette)];
}

void ReviewWindow::AddSource(ReviewSource source) {
  Opened opened;
  opened.source = std::move(source);
  if (opened.source.running) {
    opened.running = *opened.source.running;
  } else if (opened.source.sessionId != 0) {
    // Not read from the store here: as the session list has it.
    const auto listed =
        std::find_if(m_sessions.begin(), m_sessions.end(),
                     [&](const StoredSession& s) { return s.id == opened.source.sessionId; });
    opened.running = listed != m_sessions.end() && listed->ended == SessionEnd::Running;
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
        // The legend names each channel once, its cycles in shades of its
        // colour, and the temperature curves once for all.
        const QString entry = temperature ? tr("温度（虚线，右轴）") : CurveName(o, c);
        for (size_t k = 0; k < cycles.size(); ++k) {
          QString name = CycleCurveName(CurveName(o, c), int(k) + 1, qsizetype(cycles.size()));
          if (temperature) {
            name = tr("%1 温度").arg(name);
          }
          const int curve = plot.AddCurve(name, CycleColour(o.colours[size_t(c - 1)], int(k) + 1),
                                          temperature, entry);
          for (qsizetype i = cycles[k].first; i < cycles[k].end; ++i) {
            plot.AddPoint(curve, samples[size_t(i)].Value(xQuantity), samples[size_t(i)].Value(y));
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
      QTableWidgetItem* name = TableItem(CurveName(o, s.channel), false);
      name->setIcon(Swatch(o.colours[size_t(s.channel - 1)]));
      m_summaryTable->setItem(row, 0, name);
      const QStringList cells = SummaryCells(o, s);
      for (int i = 0; i < cells.size(); ++i) {
        m_summaryTable->setItem(row, i + 1, TableItem(cells[i], i + 1 < cells.size()));
      }
    }
  }
}
