#include "chartsetup.h"

#include "dischargechart.h"

void ApplyChartStartUp(DischargeChart& chart) {
  chart.SetTitle(QStringLiteral("实时曲线"));
  chart.SetAxisMin(ChartAxis::Y, 1000);
  chart.SetAxisSpan(ChartAxis::Y, 500);
  chart.SetAxisSpan(ChartAxis::X, 3500);  // the X lower end stays at 0
  chart.SetTraceTitle(0, QStringLiteral("通道1"));
  chart.SetTraceTitle(1, QStringLiteral("通道2"));
  const std::pair<ChartAxis, QString> axes[] = {{ChartAxis::X, QStringLiteral("时间(S)")},
                                                {ChartAxis::Y, QStringLiteral("电压(mV)")}};
  for (const auto& [axis, title] : axes) {
    chart.SetAxisTitleFontName(axis, QStringLiteral("宋体"));
    chart.SetAxisTitleFontSize(axis, 12);
    chart.SetAxisTitle(axis, title);
  }
}
