#include "cellcycles.h"

#include "stepsums.h"

std::vector<CycleRange> SplitCycles(std::span<const ChannelSample> samples) {
  std::vector<CycleRange> ranges;
  qsizetype first = 0;
  const qsizetype n = qsizetype(samples.size());
  for (qsizetype i = 1; i <= n; ++i) {
    if (i < n && samples[size_t(i)].time >= samples[size_t(i - 1)].time) {
      continue;
    }
    ranges.push_back({first, i});
    first = i;
  }
  return ranges;
}

std::vector<CycleSummary> SummarizeCycles(int channel, std::span<const ChannelSample> samples,
                                          const CycleOptions& options) {
  std::vector<CycleSummary> cycles;
  for (const CycleRange& range : SplitCycles(samples)) {
    const std::span<const ChannelSample> cycle =
        samples.subspan(size_t(range.first), size_t(range.end - range.first));
    CycleSummary c;
    c.channel = channel;
    c.cycle = int(cycles.size()) + 1;
    c.first = range.first;
    c.end = range.end;
    c.frames = qint64(cycle.size());
    c.startS = cycle.front().time;
    c.capacityMah = cycle.back().capacity;
    c.endMv = cycle.back().voltage;
    // One pass gives the sums at the cut-off and at the end; within a cycle
    // the time never runs back, so the counted time to the cut-off is its
    // time reading less the cycle's start.
    StepAccumulator acc;
    for (size_t k = 0; k < cycle.size(); ++k) {
      if (k > 0) {
        acc.Add(cycle[k - 1], cycle[k]);
      }
      if (options.cutoffMv && !c.cutoffS && cycle[k].voltage <= *options.cutoffMv) {
        const StepSums upTo = acc.Sums();
        c.cutoffS = qint64(cycle[k].time) - c.startS;
        c.cutoffMah = upTo.chargeMah;
        c.cutoffMwh = upTo.energyMwh;
      }
    }
    const StepSums whole = acc.Sums();
    c.durationS = whole.durationS;
    c.chargeMah = whole.chargeMah;
    c.energyMwh = whole.energyMwh;
    c.avgMv = whole.avgMv;
    c.medianMohm = MedianResistance(ResistanceSteps(cycle, options.stepThresholdMa));
    cycles.push_back(c);
  }
  return cycles;
}

std::vector<CycleSummary> SummarizeCycles(int channel, std::span<const ChannelSample> samples,
                                          std::optional<qint32> cutoffMv) {
  CycleOptions options;
  options.cutoffMv = cutoffMv;
  return SummarizeCycles(channel, samples, options);
}
