#include "logtext.h"

#include <algorithm>

LogText::LogText() : m_lineStarts{0} {}

LogText::LogText(const QString& text) : LogText() {
  Append(text);
}

void LogText::Append(QStringView text) {
  if (text.isEmpty()) {
    return;
  }
  const qsizetype from = m_text.size();
  m_text.append(text);
  const QChar* data = m_text.constData();
  const qsizetype size = m_text.size();
  for (qsizetype i = from; i < size; ++i) {
    const char16_t c = data[i].unicode();
    if (c == u'\n') {
      // A CR already closed the line; its LF joins that line end.
      if (i > 0 && data[i - 1] == u'\r' && m_lineStarts.back() == i) {
        m_lineStarts.back() = i + 1;
      } else {
        m_lineStarts.push_back(i + 1);
      }
    } else if (c == u'\r') {
      m_lineStarts.push_back(i + 1);
    } else if (i - m_lineStarts.back() >= kMaxLineChars && !QChar::isLowSurrogate(c)) {
      m_lineStarts.push_back(i);
    }
  }
}

QString LogText::Mid(qsizetype from, qsizetype length) const {
  from = std::clamp<qsizetype>(from, 0, m_text.size());
  length = std::clamp<qsizetype>(length, 0, m_text.size() - from);
  return m_text.mid(from, length);
}

qsizetype LogText::LineEnd(qsizetype line) const {
  if (line + 1 >= LineCount()) {
    return m_text.size();
  }
  const qsizetype start = LineStart(line);
  qsizetype end = LineStart(line + 1);
  if (end > start && m_text[end - 1] == u'\n') {
    --end;
  }
  if (end > start && m_text[end - 1] == u'\r') {
    --end;
  }
  return end;
}

QStringView LogText::LineView(qsizetype line) const {
  const qsizetype start = LineStart(line);
  return QStringView(m_text).mid(start, LineEnd(line) - start);
}

qsizetype LogText::LineOfPosition(qsizetype position) const {
  const auto next = std::upper_bound(m_lineStarts.begin(), m_lineStarts.end(), position);
  const qsizetype line = static_cast<qsizetype>(next - m_lineStarts.begin()) - 1;
  return std::max<qsizetype>(line, 0);
}

qsizetype LogText::BytesHeld() const {
  return m_text.capacity() * static_cast<qsizetype>(sizeof(QChar)) +
         static_cast<qsizetype>(m_lineStarts.capacity() * sizeof(qsizetype));
}
