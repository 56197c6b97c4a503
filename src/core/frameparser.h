#pragma once

#include <QString>
#include <QStringList>
#include <QStringView>
#include <optional>

#include "telemetryframe.h"

// The charger's frame: "$1" then thirteen fields split by "," or ";", e.g.
//   $1,1,120,1350,500,100,25;1,118,1342,498,99,24
// Token 1 / 7 flag a channel present (value 1), tokens 2-6 / 8-12 are its time,
// voltage, current, capacity and temperature. Anything after token 12 is ignored.

enum class ParseFailure {
  MissingToken,   // the chunk has fewer tokens than the walk needs
  BadConversion,  // a token that must be a number is not one
};

enum class ParseOutcome { NotAFrame, Complete, Failed };

// Receives the parser's reports in walk order. A report is made right after
// its token was converted and before the next token is looked at, so a sink
// may act on each one at once. Failed() is the last report of a failed walk.
class FrameSink {
 public:
  virtual ~FrameSink() = default;
  virtual void NotAFrame() = 0;
  virtual void Field(int channel, Quantity quantity, qint32 value) = 0;
  virtual void ChannelDone(int channel) = 0;
  virtual void Failed(ParseFailure failure, int tokenIndex) = 0;
};

// Splits at every single "," ";" or " " without trimming: adjacent separators
// give empty tokens, line ends stay in the token they touch. An empty chunk
// gives no tokens.
QStringList Tokenize(const QString& chunk);

// Walks the chunk's tokens and reports to `sink`. Exceptions thrown by the
// sink propagate unchanged; the parser itself never throws.
ParseOutcome Parse(QStringView chunk, FrameSink& sink);

// Strict, locale-free decimal conversions. Blanks, tabs, CR and LF around the
// number are skipped; what remains must be [+-] digits [. digits] (at least
// one digit). Exponents, "nan", "inf", grouping and non-ASCII digits fail.
std::optional<double> ToNumber(QStringView token);

// ToNumber, rounded to nearest with ties to even; fails outside qint32.
std::optional<qint32> ToInt32(QStringView token);
