#include "replayport.h"

bool ReplayPort::Open() {
  m_open = true;
  return true;
}

bool ReplayPort::Close() {
  m_open = false;
  return true;
}

bool ReplayPort::SetInBufferCount(qint32 count) {
  return m_open && count == 0;
}

QString ReplayPort::ReadAllAsText() {
  if (m_chunks.empty()) {
    return {};
  }
  QString chunk = std::move(m_chunks.front());
  m_chunks.pop_front();
  return chunk;
}
