// libFuzzer target for the frame parser. Each input is decoded twice (UTF-8
// and Latin-1, the two extremes of what the port's decoder can hand over) and
// every result is checked, not only survived: the report sequence must follow
// the frame grammar, ParseFrame must match the reports, the conversions must
// agree with each other and with the reference grammar, and a whole
// acquisition pass over the chunk must keep its promises.

#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "acquisitionpass.h"
#include "framecollector.h"
#include "plainwindow.h"
#include "test_robustness_reference.h"

namespace {

[[noreturn]] void Violated(const char* what, const QString& chunk) {
  std::fprintf(stderr, "invariant violated: %s\nchunk: %s\n", what,
               qPrintable(reference::Printable(chunk, 2000)));
  std::abort();
}

void Require(bool holds, const char* what, const QString& chunk) {
  if (!holds) {
    Violated(what, chunk);
  }
}

// The reports of one walk must read as: [Failed at 0] | [NotAFrame] | [] |
// channel blocks in channel order, each five fields in quantity order closed
// by ChannelDone, the last block possibly cut short by one final Failed.
void CheckGrammar(const std::vector<reference::Report>& reports, ParseOutcome outcome,
                  const QString& chunk) {
  using Kind = reference::Report::Kind;
  if (reports.empty()) {
    // Both channels absent: a complete frame with nothing to report.
    Require(outcome == ParseOutcome::Complete, "a walk ended without a report", chunk);
    return;
  }
  const Kind last = reports.back().kind;
  Require((outcome == ParseOutcome::Failed) == (last == Kind::Failed),
          "outcome and last report disagree", chunk);
  Require((outcome == ParseOutcome::NotAFrame) == (last == Kind::NotAFrame),
          "outcome and last report disagree", chunk);
  if (last == Kind::NotAFrame) {
    Require(reports.size() == 1, "NotAFrame after other reports", chunk);
    return;
  }
  int channel = 0;
  int fields = 0;
  for (size_t i = 0; i < reports.size(); ++i) {
    const reference::Report& r = reports[i];
    switch (r.kind) {
      case Kind::NotAFrame:
        Violated("NotAFrame inside a frame walk", chunk);
      case Kind::Failed:
        Require(i + 1 == reports.size(), "a report after Failed", chunk);
        Require(r.tokenIndex >= 0 && r.tokenIndex <= 12, "failure outside tokens 0-12", chunk);
        break;
      case Kind::Field:
        if (fields == 0) {
          Require(r.channel > channel, "a channel reported twice or out of order", chunk);
          channel = r.channel;
        }
        Require(r.channel == channel, "a field of the wrong channel", chunk);
        Require(static_cast<int>(r.quantity) == fields, "fields out of order", chunk);
        ++fields;
        break;
      case Kind::ChannelDone:
        Require(r.channel == channel && fields == kQuantityCount,
                "ChannelDone without its five fields", chunk);
        fields = 0;
        break;
    }
  }
  Require(channel <= 2, "a third channel", chunk);
  if (outcome == ParseOutcome::Complete) {
    Require(fields == 0, "a complete walk left a channel open", chunk);
  }
}

void CheckFrame(const std::vector<reference::Report>& reports, const QString& chunk) {
  TelemetryFrame frame = ParseFrame(chunk);
  for (int c = 1; c <= 2; ++c) {
    int fields = 0;
    bool done = false;
    for (const reference::Report& r : reports) {
      if (r.channel != c) {
        continue;
      }
      if (r.kind == reference::Report::Kind::Field) {
        ++fields;
        Require(frame.Channel(c).Field(r.quantity) == r.value, "ParseFrame lost a field value",
                chunk);
      }
      done = done || r.kind == reference::Report::Kind::ChannelDone;
    }
    Require(frame.Channel(c).present == done, "ParseFrame presence differs from ChannelDone",
            chunk);
    Require(!frame.Channel(c).present || fields == kQuantityCount,
            "ParseFrame shows a channel present without its five fields", chunk);
  }
}

void CheckConversions(const QString& chunk) {
  const QStringList tokens = Tokenize(chunk);
  Require(tokens == reference::Tokenize(chunk), "Tokenize differs from the reference", chunk);
  qsizetype separators = 0;
  for (QChar c : chunk) {
    separators += c == u',' || c == u';' || c == u' ';
  }
  Require(chunk.isEmpty() ? tokens.isEmpty() : tokens.size() == separators + 1,
          "token count is not separators + 1", chunk);
  for (qsizetype i = 0; i < tokens.size() && i <= 12; ++i) {
    const std::optional<double> number = ToNumber(tokens[i]);
    const std::optional<qint32> integer = ToInt32(tokens[i]);
    Require(!number || std::isfinite(*number), "ToNumber yielded a non-finite value", chunk);
    Require(integer == (number ? reference::RoundToInt32(*number) : std::nullopt),
            "ToInt32 is not ToNumber rounded half to even within qint32", chunk);
    const std::optional<double> expected = reference::ToNumber(tokens[i]);
    Require(number.has_value() == expected.has_value() && (!number || *number == *expected),
            "ToNumber differs from the reference", chunk);
  }
}

void CheckPass(const QString& chunk, const reference::Walk& walk) {
  PlainWindow window;
  window.port.chunk = chunk;
  window.status.text = QStringLiteral("before");
  const AcquisitionTargets targets = window.Targets();
  const PassOutcome outcome = RunAcquisitionPass(targets);
  Require(window.raw.text == chunk, "Text2 does not hold the chunk", chunk);
  Require(window.log.all == chunk, "the log does not hold the chunk", chunk);
  Require(window.chart.pointsOnOtherTraces == 0, "a point on a third trace", chunk);
  Require((outcome == PassOutcome::Completed) == (walk.outcome != ParseOutcome::Failed),
          "the pass outcome does not follow the walk", chunk);
  Require(window.nonFrame.text ==
              (walk.outcome == ParseOutcome::NotAFrame ? QStringLiteral("1") : QString()),
          "Text3 does not follow the walk", chunk);
  const bool notice = chunk == QStringView(kEndOfDischargeNotice);
  const QString word = outcome == PassOutcome::Ended ? QStringLiteral("before")
                       : notice                      ? QString::fromUtf16(kStatusPaused)
                                                     : QString::fromUtf16(kStatusReady);
  Require(window.status.text == word, "Text11 is not the word the pass must leave", chunk);
  for (int c = 1; c <= 2; ++c) {
    int done = 0;
    for (const reference::Report& r : walk.reports) {
      done += r.kind == reference::Report::Kind::ChannelDone && r.channel == c;
    }
    const size_t t = static_cast<size_t>(c - 1);
    Require(window.chart.points[t] == done, "chart points do not follow ChannelDone", chunk);
    if (done) {
      const size_t base = t * kQuantityCount;
      Require(window.chart.last[t] == std::pair<double, double>(window.meters[base].value,
                                                                window.meters[base + 1].value),
              "a chart point is not the time and voltage readouts", chunk);
    }
  }
}

void Check(const QString& chunk) {
  reference::RecordingSink sink;
  const ParseOutcome outcome = Parse(chunk, sink);
  CheckGrammar(sink.reports, outcome, chunk);
  CheckFrame(sink.reports, chunk);
  CheckConversions(chunk);
  const reference::Walk walk = reference::Parse(chunk);
  Require(outcome == walk.outcome && sink.reports == walk.reports,
          "Parse differs from the reference walk", chunk);
  CheckPass(chunk, walk);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const QByteArray bytes =
      QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
  Check(QString::fromUtf8(bytes));
  Check(QString::fromLatin1(bytes));
  return 0;
}
