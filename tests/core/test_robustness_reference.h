#pragma once

// A deliberately plain second implementation of the frame grammar, used as an
// oracle by the robustness test and the parse fuzzer. It follows the frame
// format literally (replace "," and ";" by blanks, split at every blank) and
// converts numbers with a regular expression and Qt's own decimal reader, so
// it shares no code with the parser it checks. Speed does not matter here.

#include <QByteArray>
#include <QRegularExpression>
#include <QString>
#include <QStringList>
#include <cfenv>
#include <cmath>
#include <limits>
#include <optional>
#include <vector>

#include "frameparser.h"

namespace reference {

inline QStringList Tokenize(const QString& chunk) {
  if (chunk.isEmpty()) {
    return {};
  }
  QString spaced = chunk;
  spaced.replace(u',', u' ');
  spaced.replace(u';', u' ');
  return spaced.split(u' ', Qt::KeepEmptyParts);
}

inline std::optional<double> ToNumber(const QString& token) {
  static const QRegularExpression kShape(
      QStringLiteral("\\A[ \\t\\r\\n]*([+-]?)([0-9]*)(?:\\.([0-9]*))?[ \\t\\r\\n]*\\z"));
  const QRegularExpressionMatch match = kShape.match(token);
  if (!match.hasMatch()) {
    return std::nullopt;
  }
  const QString integral = match.captured(2);
  const QString fraction = match.captured(3);
  if (integral.isEmpty() && fraction.isEmpty()) {
    return std::nullopt;
  }
  const bool negative = match.captured(1) == u"-";
  QByteArray text = integral.toLatin1();
  if (!fraction.isEmpty()) {
    text += '.' + fraction.toLatin1();
  }
  bool ok = false;
  const double magnitude = text.toDouble(&ok);
  if (!ok) {
    // Qt reports both overflow and underflow as failures. A magnitude of one
    // or more can only have overflowed, which is not a number we can hold; a
    // fraction below that has only lost precision and reads as zero.
    bool integralIsZero = true;
    for (QChar c : integral) {
      integralIsZero = integralIsZero && c == u'0';
    }
    if (!integralIsZero) {
      return std::nullopt;
    }
    return negative ? -0.0 : 0.0;
  }
  return negative ? -magnitude : magnitude;
}

// Nearest integer, ties to even, within qint32.
inline std::optional<qint32> RoundToInt32(double value) {
  const int previousMode = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const double rounded = std::nearbyint(value);
  std::fesetround(previousMode);
  if (!(rounded >= -2147483648.0 && rounded <= 2147483647.0)) {
    return std::nullopt;
  }
  return static_cast<qint32>(rounded);
}

inline std::optional<qint32> ToInt32(const QString& token) {
  const std::optional<double> number = reference::ToNumber(token);
  if (!number) {
    return std::nullopt;
  }
  return RoundToInt32(*number);
}

// One report of a parse walk. `channel` is 0 for NotAFrame and Failed.
struct Report {
  enum class Kind { NotAFrame, Field, ChannelDone, Failed };
  Kind kind = Kind::Failed;
  int channel = 0;
  Quantity quantity = Quantity::Time;
  qint32 value = 0;
  ParseFailure failure = ParseFailure::MissingToken;
  int tokenIndex = -1;

