#include "dialogfolderchooser.h"

#include <QDir>
#include <QFileDialog>

#include "nameonlyiconprovider.h"
#include "savecontrol.h"

void DialogFolderChooser::SetUp(QFileDialog& dialog, const QString& root) {
  dialog.setFileMode(QFileDialog::Directory);
  // Folders only, and nothing read from inside any entry: no custom folder
  // icons, no type sniffing for icons, so no entry can block the dialog.
  dialog.setOptions(QFileDialog::ShowDirsOnly | QFileDialog::DontUseNativeDialog |
                    QFileDialog::DontUseCustomDirectoryIcons);
  static NameOnlyIconProvider* const kIcons =
      new NameOnlyIconProvider;  // lives as long as the program
  dialog.setIconProvider(kIcons);
  dialog.setDirectory(root);
  QObject::connect(&dialog, &QFileDialog::directoryEntered, &dialog,
                   [&dialog, root](const QString& entered) {
                     if (!IsFolderWithin(entered, root)) {
                       dialog.setDirectory(root);
                     }
                   });
}

std::optional<QString> DialogFolderChooser::ChooseFolder(QWidget* owner, const QString& title,
                                                         const QString& root) {
  if (!QDir(root).exists()) {
    return std::nullopt;
  }
  // Qt's own dialog, so that it can be held inside `root`. It is given its
  // folder only once it can no longer read inside entries.
  QFileDialog dialog(owner, title, QDir::rootPath());
  SetUp(dialog, root);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) {
    return std::nullopt;
  }
  return QDir::toNativeSeparators(dialog.selectedFiles().constFirst());
}
