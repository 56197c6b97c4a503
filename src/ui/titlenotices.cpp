#include "titlenotices.h"

bool TitleNotices::Set(Slot slot, const QString& text) {
  const auto it = m_notices.find(slot);
  const QString old = it == m_notices.end() ? QString() : it->second;
  if (old == text) {
    return false;
  }
  if (text.isEmpty()) {
    m_notices.erase(slot);
  } else {
    m_notices[slot] = text;
  }
  return true;
}

QString TitleNotices::Title() const {
  QString title = m_base;
  for (const auto& [slot, text] : m_notices) {
    title += QStringLiteral(" - ") + text;
  }
  return title;
}
