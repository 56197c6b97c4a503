#include "dialogfolderchooser.h"

#include <QDir>
#include <QFileDialog>

#include "savecontrol.h"

std::optional<QString> DialogFolderChooser::ChooseFolder(QWidget* owner, const QString& title,
                                                         const QString& root) {
  if (!QDir(root).exists()) {
    return std::nullopt;
  }
  // Qt's own dialog, so that it can be held inside `root`.
  QFileDialog dialog(owner, title, root);
  dialog.setFileMode(QFileDialog::Directory);
  dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog);
  QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog,
                   [&dialog, &root](const QString& entered) {
                     if (!IsFolderWithin(entered, root)) {
                       dialog.setDirectory(root);
                     }
                   });
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}
