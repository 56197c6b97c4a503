#pragma once

#include <QStringList>

#include "summarycommand.h"

class DischargeChart;

// The live chart's "历史记录" button opens the review window, or brings the
// one already open to the front. `storePath` names the local store the
// opener reads, whose sessions the window may label.
void ConnectHistoryButton(DischargeChart& chart, const StoreOpener& openStore,
                          const QString& storePath = {});

// `orvanta --review [ID|latest|FILE…]`: the review window on its own, with
// each word's session or file opened. Runs the event loop; returns the exit
// code.
int RunReviewWindow(const QStringList& words, const StoreOpener& openStore,
                    const QString& storePath = {});
