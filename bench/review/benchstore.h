#pragma once

#include <QString>

#include "reviewsource.h"
#include "summarycommand.h"

// The text the charger sends at second t of a long discharge, both channels.
QString BenchFrame(int t);

// Writes a session of `frames` one-second frames into a store at `path`, as
// the live program records it; the received text goes to `log`. Returns the
// session's id.
qint64 WriteBenchSession(const QString& path, int frames, QString* log);
// The newest session of the store at `path`, 0 when there is none.
qint64 LatestBenchSession(const QString& path);
StoreOpener BenchStoreOpener(const QString& path);

// A recording of `frames` readings per channel, varied by `seed`.
ReviewSource BenchSource(int seed, int frames);
