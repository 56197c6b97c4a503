#pragma once

#include <QString>

#include "sessionreader.h"

// One change to the store, as the window's thread hands it to the writer.
// Sessions are named by a token the window's side picks, because their ids
// exist only once the writer has stored them.
struct StoreCommand {
  enum class Kind { Begin, Chunk, End, Label };

  Kind kind = Kind::Chunk;
  qint64 session = 0;  // the token
  // Begin
  qint64 startMs = 0;  // UTC ms since the epoch
  QString port;
  QString device;
  QString uuid;   // the session's lab-wide identity
  QString bench;  // the bench recording it
  // Begin, Label: each channel's cell label, empty when none
  std::array<QString, 2> cells;
  // Chunk
  StoredChunk chunk;
  // End
  SessionEnd ended = SessionEnd::Closed;
  qint64 endMs = 0;  // UTC ms since the epoch
};
