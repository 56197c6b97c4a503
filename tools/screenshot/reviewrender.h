#pragma once

#include <QSize>
#include <QString>

// Renders the review window comparing three simulated discharges, aligned by
// delivered capacity, to the PNG `out`, and its report page to `report`
// unless empty. The session list shows the store at `store` when given.
// `printPage`, unless empty, gets the plot's printed page beside its saved
// PDF. `grading`, unless empty, gets the grading window of the three cells.
// Returns the process exit code.
int RenderReviewShot(QSize size, const QString& out, const QString& report, const QString& store,
                     const QString& printPage, const QString& grading = {});
