#pragma once

// Everything an acquisition pass touches, as plain values with no journal:
// for the fuzzer and the parser benchmark, which run millions of passes.

#include <array>
#include <utility>

#include "acquisitionpass.h"

class PlainWindow {
 public:
  class Box final : public TextBox {
   public:
    QString Text() const override { return text; }
    void SetText(const QString& t) override { text = t; }
    QString text;
  };

  class Port final : public TextSource {
   public:
    QString ReadAllAsText() override { return chunk; }
    QString chunk;
  };

  class Log final : public LogSink {
   public:
    void AppendAndFollow(const QString& t) override {
      length += t.size();
      if (keepText) {
        all += t;
      }
    }
    bool keepText = true;  // off for long runs, so memory stays flat
    QString all;
    qint64 length = 0;  // UTF-16 code units appended
  };

  class Meter final : public Readout {
   public:
    void SetValue(qint32 v) override { value = v; }
    qint32 GetValue() const override { return value; }
    qint32 value = 0;
  };

  class Chart final : public ChartSink {
   public:
    void AddPoint(int trace, double x, double y) override {
      if (trace != 0 && trace != 1) {
        ++pointsOnOtherTraces;
        return;
      }
      ++points[static_cast<size_t>(trace)];
      last[static_cast<size_t>(trace)] = {x, y};
    }
    std::array<int, 2> points{};
    std::array<std::pair<double, double>, 2> last{};
    int pointsOnOtherTraces = 0;
  };

  AcquisitionTargets Targets() {
    AcquisitionTargets t{port, raw, nonFrame, status, log, {}, {}, chart};
    for (size_t q = 0; q < kQuantityCount; ++q) {
      t.channel1[q] = &meters[q];
      t.channel2[q] = &meters[kQuantityCount + q];
    }
    return t;
  }

  Port port;
  Box raw;       // Text2
  Box nonFrame;  // Text3
  Box status;    // Text11
  Log log;
  std::array<Meter, 2 * kQuantityCount> meters;  // channel 1 then channel 2
  Chart chart;
};
