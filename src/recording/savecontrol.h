#pragma once

#include <QObject>
#include <QString>
#include <QTimer>
#include <functional>

class QLineEdit;
class QPushButton;
class Clock;
class FolderChooser;
class LogPane;

// The save button and the folder button. A save writes the whole log as the
// snapshot file data1.txt into the folder named by the path box, then shows
// "OK,Data1.txt Saving!" in the path box with the save button disabled for
// 5 s, measured on the monotonic clock; the window stays responsive
// meanwhile. At the end the path box shows `savePath` again and the button is
// enabled. A failed save shows nothing and leaves any earlier file whole; the
// failure handler, when set, gets its reason (for what a screen reader says).
class SaveControl : public QObject {
  Q_OBJECT
 public:
  static constexpr qint64 kConfirmationMs = 5000;

  SaveControl(QLineEdit& TxtSavePath, QPushButton& CmdSaveDisp, const LogPane& log, Clock& clock,
              FolderChooser& chooser, QObject* parent = nullptr);

  void OnSaveDataClicked();
  void SetFailureHandler(std::function<void(const QString& reason)> handler) {
    m_failed = std::move(handler);
  }
  void OnChangeFolderClicked();

  QString SavePath() const { return m_savePath; }
  bool IsConfirming() const { return m_confirming; }
  // Ends the confirmation when its 5 s have passed on the clock. The
  // confirmation's own timer calls it; tests with a fake clock call it
  // directly after advancing the clock.
  void CheckConfirmation();

 private:
  void EndConfirmation();

  QLineEdit& m_pathBox;
  QPushButton& m_saveButton;
  const LogPane& m_log;
  Clock& m_clock;
  FolderChooser& m_chooser;
  QString m_savePath;
  bool m_confirming = false;
  qint64 m_confirmStartMs = 0;  // monotonic ms at which the confirmation began
  QTimer m_confirmTimer;
  std::function<void(const QString&)> m_failed;
};

// The path box's start text: "C:\" on Windows, the home folder elsewhere.
QString DefaultSaveFolder();
// The folder chooser's root: "C:\Scripts" on Windows where that folder
// exists, otherwise (and on other systems) the user's home folder. Only the
// root itself or a folder below it is accepted.
QString FolderChooserRoot();
// Whether `folder` is `root` or lies below it (lexically, after cleaning;
// case-insensitive on Windows).
bool IsFolderWithin(const QString& folder, const QString& root);
