#pragma once

#include <QFont>

// The window's font: "宋体" where installed, then SimSun, then the Song-style
// CJK faces a Linux desktop carries.
QFont SongFont(double points, bool bold = false);
