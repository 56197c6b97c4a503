#pragma once

#include <QString>
#include <QStringList>

#include "summarycommand.h"

class QWidget;
class ReviewWindow;
class LabWindow;

// Opens a reader of the lab server `uri` on the calling thread.
StoreOpener ServerOpener(const QString& uri);

// The review window's lab controls: the session filters, and with a server
// the "实验室" button that opens the live lab view.
void AttachLabControls(ReviewWindow& window, const QString& uri);

// The live lab view, its rows opening in review windows that follow them.
LabWindow* OpenLabWindow(const QString& uri, QWidget* parent = nullptr);

// A review window from the server with `sessionId` opened, showing new
// chunks as they arrive.
ReviewWindow* OpenFollowing(const QString& uri, qint64 sessionId, QWidget* parent = nullptr);

// `orvanta --lab`: the lab view on its own. Runs the event loop.
int RunLabWindow(const QString& uri);
// `orvanta --review --server URI [ID|latest|FILE…]`: the review window on
// the server's sessions. Runs the event loop.
int RunServerReview(const QStringList& words, const QString& uri);
