#pragma once

#include <QString>
#include <functional>
#include <optional>

#include "reviewsource.h"
#include "sessionreader.h"

// A stored session's channel readings, streamed from the store and read as
// its exported data1.txt is read, so both give one summary: a channel counts
// in a line when all five of its fields were read; the end-of-discharge
// notice anywhere in the session marks the discharge as ended.
// `carryOn`, when given, is asked every few thousand chunks; it may wait,
// and when it returns false the reading stops and returns nothing.
std::optional<ReviewSource> ReadSession(SessionReader& reader, const StoredSession& session,
                                        QString* error, const std::function<bool()>& carryOn = {});

// Each channel's last complete reading, or none for a channel that never
// had one: what the session list shows without reading the whole session.
// Empty on a read error.
using SessionEnds = std::array<std::optional<ChannelSample>, 2>;
std::optional<SessionEnds> ReadSessionEnds(SessionReader& reader, qint64 sessionId);

// "会话 12".
QString SessionName(qint64 id);
// How the session ended, as the list shows it.
QString SessionEndText(SessionEnd end);
// How long the session ran, "H:MM:SS", up to now while it still records.
QString SessionDurationText(const StoredSession& session);
