#include "logtext.h"

#include <algorithm>
#include <cstring>

namespace {

// Code units encoded per step of Append: bounds the scratch room it reserves.
constexpr qsizetype kEncodeBatch = 4096;

constexpr bool IsHigh(char16_t c) {
  return c >= 0xD800 && c < 0xDC00;
}
constexpr bool IsLow(char16_t c) {
  return c >= 0xDC00 && c < 0xE000;
}

// Decodes stored bytes from `p` into `out` until `units` code units are
// written or `end` is reached; returns the number written.
qsizetype DecodeInto(const uchar* p, const uchar* end, QChar* out, qsizetype units) {
  qsizetype n = 0;
  while (n < units && p < end) {
    const uchar b = *p;
    if (b < 0x80) {
      out[n++] = QChar(char16_t(b));
      p += 1;
    } else if ((b & 0xE0) == 0xC0) {
      out[n++] = QChar(char16_t(((b & 0x1F) << 6) | (p[1] & 0x3F)));
      p += 2;
    } else if ((b & 0xF0) == 0xE0) {
      out[n++] = QChar(char16_t(((b & 0x0F) << 12) | ((p[1] & 0x3F) << 6) | (p[2] & 0x3F)));
      p += 3;
    } else {
      const char32_t cp = (char32_t(b & 0x07) << 18) | (char32_t(p[1] & 0x3F) << 12) |
                          (char32_t(p[2] & 0x3F) << 6) | char32_t(p[3] & 0x3F);
      out[n++] = QChar(QChar::highSurrogate(cp));
      if (n < units) {
        out[n++] = QChar(QChar::lowSurrogate(cp));
      }
      p += 4;
    }
  }
  return n;
}

// Stored bytes of one code unit that starts a sequence, by its first byte.
constexpr int SequenceBytes(uchar b) {
  return b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : 4;
}

}  // namespace

LogText::LogText() : m_anchors{Offset{}} {}

LogText::LogText(const QString& text) : LogText() {
  Append(text);
}

void LogText::CloseLine(qsizetype units, qsizetype bytes) {
  m_lines.push_back({quint16(units), quint16(bytes)});
  m_openStart.unit += units;
  m_openStart.byte += bytes;
  if (static_cast<qsizetype>(m_lines.size()) % kAnchorLines == 0) {
    m_anchors.push_back(m_openStart);
  }
}

void LogText::Append(QStringView text) {
  const char16_t* in = text.utf16();
  const qsizetype n = text.size();
  qsizetype lineUnits = m_size - m_openStart.unit;
  qsizetype lineBytes = m_bytes.size() - m_openStart.byte;
  qsizetype i = 0;
  while (i < n) {
    // Room for the worst case of one batch; the unused part is cut off below.
    const qsizetype batchEnd = std::min(n, i + kEncodeBatch);
    const qsizetype before = m_bytes.size();
    // One spare byte: a pair that starts on the batch's last unit takes four.
    m_bytes.resize(before + 3 * (batchEnd - i) + 1);
    uchar* const base = reinterpret_cast<uchar*>(m_bytes.data()) + before;
    uchar* out = base;
    for (; i < batchEnd; ++i) {
      const char16_t c = in[i];
      if (c == u'\n' || c == u'\r') {
        *out++ = uchar(c);
        ++m_size;
        if (c == u'\n' && m_endsWithClosingCr) {
          // The CR already closed the line; its LF joins that line end.
          ++m_lines.back().units;
          ++m_lines.back().bytes;
          ++m_openStart.unit;
          ++m_openStart.byte;
          if (static_cast<qsizetype>(m_lines.size()) % kAnchorLines == 0) {
            m_anchors.back() = m_openStart;
          }
          m_endsWithClosingCr = false;
          continue;
        }
        CloseLine(lineUnits + 1, lineBytes + 1);
        lineUnits = 0;
        lineBytes = 0;
        m_endsWithClosingCr = c == u'\r';
        continue;
      }
      m_endsWithClosingCr = false;
      if (lineUnits >= kMaxLineChars && !IsLow(c)) {
        CloseLine(lineUnits, lineBytes);
        lineUnits = 0;
        lineBytes = 0;
      }
      uchar* const at = out;
      if (c < 0x80) {
        *out++ = uchar(c);
      } else if (c < 0x800) {
        *out++ = uchar(0xC0 | (c >> 6));
        *out++ = uchar(0x80 | (c & 0x3F));
      } else if (IsHigh(c) && i + 1 < n && IsLow(in[i + 1])) {
        const char32_t cp = QChar::surrogateToUcs4(c, in[i + 1]);
        *out++ = uchar(0xF0 | (cp >> 18));
        *out++ = uchar(0x80 | ((cp >> 12) & 0x3F));
        *out++ = uchar(0x80 | ((cp >> 6) & 0x3F));
        *out++ = uchar(0x80 | (cp & 0x3F));
        ++i;
        ++m_size;
        ++lineUnits;
      } else {
        // Other BMP characters, and a surrogate without its partner here.
        *out++ = uchar(0xE0 | (c >> 12));
        *out++ = uchar(0x80 | ((c >> 6) & 0x3F));
        *out++ = uchar(0x80 | (c & 0x3F));
      }
      ++m_size;
      ++lineUnits;
      lineBytes += out - at;
    }
    m_bytes.resize(before + (out - base));
  }
}

