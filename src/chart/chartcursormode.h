#pragma once

// What the chart's data cursor measures. The value modes read pointer 1; the
// other three compare pointer 1 with pointer 2 on the trace the cursor reads.
enum class ChartCursorMode { ValueXY, ValueX, ValueY, Period, PeakPeak, Frequency };
