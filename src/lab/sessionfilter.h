#pragma once

#include <QDate>
#include <QString>
#include <optional>

#include "sessionreader.h"

// Which sessions a list shows: by bench, port, the local date it started
// on and how it ended. An unset criterion lets every session by; an empty
// bench is that of sessions recorded before benches had names.
struct SessionFilter {
  std::optional<QString> bench;
  std::optional<QString> port;
  QDate from;  // local dates, inclusive; invalid: open-ended
  QDate to;
  std::optional<SessionEnd> ended;

  bool Matches(const StoredSession& session) const;
};