LogText::Offset LogText::Start(qsizetype line) const {
  if (line >= LineCount() - 1) {
    return m_openStart;
  }
  const qsizetype block = line / kAnchorLines;
  Offset start = m_anchors[static_cast<size_t>(block)];
  for (qsizetype l = block * kAnchorLines; l < line; ++l) {
    start.unit += m_lines[static_cast<size_t>(l)].units;
    start.byte += m_lines[static_cast<size_t>(l)].bytes;
  }
  return start;
}

LogText::Offset LogText::LengthOf(qsizetype line) const {
  if (line >= LineCount() - 1) {
    return {m_size - m_openStart.unit, m_bytes.size() - m_openStart.byte};
  }
  const LineLength length = m_lines[static_cast<size_t>(line)];
  return {length.units, length.bytes};
}

qsizetype LogText::LineEnd(qsizetype line) const {
  const Offset start = Start(line);
  const Offset length = LengthOf(line);
  // Line ends are single bytes at the end of the line's bytes.
  qsizetype units = length.unit;
  qsizetype last = start.byte + length.byte;
  if (units > 0 && m_bytes[last - 1] == '\n') {
    --units;
    --last;
  }
  if (units > 0 && m_bytes[last - 1] == '\r') {
    --units;
  }
  return start.unit + units;
}

QString LogText::LineText(qsizetype line) const {
  const Offset start = Start(line);
  return Decode(start.byte, LineEnd(line) - start.unit);
}

qsizetype LogText::LineOfPosition(qsizetype position) const {
  const auto next =
      std::upper_bound(m_anchors.begin(), m_anchors.end(), position,
                       [](qsizetype p, const Offset& anchor) { return p < anchor.unit; });
  const qsizetype block = std::max<qsizetype>(0, (next - m_anchors.begin()) - 1);
  qsizetype line = block * kAnchorLines;
  qsizetype start = m_anchors[static_cast<size_t>(block)].unit;
  const qsizetype closed = static_cast<qsizetype>(m_lines.size());
  while (line < closed && start + m_lines[static_cast<size_t>(line)].units <= position) {
    start += m_lines[static_cast<size_t>(line)].units;
    ++line;
  }
  return line;
}

LogText::Offset LogText::ByteOf(Offset start, qsizetype position) const {
  const uchar* begin = reinterpret_cast<const uchar*>(m_bytes.constData());
  Offset at = start;
  while (at.unit < position) {
    const int bytes = SequenceBytes(begin[at.byte]);
    if (bytes == 4 && at.unit + 1 == position) {
      // The position is the low half of a pair: stop at the pair.
      break;
    }
    at.byte += bytes;
    at.unit += bytes == 4 ? 2 : 1;
  }
  return at;
}

QString LogText::Decode(qsizetype byte, qsizetype count) const {
  if (count <= 0) {
    return QString();
  }
  QString text(count, Qt::Uninitialized);
  const uchar* begin = reinterpret_cast<const uchar*>(m_bytes.constData());
  const qsizetype written = DecodeInto(begin + byte, begin + m_bytes.size(), text.data(), count);
  text.truncate(written);
  return text;
}

QString LogText::DecodeBytes(QByteArrayView bytes) {
  QString text(bytes.size(), Qt::Uninitialized);
  const uchar* begin = reinterpret_cast<const uchar*>(bytes.data());
  text.truncate(DecodeInto(begin, begin + bytes.size(), text.data(), bytes.size()));
  return text;
}

bool LogText::IsAsciiBytes(QByteArrayView bytes) {
  // Eight bytes at a time: a save checks the whole log.
  const char* p = bytes.data();
  const char* const end = p + bytes.size();
  quint64 high = 0;
  for (; end - p >= 8; p += 8) {
    quint64 word;
    std::memcpy(&word, p, sizeof word);
    high |= word;
  }
  for (; p < end; ++p) {
    high |= static_cast<unsigned char>(*p);
  }
  return (high & 0x8080808080808080ULL) == 0;
}

QString LogText::Text() const {
  if (IsAscii()) {
    return QString::fromLatin1(m_bytes);
  }
  return Decode(0, m_size);
}

QString LogText::Mid(qsizetype position, qsizetype count) const {
  position = std::clamp<qsizetype>(position, 0, m_size);
  count = std::clamp<qsizetype>(count, 0, m_size - position);
  if (count == 0) {
    return QString();
  }
  const Offset at = ByteOf(Start(LineOfPosition(position)), position);
  if (at.unit < position) {
    // Starts on the low half of a pair.
    return Decode(at.byte, count + 1).mid(1);
  }
  return Decode(at.byte, count);
}

qsizetype LogText::BytesHeld() const {
  return m_bytes.capacity() + static_cast<qsizetype>(m_lines.capacity() * sizeof(LineLength) +
                                                     m_anchors.capacity() * sizeof(Offset));
}
