#include "nameonlyiconprovider.h"

#include <QApplication>
#include <QFileInfo>
#include <QStyle>

NameOnlyIconProvider::NameOnlyIconProvider() {
  const QStyle* style = QApplication::style();
  m_folder = style->standardIcon(QStyle::SP_DirIcon);
  m_file = style->standardIcon(QStyle::SP_FileIcon);
  m_drive = style->standardIcon(QStyle::SP_DriveHDIcon);
  m_computer = style->standardIcon(QStyle::SP_ComputerIcon);
}

QIcon NameOnlyIconProvider::icon(IconType type) const {
  switch (type) {
    case Computer:
    case Network:
      return m_computer;
    case Drive:
      return m_drive;
    case Folder:
    case Desktop:
    case Trashcan:
      return m_folder;
    case File:
      break;
  }
  return m_file;
}

QIcon NameOnlyIconProvider::icon(const QFileInfo& info) const {
  // The model has already read the entry's kind; nothing more is asked of
  // the file system here.
  if (info.isRoot()) {
    return m_drive;
  }
  return info.isDir() ? m_folder : m_file;
}

QString NameOnlyIconProvider::type(const QFileInfo& info) const {
  // Texts that Qt's own translations hold (under its file dialog).
  if (info.isRoot()) {
    return QCoreApplication::translate("QFileDialog", "Drive");
  }
  if (info.isDir()) {
    return QCoreApplication::translate("QFileDialog", "Folder");
  }
  return QCoreApplication::translate("QFileDialog", "File");
}
