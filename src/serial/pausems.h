#pragma once

#include <QtGlobal>

// Returns after at least `ms` milliseconds, handling window events all the
// while (timers, clicks). Measured on a monotonic clock that does not wrap;
// sleeps in the event loop rather than spinning. Non-positive `ms` returns
// after handling pending events once.
void PauseMs(qint32 ms);
