#pragma once

#include <QString>
#include <optional>

// What the writer checks on the store's files before it lets SQLite near
// them: a file that is not ours (a link planted at the path, another user's
// file, another program's database, a store of a newer program) is never
// followed, written or switched to another journal mode.
namespace storefile {

// Identity of a file on its file system; two opens of one path that give
// different identities saw different files.
struct FileId {
  quint64 device = 0;
  quint64 inode = 0;
  friend bool operator==(const FileId&, const FileId&) = default;
};

// The identity of the file at `path` itself (a link is not followed), or
// none when there is nothing there.
std::optional<FileId> IdentityOf(const QString& path);

enum class Verdict {
  Missing,      // nothing at the path: a new store may be made
  Empty,        // an empty regular file: a new store
  Store,        // a store this program can write (any version it knows)
  Newer,        // a store of a newer program
  Foreign,      // an SQLite database that is not a store
  NotDatabase,  // a regular file that is not an SQLite database
  NotOurs,      // a link, a special file, or another user's file
};

// Looks at the path and, for a regular file, its header (read only).
// `reason` says what was found for the verdicts that refuse.
Verdict Inspect(const QString& path, int knownVersion, QString* reason);

// True when the journal files beside the store, where present, are plain
// files of ours; false with `reason` for a link or another user's file.
bool JournalsAreOurs(const QString& path, QString* reason);

}  // namespace storefile
