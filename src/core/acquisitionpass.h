#pragma once

#include <array>

#include "acquisitionseams.h"
#include "frameparser.h"

// Everything one acquisition pass reads or writes. Readouts are ordered time,
// voltage, current, capacity, temperature (the order of Quantity).
struct AcquisitionTargets {
  TextSource& port;
  TextBox& rawBox;       // Text2: the latest chunk
  TextBox& nonFrameBox;  // Text3: the pass's non-frame count
  TextBox& statusBox;    // Text11: "就绪" or "暂停"
  LogSink& log;
  std::array<Readout*, kQuantityCount> channel1;
  std::array<Readout*, kQuantityCount> channel2;
  ChartSink& chart;
  PassRecorder* recorder = nullptr;  // optional
};

enum class PassOutcome {
  Completed,  // ran to the status word
  Ended,      // a step failed; what ran before it stays applied
};

// The charger's end-of-discharge notice, recognised only when a pass reads it
// alone and exactly.
inline constexpr char16_t kEndOfDischargeNotice[] = u" Exit from discharge .... ";
inline constexpr char16_t kStatusReady[] = u"就绪";
inline constexpr char16_t kStatusPaused[] = u"暂停";

// One pass of the acquisition timer: read the port, show the chunk raw, log it,
// parse it, put each field on its readout as soon as it is converted, add one
// chart point per present channel from the readouts' own values, then set the
// status word. Any failure ends the pass silently; nothing escapes it.
PassOutcome RunAcquisitionPass(const AcquisitionTargets& targets) noexcept;
