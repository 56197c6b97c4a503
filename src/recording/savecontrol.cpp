#include "savecontrol.h"

#include <QDir>
#include <QLineEdit>
#include <QPushButton>

#include "clock.h"
#include "folderchooser.h"
#include "logpane.h"

SaveControl::SaveControl(QLineEdit& TxtSavePath, QPushButton& CmdSaveDisp, const LogPane& log,
                         Clock& clock, FolderChooser& chooser, QObject* parent)
    : QObject(parent),
      m_pathBox(TxtSavePath),
      m_saveButton(CmdSaveDisp),
      m_log(log),
      m_clock(clock),
      m_chooser(chooser) {}

void SaveControl::OnSaveDataClicked() {}

void SaveControl::OnChangeFolderClicked() {}

QString DefaultSaveFolder() {
#ifdef Q_OS_WIN
  return QStringLiteral("C:\\");
#else
  return QDir::homePath();
#endif
}
