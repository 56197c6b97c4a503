#pragma once

#include <QString>

class QSaveFile;

// Puts a QSaveFile's new content in place only when every byte reached the
// disk. QSaveFile buffers small writes, and its commit() does not report a
// flush that fails inside it, so a full disk would otherwise replace the
// earlier file with an empty or cut one. Flushes first; on a failed flush
// the new content is discarded and the earlier file is left as it was.
// False when the file was not replaced, with the reason in `error`.
bool CommitSaveFile(QSaveFile& file, QString* error = nullptr);
