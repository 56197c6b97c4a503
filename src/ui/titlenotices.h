#pragma once

#include <QString>
#include <map>

// Short notices that stand after the program's name in the window title
// (a device that has gone away, recording that is off, ...). Each source owns
// one slot and sets or clears its own text; the title lists the set ones in
// slot order.
class TitleNotices {
 public:
  enum class Slot { Device, Recording, Server };

  explicit TitleNotices(QString base) : m_base(std::move(base)) {}

  // An empty text clears the slot. Returns true when the title changed.
  bool Set(Slot slot, const QString& text);
  QString Title() const;

 private:
  QString m_base;
  std::map<Slot, QString> m_notices;
};
