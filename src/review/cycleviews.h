#pragma once

#include <QColor>
#include <QObject>
#include <QString>
#include <optional>
#include <utility>
#include <vector>

#include "cellcycles.h"
#include "dqdvcsv.h"
#include "reviewsource.h"

class QSpinBox;
class QTableWidget;
class QWidget;
class ReviewDialogs;
class ReviewPlot;

// One channel of an opened recording as the cycle views see it.
struct CycleChannel {
  const ReviewSource* source = nullptr;  // outlives the views' next SetChannels
  int channel = 1;
  QString name;   // the curve's name
  QColor colour;  // the channel's colour
  bool shown = true;
};

// A cycle's curve name: the channel's own when it has one cycle.
QString CycleCurveName(const QString& name, int cycle, qsizetype cycles);
// Later cycles of a channel in lighter and darker shades of its colour.
QColor CycleColour(const QColor& colour, int cycle);

// What the review shows of each channel's cycles: the cut-off voltage and
// the current step that counts for the resistance, a table of every cycle
// with its figures, the capacity of each cycle of a cell in test order
// ("容量衰减", the sessions of one labelled cell joined), and the shown
// channels' incremental capacity dQ/dV per cycle with its voltage step,
// smoothing and CSV. The widgets are made here and placed by the window.
class CycleViews : public QObject {
  Q_OBJECT
 public:
  explicit CycleViews(QWidget* parent);

  // Recomputes everything for these channels.
  void SetChannels(std::vector<CycleChannel> channels);

  QWidget* Settings() const { return m_settings; }  // cut-off and current step
  QTableWidget& Table() const { return *m_table; }
  ReviewPlot& FadePlot() const { return *m_fade; }
  QWidget* DqdvPage() const { return m_dqdvPage; }
  ReviewPlot& DqdvPlot() const { return *m_dqdv; }

  // Empty when none is set.
  std::optional<qint32> CutoffMv() const;
  void SetCutoffMv(std::optional<qint32> mv);
  void SetStepThresholdMa(qint32 ma);
  void SetDqdvStep(qint32 mv, int smoothing);

  // The shown channels' dQ/dV curves as the plot has them.
  std::vector<DqdvCurve> DqdvCurves() const;
  bool ExportDqdvCsv(const QString& path, QString* error = nullptr) const;
  void SetDialogs(ReviewDialogs* dialogs) { m_dialogs = dialogs; }

 signals:
  void CutoffChanged();

 private:
  void BuildSettings(QWidget* parent);
  void BuildDqdvPage(QWidget* parent);
  void Refresh();
  void RebuildTable();
  void RebuildFade();
  void RebuildDqdv();
  void OnDqdvCsvClicked();
  // Each shown channel's cycles' curves, with the channel's index.
  std::vector<std::pair<size_t, DqdvCurve>> ComputeDqdv() const;

  std::vector<CycleChannel> m_channels;
  std::vector<std::vector<CycleSummary>> m_cycles;  // per channel, with the options above
  QWidget* m_settings = nullptr;
  QSpinBox* m_cutoff = nullptr;
  QSpinBox* m_threshold = nullptr;
  QTableWidget* m_table = nullptr;
  ReviewPlot* m_fade = nullptr;
  QWidget* m_dqdvPage = nullptr;
  ReviewPlot* m_dqdv = nullptr;
  QSpinBox* m_step = nullptr;
  QSpinBox* m_smoothing = nullptr;
  ReviewDialogs* m_dialogs = nullptr;
};
