#include "gradingview.h"

#include <QDir>
#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QScreen>
#include <QStyle>
#include <QTableWidget>
#include <QVBoxLayout>

#include "cycleviews.h"
#include "reviewdialogs.h"
#include "reviewwindow.h"
#include "savefile.h"

namespace {

constexpr int kDefaultWidth = 900;  // px
constexpr int kDefaultHeight = 420;
// What a window frame may add to the window's own width.
constexpr int kFrameAllowance = 16;

}  // namespace

GradingView::GradingView(EntrySource entries, CutoffSource cutoff, ReviewDialogs* dialogs,
                         QWidget* parent)
    : QWidget(parent, Qt::Window),
      m_entries(std::move(entries)),
      m_cutoff(std::move(cutoff)),
      m_dialogs(dialogs) {
  setWindowTitle(tr("分选"));
  auto* layout = new QVBoxLayout(this);
  auto* controls = new QHBoxLayout;
  controls->addWidget(new QLabel(tr("分组范围 ±"), this));
  m_percent = new QDoubleSpinBox(this);
  m_percent->setRange(0, 50);
  m_percent->setDecimals(1);
  m_percent->setSingleStep(0.5);
  m_percent->setSuffix(QStringLiteral(" %"));
  m_percent->setValue(kDefaultGroupPercent);
  m_percent->setAccessibleName(tr("分组范围（百分比）"));
  controls->addWidget(m_percent);
  m_cutoffText = new QLabel(this);
  m_cutoffText->setToolTip(tr("截止电压在历史记录窗口中设置，摘要、循环和分选都用它"));
  controls->addWidget(m_cutoffText);
  controls->addStretch(1);
  auto* csv = new QPushButton(tr("导出 CSV…"), this);
  controls->addWidget(csv);
  layout->addLayout(controls);
  m_summary = new QLabel(this);
  layout->addWidget(m_summary);
  // Units on a second header line, so the figures' columns stay narrow.
  QStringList header = GradingHeader();
  for (QString& title : header) {
    const qsizetype unit = title.lastIndexOf(u'(');
    if (unit > 0) {
      title = title.left(unit).trimmed() + u'\n' + title.mid(unit);
    }
  }
  m_table = new QTableWidget(0, int(header.size()), this);
  m_table->setHorizontalHeaderLabels(header);
  m_table->setEditTriggers(QAbstractItemView::NoEditTriggers);
  m_table->setSelectionBehavior(QAbstractItemView::SelectRows);
  m_table->verticalHeader()->setVisible(false);
  m_table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
  m_table->horizontalHeader()->setStretchLastSection(true);
  m_table->setAccessibleName(tr("分选结果"));
  layout->addWidget(m_table);
  resize(kDefaultWidth, kDefaultHeight);

  connect(m_percent, &QDoubleSpinBox::valueChanged, this, &GradingView::Refresh);
  connect(csv, &QPushButton::clicked, this, &GradingView::OnCsvClicked);
}

double GradingView::Percent() const {
  return m_percent->value();
}

void GradingView::SetPercent(double percent) {
  m_percent->setValue(percent);
}

void GradingView::Refresh() {
  const std::optional<qint32> cutoff = Cutoff();
  m_cutoffText->setText(cutoff ? tr("截止电压：%1 mV").arg(*cutoff) : tr("截止电压：不设"));
  m_grading = GradeBatch(m_entries(cutoff), Percent());
  const QList<QStringList> lines = GradingCells(m_grading);
  m_table->setRowCount(int(lines.size()));
  // Alternate groups are shaded, so a group reads as one block.
  const QColor shade = palette().color(QPalette::AlternateBase);
  for (int r = 0; r < lines.size(); ++r) {
    for (int c = 0; c < lines[r].size(); ++c) {
      auto* item = new QTableWidgetItem(lines[r][c]);
      item->setTextAlignment(Qt::AlignVCenter | (c == 0 ? Qt::AlignLeft : Qt::AlignRight));
      if (m_grading.rows[size_t(r)].group % 2 == 0) {
        item->setBackground(shade);
      }
      m_table->setItem(r, c, item);
    }
  }
  m_summary->setText(m_grading.rows.empty() ? tr("没有可分选的曲线。")
                                            : GradingSummaryText(m_grading, Percent()));
  if (!isVisible()) {
    // Opens wide enough for every column (long cell names, the English
    // headers), within the screen; once shown, the user's size holds.
    resize(std::max(kDefaultWidth, std::min(TableWidth(), ScreenRoom())), height());
  }
}

int GradingView::TableWidth() const {
  const QHeaderView& header = *m_table->horizontalHeader();
  int columns = 0;
  for (int c = 0; c < m_table->columnCount(); ++c) {
    columns += std::max(static_cast<const QAbstractItemView*>(m_table)->sizeHintForColumn(c),
                        header.sectionSizeHint(c));
  }
  // The table's frame and a vertical scroll bar, and the window's margins.
  const int margins = layout()->contentsMargins().left() + layout()->contentsMargins().right();
  return columns + 2 * m_table->frameWidth() +
         m_table->style()->pixelMetric(QStyle::PM_ScrollBarExtent) + margins;
}

int GradingView::ScreenRoom() const {
  const QScreen* where = screen();
  return where ? where->availableGeometry().width() - kFrameAllowance : kDefaultWidth;
}

bool GradingView::ExportCsv(const QString& path, QString* error) {
  QSaveFile file(path);
  const QByteArray csv = GradingCsv(m_grading, Percent());
  QString why;
  if (!file.open(QIODevice::WriteOnly)) {
    why = file.errorString();
  } else if (file.write(csv) != csv.size()) {
    why = file.errorString();
    file.cancelWriting();
  } else if (CommitSaveFile(file, &why)) {
    return true;
  }
  *error = tr("无法把分选结果保存到 %1：%2").arg(QDir::toNativeSeparators(path), why);
  return false;
}

void GradingView::OnCsvClicked() {
  const QString path = m_dialogs ? m_dialogs->CsvFileToSave(this) : QString();
  QString error;
  if (!path.isEmpty() && !ExportCsv(path, &error)) {
    m_dialogs->ShowError(this, error);
  }
}

GradingView::EntrySource ShownCurveCycles(const ReviewWindow& window) {
  return [&window](std::optional<qint32> cutoffMv) {
    std::vector<GradeEntry> entries;
    for (int i = 0; i < window.SourceCount(); ++i) {
      for (const int c : {1, 2}) {
        if (window.CurveShown(i, c)) {
          const std::vector<GradeEntry> cycles =
              GradeChannel(window.Source(i), c, window.CurveTitle(i, c), cutoffMv);
          entries.insert(entries.end(), cycles.begin(), cycles.end());
        }
      }
    }
    return entries;
  };
}

void AddGrading(ReportContent& report, const ReviewWindow& window, const GradingView* view) {
  const double percent = view ? view->Percent() : kDefaultGroupPercent;
  std::vector<GradeEntry> entries = ShownCurveCycles(window)(window.Cycles().CutoffMv());
  if (entries.size() < 2) {
    return;
  }
  const Grading grading = GradeBatch(std::move(entries), percent);
  report.gradingTitle = GradingView::tr("分选");
  report.gradingSummary = GradingSummaryText(grading, percent);
  report.gradingHeader = GradingHeader();
  report.gradingRows = GradingCells(grading);
}
