#include "frameparser.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <limits>

namespace {

constexpr int kChannelOneFlag = 1;
constexpr int kChannelTwoFlag = 7;
constexpr std::array<Quantity, kQuantityCount> kFieldOrder = {Quantity::Time, Quantity::Voltage,
                                                              Quantity::Current, Quantity::Capacity,
                                                              Quantity::Temperature};

bool IsSeparator(QChar c) {
  return c == u',' || c == u';' || c == u' ';
}

bool IsBlank(QChar c) {
  return c == u' ' || c == u'\t' || c == u'\r' || c == u'\n';
}

bool IsDigit(QChar c) {
  return c >= u'0' && c <= u'9';
}

// Hands out the chunk's tokens one by one, so no token past the one the walk
// needs is ever cut out of a (possibly huge) chunk.
class TokenCursor {
 public:
  explicit TokenCursor(QStringView chunk) : m_chunk(chunk) {}

  // The token at `index`; tokens must be asked for in increasing order.
  std::optional<QStringView> At(int index) {
    while (m_index < index) {
      if (!Advance()) {
        return std::nullopt;
      }
    }
    if (m_chunk.isEmpty()) {
      return std::nullopt;
    }
    return m_chunk.mid(m_start, m_end - m_start);
  }

 private:
  bool Advance() {
    if (m_end >= m_chunk.size()) {
      return false;
    }
    m_start = m_end + 1;
    m_end = Find(m_start);
    ++m_index;
    return true;
  }

  qsizetype Find(qsizetype from) const {
    qsizetype i = from;
    while (i < m_chunk.size() && !IsSeparator(m_chunk[i])) {
      ++i;
    }
    return i;
  }

  QStringView m_chunk;
  int m_index = 0;
  qsizetype m_start = 0;
  qsizetype m_end = Find(0);
};

}  // namespace

QStringList Tokenize(const QString& chunk) {
  QStringList tokens;
  if (chunk.isEmpty()) {
    return tokens;
  }
  qsizetype start = 0;
  for (qsizetype i = 0; i <= chunk.size(); ++i) {
    if (i == chunk.size() || IsSeparator(chunk[i])) {
      tokens.append(chunk.mid(start, i - start));
      start = i + 1;
    }
  }
  return tokens;
}

std::optional<double> ToNumber(QStringView token) {
  qsizetype begin = 0;
  qsizetype end = token.size();
  while (begin < end && IsBlank(token[begin])) {
    ++begin;
  }
  while (end > begin && IsBlank(token[end - 1])) {
    --end;
  }
  QStringView body = token.mid(begin, end - begin);

  bool negative = false;
  if (!body.isEmpty() && (body[0] == u'+' || body[0] == u'-')) {
    negative = body[0] == u'-';
    body = body.mid(1);
  }

  // Validate the shape first; from_chars alone would accept exponents,
  // "inf" and "nan".
  qsizetype digits = 0;
  bool seenPoint = false;
  for (QChar c : body) {
    if (IsDigit(c)) {
      ++digits;
    } else if (c == u'.' && !seenPoint) {
      seenPoint = true;
    } else {
      return std::nullopt;
    }
  }
  if (digits == 0) {
    return std::nullopt;
  }
  if (!seenPoint && digits <= 15) {
    // Whole numbers, as the charger sends them, need no general conversion:
    // below 2^53 each is exact as a double, as from_chars would give it.
    qint64 whole = 0;
    for (QChar c : body) {
      whole = whole * 10 + (c.unicode() - u'0');
    }
    return negative ? -double(whole) : double(whole);
  }

  std::string ascii;
  ascii.reserve(static_cast<size_t>(body.size()));
  for (QChar c : body) {
    ascii.push_back(static_cast<char>(c.unicode()));
  }
  double value = 0.0;
  const auto [ptr, ec] =
      std::from_chars(ascii.data(), ascii.data() + ascii.size(), value, std::chars_format::fixed);
  if (ec == std::errc::result_out_of_range) {
    // Too small for a double underflows to zero; too large is no number here.
    const bool wholePartIsZero = std::all_of(
        ascii.begin(), std::find(ascii.begin(), ascii.end(), '.'), [](char c) { return c == '0'; });
    if (!wholePartIsZero) {
      return std::nullopt;
    }
    value = 0.0;
  } else if (ec != std::errc() || ptr != ascii.data() + ascii.size() || !std::isfinite(value)) {
    return std::nullopt;
  }
  return negative ? -value : value;
}

std::optional<qint32> ToInt32(QStringView token) {
  const std::optional<double> number = ToNumber(token);
  if (!number) {
    return std::nullopt;
  }
  const double value = *number;
  double rounded = std::floor(value);
  const double fraction = value - rounded;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(rounded, 2.0) != 0.0)) {
    rounded += 1.0;
  }
  if (rounded < static_cast<double>(std::numeric_limits<qint32>::min()) ||
      rounded > static_cast<double>(std::numeric_limits<qint32>::max())) {
    return std::nullopt;
  }
  return static_cast<qint32>(rounded);
}

ParseOutcome Parse(QStringView chunk, FrameSink& sink) {
  TokenCursor tokens(chunk);

  const std::optional<QStringView> marker = tokens.At(0);
  if (!marker) {
    sink.Failed(ParseFailure::MissingToken, 0);
    return ParseOutcome::Failed;
  }
  if (*marker != u"$1") {
    sink.NotAFrame();
    return ParseOutcome::NotAFrame;
  }

  for (const int channel : {1, 2}) {
    const int flagIndex = channel == 1 ? kChannelOneFlag : kChannelTwoFlag;
    const std::optional<QStringView> flagToken = tokens.At(flagIndex);
    if (!flagToken) {
      sink.Failed(ParseFailure::MissingToken, flagIndex);
      return ParseOutcome::Failed;
    }
    const std::optional<double> flag = ToNumber(*flagToken);
    if (!flag) {
      sink.Failed(ParseFailure::BadConversion, flagIndex);
      return ParseOutcome::Failed;
    }
    if (*flag != 1.0) {
      continue;
    }
    for (int i = 0; i < kQuantityCount; ++i) {
      const int index = flagIndex + 1 + i;
      const std::optional<QStringView> token = tokens.At(index);
      if (!token) {
        sink.Failed(ParseFailure::MissingToken, index);
        return ParseOutcome::Failed;
      }
      const std::optional<qint32> value = ToInt32(*token);
      if (!value) {
        sink.Failed(ParseFailure::BadConversion, index);
        return ParseOutcome::Failed;
      }
      sink.Field(channel, kFieldOrder[static_cast<size_t>(i)], *value);
    }
    sink.ChannelDone(channel);
  }
  return ParseOutcome::Complete;
}
