#pragma once

#include <QObject>
#include <QString>

class QLineEdit;
class QPushButton;
class Clock;
class FolderChooser;
class LogPane;

// The save button and the folder button: writes the log as a snapshot file
// into the folder of the path box, then shows a confirmation for 5 s.
class SaveControl : public QObject {
  Q_OBJECT
 public:
  SaveControl(QLineEdit& TxtSavePath, QPushButton& CmdSaveDisp, const LogPane& log, Clock& clock,
              FolderChooser& chooser, QObject* parent = nullptr);

  void OnSaveDataClicked();
  void OnChangeFolderClicked();

  QString SavePath() const { return m_savePath; }

 private:
  QLineEdit& m_pathBox;
  QPushButton& m_saveButton;
  const LogPane& m_log;
  Clock& m_clock;
  FolderChooser& m_chooser;
  QString m_savePath;
};

// The path box's start text: "C:\" on Windows, the home folder elsewhere.
QString DefaultSaveFolder();
