#include "savefile.h"

#include <QSaveFile>

bool CommitSaveFile(QSaveFile& file, QString* error) {
  if (!file.flush()) {
    if (error) {
      *error = file.errorString();
    }
    file.cancelWriting();
    return false;
  }
  if (!file.commit()) {
    if (error) {
      *error = file.errorString();
    }
    return false;
  }
  return true;
}
