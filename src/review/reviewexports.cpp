#include <QDir>
#include <QLabel>
#include <QSaveFile>
#include <QTableWidget>

#include "bdfexport.h"
#include "cycleviews.h"
#include "gradingview.h"
#include "reviewdialogs.h"
#include "reviewplot.h"
#include "reviewtext.h"
#include "reviewwindow.h"
#include "savefile.h"

// The review window's report and exports: CSV and BDF files are written on
// workers, failures reported in the window.

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
    m_grading = new GradingView(
        ShownCurveCycles(*this), [this] { return m_cycles->CutoffMv(); }, m_dialogs, this);
    connect(this, &ReviewWindow::LoadFinished, m_grading, &GradingView::Refresh);
    connect(m_cycles, &CycleViews::CutoffChanged, m_grading, &GradingView::Refresh);
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
  StartWorker([this, path, sources = CsvSources(), opener = m_openStore,
               state = m_state](const Post& post) {
    QString error;
    const bool ok = WriteCsvFile(path, sources, opener, &error, &state->cancel);
    post([this, ok, error] {
      m_status->setText(ok ? tr("CSV 已导出。") : QString());
      if (!ok) {
        m_dialogs->ShowError(this, error);
      }
    });
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
  StartWorker([this, dir, sources = CsvSources(), opener = m_openStore](const Post& post) {
    QString error;
    const bool ok = WriteBdfSources(sources, opener, dir, nullptr, &error);
    post([this, ok, error] {
      ok ? m_status->setText(tr("BDF 文件已导出。")) : m_dialogs->ShowError(this, error);
    });
  });
}
