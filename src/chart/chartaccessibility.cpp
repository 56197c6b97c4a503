#include "chartaccessibility.h"

#include <QAccessibleWidget>
#include <QLocale>
#include <QToolButton>

#include "dischargechart.h"
#include "qcustomplot.h"
#include "reviewplot.h"

namespace {

constexpr int kUpdateIntervalMs = 1000;

// The chart is named by its title unless given a name of its own.
class ChartAccessible final : public QAccessibleWidget {
 public:
  explicit ChartAccessible(DischargeChart* chart) : QAccessibleWidget(chart, QAccessible::Chart) {}
  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
      return static_cast<const DischargeChart*>(object())->Title();
    }
    return QAccessibleWidget::text(t);
  }
};

QAccessibleInterface* ChartFactory(const QString&, QObject* object) {
  if (auto* chart = qobject_cast<DischargeChart*>(object)) {
    return new ChartAccessible(chart);
  }
  // The review plot names itself by its title.
  if (auto* plot = qobject_cast<ReviewPlot*>(object)) {
    return new QAccessibleWidget(plot, QAccessible::Chart);
  }
  return nullptr;
}

QString Number(double v) {
  return QString::number(v, 'g', QLocale::FloatingPointShortest);
}

}  // namespace

ChartAccessibility::ChartAccessibility(DischargeChart& chart)
    : QObject(&chart), m_chart(chart), m_plotArea(chart.findChild<QCustomPlot*>()) {
  InstallChartAccessibility();
  m_wait.setSingleShot(true);
  m_wait.setInterval(kUpdateIntervalMs);
  connect(&m_wait, &QTimer::timeout, this, &ChartAccessibility::Update);
  if (m_plotArea) {
    m_plotArea->setAccessibleName(tr("曲线区"));
  }
  // The toolbar's button for commands that do not fit.
  for (QToolButton* button : chart.findChildren<QToolButton*>()) {
    if (button->objectName() == QLatin1StringView("qt_toolbar_ext_button")) {
      button->setAccessibleName(tr("更多命令"));
    }
  }
  m_chart.setAccessibleDescription(NewestPoints());
}

void ChartAccessibility::UpdateNow() {
  m_wait.stop();
  Update();
}

void ChartAccessibility::Changed() {
  if (!m_wait.isActive()) {
    m_wait.start();
  }
}

QString ChartAccessibility::NewestPoints() const {
  QStringList parts;
  for (int trace = 0; trace < DischargeChart::kTraceCount; ++trace) {
    const qsizetype count = m_chart.PointCount(trace);
    if (m_chart.TraceVisible(trace) && count > 0) {
      const QPointF newest = m_chart.Point(trace, count - 1);
      parts << tr("%1 %2 mV, %3 s")
                   .arg(m_chart.TraceTitle(trace), Number(newest.y()), Number(newest.x()));
    }
  }
  return parts.isEmpty() ? tr("暂无数据") : parts.join(tr("；"));
}

QString ChartAccessibility::CursorReadings() const {
  if (!m_chart.CursorVisible()) {
    return {};
  }
  // The hint's values, after the name of the trace the cursor reads while
  // that trace is shown.
  const int read = m_chart.CursorTrace();
  const QString hint = m_chart.CursorHint().replace(QLatin1Char('\n'), QStringLiteral(", "));
  QStringList parts{m_chart.TraceVisible(read) ? m_chart.TraceTitle(read) + u' ' + hint : hint};
  for (int trace = 0; trace < DischargeChart::kTraceCount; ++trace) {
    const QStringList values = m_chart.LegendValues(trace);
    // X, Y, Y-Max, Y-Min, Y-Mean; the Y at the cursor is the one to hear.
    if (m_chart.TraceVisible(trace) && values.size() > 1) {
      parts << tr("%1 Y: %2").arg(m_chart.TraceTitle(trace), values[1]);
    }
  }
  return parts.join(tr("；"));
}

void ChartAccessibility::Update() {
  // setAccessibleDescription tells accessibility tools only when the text
  // changes.
  m_chart.setAccessibleDescription(NewestPoints());
  if (m_plotArea) {
    m_plotArea->setAccessibleDescription(CursorReadings());
  }
}

void InstallChartAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&ChartFactory);
    return true;
  }();
  Q_UNUSED(installed);
}
