#pragma once

#include "folderchooser.h"

// The folder chooser of the desktop: a directory dialog that accepts only
// `root` itself or a folder below it.
class DialogFolderChooser final : public FolderChooser {
 public:
  std::optional<QString> ChooseFolder(QWidget* owner, const QString& title,
                                      const QString& root) override;
};
