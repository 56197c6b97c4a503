#pragma once

// Fakes for the window's outside services, shared by the tests.

#include <QStringList>
#include <deque>
#include <optional>

#include "clock.h"
#include "folderchooser.h"
#include "messagesink.h"
#include "serialport.h"

// A serial port that delivers queued chunks, one per read, and records calls.
class FakeSerialPort final : public SerialPort {
 public:
  void SetPortNumber(int number) override {
    calls << QStringLiteral("SetPortNumber %1").arg(number);
    portNumber = number;
  }
  int PortNumber() const override { return portNumber; }
  bool SetSettings(const QString& text) override {
    calls << QStringLiteral("SetSettings ") + text;
    settings = text;
    return settingsOk;
  }
  bool Open() override {
    calls << QStringLiteral("Open");
    if (!openOk || open) {
      return false;
    }
    open = true;
    return true;
  }
  bool Close() override {
    calls << QStringLiteral("Close");
    if (!closeOk) {
      return false;
    }
    open = false;
    return true;
  }
  bool IsOpen() const override { return open; }
  bool SetInBufferCount(qint32 count) override {
    calls << QStringLiteral("SetInBufferCount %1").arg(count);
    return open;
  }
  QString ReadAllAsText() override {
    if (chunks.empty()) {
      return {};
    }
    QString chunk = chunks.front();
    chunks.pop_front();
    return chunk;
  }

  int portNumber = 1;
  QString settings;
  bool open = false;
  bool settingsOk = true;
  bool openOk = true;
  bool closeOk = true;
  std::deque<QString> chunks;
  QStringList calls;
};

class RecordingMessageSink final : public MessageSink {
 public:
  void ShowError(const QString& title, const QString& text) override {
    titles << title;
    texts << text;
  }
  QStringList titles;
  QStringList texts;
};

// A clock that moves only when told to.
class FakeClock final : public Clock {
 public:
  qint64 MonotonicMs() const override { return monotonicMs; }
  QDateTime LocalNow() const override { return now.addMSecs(monotonicMs); }
  void Advance(qint64 ms) { monotonicMs += ms; }

  qint64 monotonicMs = 0;
  QDateTime now = QDateTime(QDate(2026, 3, 7), QTime(9, 5, 3));
};

class FakeFolderChooser final : public FolderChooser {
 public:
  std::optional<QString> ChooseFolder(QWidget*, const QString& title,
                                      const QString& root) override {
    lastTitle = title;
    lastRoot = root;
    ++calls;
    return answer;
  }
  std::optional<QString> answer;
  QString lastTitle;
  QString lastRoot;
  int calls = 0;
};
