#pragma once

#include <QObject>
#include <QString>
#include <QTimer>

class DischargeChart;

// What the chart tells a screen reader. The chart is a chart (role) named by
// its title; its description gives each visible trace's newest point, e.g.
// "通道1 1350 mV, 120 s". The plot area is named and, while the data cursor
// is shown, describes the cursor's readings. Both descriptions follow the
// chart at most once a second, so a live chart does not flood the reader:
// Changed() only starts the one-second wait when none is running. The plot
// area takes the focus; while it has it, a screen reader speaks each change
// of its description, so a cursor moved by key is heard at once.
class ChartAccessibility : public QObject {
  Q_OBJECT
 public:
  explicit ChartAccessibility(DischargeChart& chart);

  // Something shown changed (a point, a trace's visibility, the cursor).
  void Changed();
  // The user moved the cursor: its readings are told now, not after the wait.
  void UpdateNow();

  // The texts as they would be given now.
  QString NewestPoints() const;
  QString CursorReadings() const;

 private:
  void Update();

  DischargeChart& m_chart;
  QWidget* m_plotArea;
  QTimer m_wait;
};

// Registers the accessible role of the live chart and the review plot with
// QAccessible; safe to call any number of times.
void InstallChartAccessibility();
