#pragma once

#include <QRect>
#include <QStringView>
#include <span>

// Where every visible control of the main window sits, in twips (15 twips to a
// logical pixel). Children of Frame3 count from the frame's top-left corner;
// everything else from the window's client area.
struct ControlPlacement {
  QStringView name;
  QStringView parent;  // "Frame3" or empty for the window
  int left, top, width, height;

  QRect Pixels() const;
};

inline constexpr int kTwipsPerPixel = 15;
inline constexpr int kClientWidthTwips = 14250;
inline constexpr int kClientHeightTwips = 9300;

std::span<const ControlPlacement> LayoutTable();
const ControlPlacement& PlacementOf(QStringView name);
