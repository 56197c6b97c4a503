#pragma once

#include <QAccessibleWidget>

// Accessibility for the seven-segment readouts and the clock, as a screen
// reader meets them: the name is the widget's accessibleName() (its row and
// column headings, set by the window); what the face shows is offered as
// read-only text (and as the Value text). Display-only, so no actions and no
// focus: there is no value interface either, for which the accessibility
// bridge would offer Increase and Decrease actions that cannot work on a
// read-only value. The widgets report each change of what they show with
// NotifyShownTextChanged.
class SegmentAccessible : public QAccessibleWidget, public QAccessibleTextInterface {
 public:
  explicit SegmentAccessible(QWidget* widget);

  void* interface_cast(QAccessible::InterfaceType type) override;
  QString text(QAccessible::Text t) const override;
  QAccessible::State state() const override;

  // Text: what the face reads; no caret, no selection.
  void selection(int selectionIndex, int* startOffset, int* endOffset) const override;
  int selectionCount() const override { return 0; }
  void addSelection(int, int) override {}
  void removeSelection(int) override {}
  void setSelection(int, int, int) override {}
  int cursorPosition() const override { return 0; }
  void setCursorPosition(int) override {}
  QString text(int startOffset, int endOffset) const override;
  // The face reads as one word of single characters; Qt's general rules
  // are not used, as they can loop forever at the end of a text.
  QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                           int* endOffset) const override;
  QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                          int* endOffset) const override;
  QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int* startOffset,
                       int* endOffset) const override;
  int characterCount() const override;
  QRect characterRect(int offset) const override;
  int offsetAtPoint(const QPoint& point) const override;
  void scrollToSubstring(int, int) override {}
  QString attributes(int offset, int* startOffset, int* endOffset) const override;

 private:
  QString ShownText() const;
};

// Registers SegmentAccessible for SegmentReadout and SegmentClock with
// QAccessible; safe to call any number of times.
void InstallSegmentAccessibility();

// Tells accessibility tools that `widget` (a readout or the clock) now shows
// `shown` instead of `previous`: a value change for a readout, a text update
// for the clock. One event per call.
void NotifyShownTextChanged(QWidget* widget, const QString& previous, const QString& shown);
