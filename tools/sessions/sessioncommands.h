#pragma once

#include <QStringList>
#include <QTextStream>
#include <memory>
#include <optional>

#include "sessionreader.h"

// What every command of orvanta-sessions gets: the store file (from --db or
// the default) or the lab server (--server), its own arguments, and the two
// output streams.
struct CommandContext {
  QString dbPath;
  QString serverUri;      // when set, sessions are read from the lab server
  QStringList arguments;  // after the command's name, --db and --server removed
  QTextStream& out;
  QTextStream& err;

  // Opens the store, or the server when one is given; on failure reports to
  // `err` and returns null.
  std::unique_ptr<SessionReader> OpenStore();
  // A session named by "latest" or its id; on failure reports to `err`.
  std::optional<StoredSession> FindSession(SessionReader& reader, const QString& name);
};

// Exit codes.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailed = 1;  // missing store, unknown id, write failure
inline constexpr int kExitUsage = 2;

struct SessionCommand {
  const char* name;
  const char* usage;    // the arguments, for the usage text
  const char* summary;  // one line
  int (*run)(CommandContext& context);
};

// The commands, in the order the usage text lists them.
const QList<SessionCommand>& SessionCommands();

int RunList(CommandContext& context);
int RunLabel(CommandContext& context);
int RunExport(CommandContext& context);
int RunSummary(CommandContext& context);
int RunBackup(CommandContext& context);
int RunCycles(CommandContext& context);
