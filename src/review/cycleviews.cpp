#include "cycleviews.h"

#include <QDir>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>
#include <map>

#include "dischargesummary.h"
#include "incrementalcapacity.h"
#include "reviewdialogs.h"
#include "reviewplot.h"
#include "reviewtext.h"
#include "savefile.h"

namespace {

constexpr int kMaxCutoffMv = 60'000;
constexpr int kMaxStepMv = 200;
constexpr int kMaxSmoothing = 20;

QSpinBox* SpinBox(QWidget* parent, int lo, int hi, int value, const QString& name) {
  auto* box = new QSpinBox(parent);
  box->setRange(lo, hi);
  box->setValue(value);
  box->setAccessibleName(name);
  box->setKeyboardTracking(false);  // recompute once typing ends, not per digit
  return box;
}

}  // namespace

QString CycleCurveName(const QString& name, int cycle, qsizetype cycles) {
  return cycles > 1 ? CycleViews::tr("%1 循环%2").arg(name).arg(cycle) : name;
}

QColor CycleColour(const QColor& colour, int cycle) {
  // Percentages of the colour's value: the first cycle in the colour itself.
  static const int kShades[] = {100, 150, 60, 125, 80};
  const int shade = kShades[size_t(cycle - 1) % std::size(kShades)];
  return shade >= 100 ? colour.lighter(shade) : colour.darker(10'000 / shade);
}

CycleViews::CycleViews(QWidget* parent) : QObject(parent) {
  BuildSettings(parent);
  m_table = new QTableWidget(0, 13, parent);
  m_table->setHorizontalHeaderLabels(
      {tr("曲线"), tr("循环"), tr("帧数"), tr("时长\n(S)"), tr("容量\n(mAh)"), tr("电量\n(mAh)"),
       tr("能量\n(mWh)"), tr("平均电压\n(mV)"), tr("终止电压\n(mV)"), tr("至截止\n时间(S)"),
       tr("至截止\n电量(mAh)"), tr("至截止\n能量(mWh)"), tr("内阻中值\n(mΩ)")});
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->verticalHeader()->setVisible(false);
  m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  m_table->horizontalHeader()->setSectionResizeMode(0, QHeaderView::Stretch);
  m_table->setWordWrap(false);
  m_table->setTextElideMode(Qt::ElideMiddle);
  m_table->setTabKeyNavigation(false);
  m_table->setAccessibleName(tr("循环"));

  m_fade = new ReviewPlot(parent);
  m_fade->SetTitle(tr("容量衰减"));
  m_fade->SetAxisTitles(tr("循环"), tr("容量(mAh)"));
  BuildDqdvPage(parent);
}

void CycleViews::BuildSettings(QWidget* parent) {
  m_settings = new QWidget(parent);
  auto* row = new QHBoxLayout(m_settings);
  row->setContentsMargins(4, 0, 0, 0);
  auto* cutoffLabel = new QLabel(tr("截止电压"), m_settings);
  m_cutoff = SpinBox(m_settings, 0, kMaxCutoffMv, 0, tr("截止电压"));
  m_cutoff->setSuffix(QStringLiteral(" mV"));
  m_cutoff->setSpecialValueText(tr("无"));
  m_cutoff->setToolTip(tr("算到第一个不高于此电压的帧为止的电量和能量；0 为不算"));
  cutoffLabel->setBuddy(m_cutoff);
  auto* thresholdLabel = new QLabel(tr("内阻电流阶跃"), m_settings);
  m_threshold = SpinBox(m_settings, 1, 1'000'000, kDefaultStepThresholdMa, tr("内阻电流阶跃"));
  m_threshold->setSuffix(QStringLiteral(" mA"));
  m_threshold->setToolTip(tr("相邻两帧电流至少变化这么多时，按 ΔV/ΔI 算直流内阻"));
  thresholdLabel->setBuddy(m_threshold);
  row->addWidget(cutoffLabel);
  row->addWidget(m_cutoff);
  row->addWidget(thresholdLabel);
  row->addWidget(m_threshold);
  connect(m_cutoff, &QSpinBox::valueChanged, this, [this] {
    Refresh();
    emit CutoffChanged();
  });
  connect(m_threshold, &QSpinBox::valueChanged, this, &CycleViews::Refresh);
}

void CycleViews::BuildDqdvPage(QWidget* parent) {
  m_dqdvPage = new QWidget(parent);
  auto* layout = new QVBoxLayout(m_dqdvPage);
  layout->setContentsMargins(0, 0, 0, 0);
  auto* row = new QHBoxLayout;
  auto* stepLabel = new QLabel(tr("电压步长"), m_dqdvPage);
  m_step = SpinBox(m_dqdvPage, 1, kMaxStepMv, kDefaultVoltageStepMv, tr("电压步长"));
  m_step->setSuffix(QStringLiteral(" mV"));
  stepLabel->setBuddy(m_step);
  auto* smoothingLabel = new QLabel(tr("平滑"), m_dqdvPage);
  m_smoothing = SpinBox(m_dqdvPage, 0, kMaxSmoothing, 0, tr("平滑"));
  m_smoothing->setSpecialValueText(tr("不平滑"));
  m_smoothing->setToolTip(tr("每点两侧各取几个步长加权平均"));
  smoothingLabel->setBuddy(m_smoothing);
  auto* csv = new QPushButton(tr("导出 dQ/dV CSV…"), m_dqdvPage);
  row->addWidget(stepLabel);
  row->addWidget(m_step);
  row->addWidget(smoothingLabel);
  row->addWidget(m_smoothing);
  row->addStretch(1);
  row->addWidget(csv);
  layout->addLayout(row);
  m_dqdv = new ReviewPlot(m_dqdvPage);
  m_dqdv->SetTitle(tr("增量容量 dQ/dV"));
  m_dqdv->SetAxisTitles(tr("电压(mV)"), tr("dQ/dV (mAh/V)"));
  layout->addWidget(m_dqdv, 1);
  connect(m_step, &QSpinBox::valueChanged, this, &CycleViews::RebuildDqdv);
  connect(m_smoothing, &QSpinBox::valueChanged, this, &CycleViews::RebuildDqdv);
  connect(csv, &QPushButton::clicked, this, &CycleViews::OnDqdvCsvClicked);
}

std::optional<qint32> CycleViews::CutoffMv() const {
  return m_cutoff->value() > 0 ? std::optional<qint32>(m_cutoff->value()) : std::nullopt;
}

void CycleViews::SetCutoffMv(std::optional<qint32> mv) {
  m_cutoff->setValue(mv.value_or(0));
}

void CycleViews::SetStepThresholdMa(qint32 ma) {
  m_threshold->setValue(ma);
}

void CycleViews::SetDqdvStep(qint32 mv, int smoothing) {
  m_step->setValue(mv);
  m_smoothing->setValue(smoothing);
}

void CycleViews::SetChannels(std::vector<CycleChannel> channels) {
  m_channels = std::move(channels);
  Refresh();
}

void CycleViews::Refresh() {
  CycleOptions options;
  options.cutoffMv = CutoffMv();
  options.stepThresholdMa = m_threshold->value();
  m_cycles.clear();
  for (const CycleChannel& c : m_channels) {
    m_cycles.push_back(SummarizeCycles(c.channel, c.source->Channel(c.channel), options));
  }
  RebuildTable();
  RebuildFade();
  RebuildDqdv();
}

void CycleViews::RebuildTable() {
  m_table->setRowCount(0);
  for (size_t i = 0; i < m_channels.size(); ++i) {
    const CycleChannel& ch = m_channels[i];
    for (const CycleSummary& c : m_cycles[i]) {
      const int row = m_table->rowCount();
      m_table->insertRow(row);
      QTableWidgetItem* name = TableItem(ch.name, false);
      QPixmap swatch(14, 14);
      swatch.fill(CycleColour(ch.colour, c.cycle));
      name->setIcon(QIcon(swatch));
      m_table->setItem(row, 0, name);
      const QStringList cells{QString::number(c.cycle),
                              QString::number(c.frames),
                              QString::number(c.durationS),
                              QString::number(c.capacityMah),
                              FixedNumber(c.chargeMah, 3),
                              FixedNumber(c.energyMwh, 3),
                              FixedNumber(c.avgMv, 1),
                              QString::number(c.endMv),
                              c.cutoffS ? QString::number(*c.cutoffS) : QStringLiteral("-"),
                              OptionalNumber(c.cutoffMah, 3),
                              OptionalNumber(c.cutoffMwh, 3),
                              OptionalNumber(c.medianMohm, 1)};
      for (int k = 0; k < cells.size(); ++k) {
        m_table->setItem(row, k + 1, TableItem(cells[k]));
      }
    }
  }
}

void CycleViews::RebuildFade() {
  // A labelled cell's sessions join in the order they were recorded; an
  // unlabelled channel stands alone.
  struct Group {
    QString name;
    QColor colour;
    std::vector<std::pair<QDateTime, size_t>> members;  // start, channel index
  };
  std::map<QString, Group> groups;
  std::vector<QString> order;
  for (size_t i = 0; i < m_channels.size(); ++i) {
    const CycleChannel& ch = m_channels[i];
    const QString label = ch.source->cells[size_t(ch.channel - 1)];
    const QString key = label.isEmpty() ? QStringLiteral("#%1").arg(i) : u'@' + label;
    auto [it, added] = groups.try_emplace(key);
    if (added) {
      it->second.name = label.isEmpty() ? ch.name : tr("电池 %1").arg(label);
      it->second.colour = ch.colour;
      order.push_back(key);
    }
    it->second.members.emplace_back(ch.source->start, i);
  }
  m_fade->Clear();
  for (const QString& key : order) {
    Group& g = groups[key];
    std::stable_sort(g.members.begin(), g.members.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    const int curve = m_fade->AddCurve(g.name, g.colour);
    m_fade->SetCurveMarkers(curve, true);
    int n = 0;
    for (const auto& member : g.members) {
      for (const CycleSummary& c : m_cycles[member.second]) {
        m_fade->AddPoint(curve, ++n, c.capacityMah);
      }
    }
  }
  m_fade->FitAll();
}

void CycleViews::RebuildDqdv() {
  m_dqdv->Clear();
  for (const auto& [index, d] : ComputeDqdv()) {
    const CycleChannel& ch = m_channels[index];
    const int curve =
        m_dqdv->AddCurve(CycleCurveName(ch.name, d.cycle, qsizetype(m_cycles[index].size())),
                         CycleColour(ch.colour, d.cycle));
    for (const IncrementalCapacityPoint& p : d.points) {
      m_dqdv->AddPoint(curve, p.voltageMv, p.mahPerV);
    }
  }
  m_dqdv->FitAll();
}

std::vector<std::pair<size_t, DqdvCurve>> CycleViews::ComputeDqdv() const {
  const IncrementalCapacityOptions options{m_step->value(), m_smoothing->value()};
  std::vector<std::pair<size_t, DqdvCurve>> curves;
  for (size_t i = 0; i < m_channels.size() && i < m_cycles.size(); ++i) {
    const CycleChannel& ch = m_channels[i];
    if (!ch.shown) {
      continue;
    }
    const std::span<const ChannelSample> all = ch.source->Channel(ch.channel);
    for (const CycleSummary& c : m_cycles[i]) {
      DqdvCurve d;
      d.source = ch.source->name;
      d.channel = ch.channel;
      d.cell = ch.source->cells[size_t(ch.channel - 1)];
      d.cycle = c.cycle;
      d.points =
          IncrementalCapacity(all.subspan(size_t(c.first), size_t(c.end - c.first)), options);
      curves.emplace_back(i, std::move(d));
    }
  }
  return curves;
}

std::vector<DqdvCurve> CycleViews::DqdvCurves() const {
  std::vector<DqdvCurve> curves;
  for (auto& [index, d] : ComputeDqdv()) {
    curves.push_back(std::move(d));
  }
  return curves;
}

bool CycleViews::ExportDqdvCsv(const QString& path, QString* error) const {
  QString why;
  QSaveFile file(path);
  const QByteArray bytes = DqdvCsv(DqdvCurves());
  if (!file.open(QIODevice::WriteOnly)) {
    why = file.errorString();
  } else if (file.write(bytes) != bytes.size()) {
    why = file.errorString();
    file.cancelWriting();
  } else if (CommitSaveFile(file, &why)) {
    return true;
  }
  if (error) {
    *error = tr("无法把数据保存到 %1：%2").arg(QDir::toNativeSeparators(path), why);
  }
  return false;
}

void CycleViews::OnDqdvCsvClicked() {
  if (!m_dialogs) {
    return;
  }
  QWidget* parent = m_dqdvPage->window();
  const QString path = m_dialogs->CsvFileToSave(parent);
  QString error;
  if (!path.isEmpty() && !ExportDqdvCsv(path, &error)) {
    m_dialogs->ShowError(parent, error);
  }
}
