#pragma once

#include <QString>
#include <optional>

class QWidget;

// Asks the user for a folder below `root`. Nothing when the user cancels or
// the chooser cannot be shown.
class FolderChooser {
 public:
  virtual ~FolderChooser() = default;
  virtual std::optional<QString> ChooseFolder(QWidget* owner, const QString& title,
                                              const QString& root) = 0;
};
