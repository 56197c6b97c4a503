#pragma once

#include "messagesink.h"

class QWidget;

// Shows the port sequences' messages as modal boxes over the window.
class MessageBoxSink final : public MessageSink {
 public:
  explicit MessageBoxSink(QWidget* owner) : m_owner(owner) {}
  void ShowError(const QString& title, const QString& text) override;

 private:
  QWidget* m_owner;
};
