#include "dialogfolderchooser.h"

#include <QFileDialog>

std::optional<QString> DialogFolderChooser::ChooseFolder(QWidget* owner, const QString& title,
                                                         const QString& root) {
  const QString folder = QFileDialog::getExistingDirectory(owner, title, root);
  if (folder.isEmpty()) {
    return std::nullopt;
  }
  return folder;
}
