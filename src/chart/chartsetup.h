#pragma once

class DischargeChart;

// The chart's start-up settings, in the order the window applies them when it
// loads: title, Y range, X span, trace titles, then each axis's title font and
// title.
void ApplyChartStartUp(DischargeChart& chart);