  bool operator==(const Report&) const = default;
};

struct Walk {
  ParseOutcome outcome = ParseOutcome::Failed;
  std::vector<Report> reports;
};

inline Walk Parse(const QString& chunk) {
  const QStringList tokens = reference::Tokenize(chunk);
  Walk walk;
  auto fail = [&walk](ParseFailure failure, int index) {
    Report report;
    report.kind = Report::Kind::Failed;
    report.failure = failure;
    report.tokenIndex = index;
    walk.reports.push_back(report);
    walk.outcome = ParseOutcome::Failed;
    return walk;
  };
  if (tokens.isEmpty()) {
    return fail(ParseFailure::MissingToken, 0);
  }
  if (tokens[0] != u"$1") {
    walk.reports.push_back(Report{Report::Kind::NotAFrame});
    walk.outcome = ParseOutcome::NotAFrame;
    return walk;
  }
  constexpr Quantity kOrder[] = {Quantity::Time, Quantity::Voltage, Quantity::Current,
                                 Quantity::Capacity, Quantity::Temperature};
  for (int channel = 1; channel <= 2; ++channel) {
    const int flagIndex = channel == 1 ? 1 : 7;
    if (flagIndex >= tokens.size()) {
      return fail(ParseFailure::MissingToken, flagIndex);
    }
    const std::optional<double> flag = reference::ToNumber(tokens[flagIndex]);
    if (!flag) {
      return fail(ParseFailure::BadConversion, flagIndex);
    }
    if (*flag != 1.0) {
      continue;
    }
    for (int i = 0; i < 5; ++i) {
      const int index = flagIndex + 1 + i;
      if (index >= tokens.size()) {
        return fail(ParseFailure::MissingToken, index);
      }
      const std::optional<qint32> value = reference::ToInt32(tokens[index]);
      if (!value) {
        return fail(ParseFailure::BadConversion, index);
      }
      Report field;
      field.kind = Report::Kind::Field;
      field.channel = channel;
      field.quantity = kOrder[i];
      field.value = *value;
      walk.reports.push_back(field);
    }
    Report done;
    done.kind = Report::Kind::ChannelDone;
    done.channel = channel;
    walk.reports.push_back(done);
  }
  walk.outcome = ParseOutcome::Complete;
  return walk;
}

// Records the real parser's reports in the reference's terms.
class RecordingSink final : public FrameSink {
 public:
  void NotAFrame() override { reports.push_back(Report{Report::Kind::NotAFrame}); }
  void Field(int channel, Quantity quantity, qint32 value) override {
    Report report;
    report.kind = Report::Kind::Field;
    report.channel = channel;
    report.quantity = quantity;
    report.value = value;
    reports.push_back(report);
  }
  void ChannelDone(int channel) override {
    Report report;
    report.kind = Report::Kind::ChannelDone;
    report.channel = channel;
    reports.push_back(report);
  }
  void Failed(ParseFailure failure, int tokenIndex) override {
    Report report;
    report.kind = Report::Kind::Failed;
    report.failure = failure;
    report.tokenIndex = tokenIndex;
    reports.push_back(report);
  }

  std::vector<Report> reports;
};

inline QString Describe(const Report& report) {
  switch (report.kind) {
    case Report::Kind::NotAFrame:
      return QStringLiteral("NotAFrame");
    case Report::Kind::Field:
      return QStringLiteral("Field(%1,%2,%3)")
          .arg(report.channel)
          .arg(static_cast<int>(report.quantity))
          .arg(report.value);
    case Report::Kind::ChannelDone:
      return QStringLiteral("ChannelDone(%1)").arg(report.channel);
    case Report::Kind::Failed:
      break;
  }
  return QStringLiteral("Failed(%1,%2)")
      .arg(report.failure == ParseFailure::MissingToken ? QStringLiteral("missing")
                                                        : QStringLiteral("bad"))
      .arg(report.tokenIndex);
}

inline QString Describe(const std::vector<Report>& reports) {
  QStringList parts;
  for (const Report& report : reports) {
    parts << Describe(report);
  }
  return parts.join(u' ');
}

// The chunk with control and non-ASCII characters escaped, cut to a readable
// length, for failure messages.
inline QString Printable(const QString& chunk, qsizetype limit = 300) {
  QString out;
  for (qsizetype i = 0; i < chunk.size() && i < limit; ++i) {
    const char16_t c = chunk[i].unicode();
    if (c >= 0x20 && c < 0x7f && c != u'\\') {
      out += QChar(c);
    } else {
      out += QStringLiteral("\\u%1").arg(static_cast<uint>(c), 4, 16, QChar(u'0'));
    }
  }
  if (chunk.size() > limit) {
    out += QStringLiteral("...(%1 chars)").arg(chunk.size());
  }
  return out;
}

}  // namespace reference
