#pragma once

#include "folderchooser.h"

class QFileDialog;

// The folder chooser of the desktop: a directory dialog opened at `root`
// that leads back to `root` whenever the user leaves it. Nothing when the
// user cancels or `root` does not exist. The path comes back with the
// platform's native separators.
class DialogFolderChooser final : public FolderChooser {
 public:
  std::optional<QString> ChooseFolder(QWidget* owner, const QString& title,
                                      const QString& root) override;

  // Makes `dialog` the chooser: folders only, opened at `root` and held
  // inside it, and never reading inside any entry (no icon sniffing, no
  // custom folder icons), so special files, FIFOs and slow mounts cannot
  // block it.
  static void SetUp(QFileDialog& dialog, const QString& root);
};
