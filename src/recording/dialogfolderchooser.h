#pragma once

#include "folderchooser.h"

// The folder chooser of the desktop: a directory dialog opened at `root`
// that leads back to `root` whenever the user leaves it. Nothing when the
// user cancels or `root` does not exist. The path comes back with the
// platform's native separators.
class DialogFolderChooser final : public FolderChooser {
 public:
  std::optional<QString> ChooseFolder(QWidget* owner, const QString& title,
                                      const QString& root) override;
};
