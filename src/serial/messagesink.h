#pragma once

#include <QString>

// Shows the modal error messages of the port sequences ("系统信息", error
// icon, OK button). The window shows a real box; tests record the texts.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void ShowError(const QString& title, const QString& text) = 0;
};
