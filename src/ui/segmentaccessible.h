#pragma once

#include <QAccessibleWidget>

// Accessibility for the seven-segment readouts and the clock: the name is the
// widget's accessibleName() (its row and column headings, set by the window),
// the value is the text the face shows. Display-only, so no actions.
class SegmentAccessible : public QAccessibleWidget {
 public:
  explicit SegmentAccessible(QWidget* widget);

  QString text(QAccessible::Text t) const override;
};

// Registers SegmentAccessible for SegmentReadout and SegmentClock with
// QAccessible; safe to call any number of times.
void InstallSegmentAccessibility();
