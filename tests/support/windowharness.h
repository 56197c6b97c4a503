#pragma once

// The real main window over a port of the test's choice, with the desktop's
// other services replaced by recording fakes. Shown (offscreen) once built.

#include <QApplication>
#include <QList>
#include <functional>
#include <memory>

#include "fakeservices.h"
#include "mainwindow.h"

template <typename Port>
class WindowOn {
 public:
  // `prepare` runs on the port before the window's load sequence uses it.
  explicit WindowOn(const std::function<void(Port&)>& prepare = {}) {
    auto owned = std::make_unique<Port>();
    port = owned.get();
    if (prepare) {
      prepare(*owned);
    }
    MainWindowServices services;
    services.port = std::move(owned);
    services.messages = &messages;
    services.folders = &folders;
    services.clock = &clock;
    services.pause = [this](qint32 ms) {
      pauses << ms;
      // A pause inside a mouse press is what swallows clicks.
      pressedDuringPause << (QApplication::mouseButtons() != Qt::NoButton);
    };
    window = std::make_unique<MainWindow>(std::move(services));
    window->show();
  }

  MainWindow& W() { return *window; }

  Port* port = nullptr;  // owned by the window
  RecordingMessageSink messages;
  FakeFolderChooser folders;
  FakeClock clock;
  QList<qint32> pauses;            // ms of each PauseMs call
  QList<bool> pressedDuringPause;  // whether a mouse button was down then
  std::unique_ptr<MainWindow> window;
};
