#pragma once

#include <QSize>
#include <QString>

// Puts four simulated benches' running sessions on the lab server `uri`
// (one of them silent for half a minute, one after its end-of-discharge
// notice), then renders the live lab view of that server to the PNG `out`,
// and beside it (`out` with "-review" before ".png") the review window on
// that server following the first bench's session.
// Returns the process exit code.
int RenderLabShot(QSize size, const QString& out, const QString& uri);
