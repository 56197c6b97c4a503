#pragma once

#include <QAbstractFileIconProvider>
#include <QIcon>

// Icons and type names for a file dialog that never look inside a file: a
// folder icon for folders and a plain file icon for everything else. Qt's
// own provider reads a file's first bytes to guess its type, which blocks for
// good on special files such as /proc/kmsg and on FIFOs with no writer, and
// stalls on unreachable mounts. The icons are made on the thread that builds
// the provider (the GUI thread); the dialog's file system model asks for
// them from its own worker thread.
class NameOnlyIconProvider final : public QAbstractFileIconProvider {
 public:
  NameOnlyIconProvider();
  QIcon icon(IconType type) const override;
  QIcon icon(const QFileInfo& info) const override;
  QString type(const QFileInfo& info) const override;

 private:
  QIcon m_folder;
  QIcon m_file;
  QIcon m_drive;
  QIcon m_computer;
};
