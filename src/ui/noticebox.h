#pragma once

#include <QString>

class QWidget;

// Tells the user something once, in a box over `owner` that does not block
// the window: acquisition and the once-a-second tick go on while it shows.
// Closing it deletes it.
void ShowNoticeBox(QWidget* owner, const QString& text);
