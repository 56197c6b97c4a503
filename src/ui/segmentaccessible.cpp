#include "segmentaccessible.h"

#include <algorithm>

#include "segmentclock.h"
#include "segmentreadout.h"

namespace {

QAccessible::Role RoleOf(QWidget* widget) {
  return qobject_cast<SegmentClock*>(widget) ? QAccessible::Clock : QAccessible::StaticText;
}

QAccessibleInterface* SegmentFactory(const QString&, QObject* object) {
  if (qobject_cast<SegmentReadout*>(object) || qobject_cast<SegmentClock*>(object)) {
    return new SegmentAccessible(static_cast<QWidget*>(object));
  }
  return nullptr;
}

}  // namespace

SegmentAccessible::SegmentAccessible(QWidget* widget) : QAccessibleWidget(widget, RoleOf(widget)) {}

void* SegmentAccessible::interface_cast(QAccessible::InterfaceType type) {
  if (type == QAccessible::TextInterface) {
    return static_cast<QAccessibleTextInterface*>(this);
  }
  return QAccessibleWidget::interface_cast(type);
}

QString SegmentAccessible::ShownText() const {
  if (const auto* readout = qobject_cast<const SegmentReadout*>(object())) {
    return readout->ShownText();
  }
  if (const auto* clock = qobject_cast<const SegmentClock*>(object())) {
    return clock->ShownText();
  }
  return {};
}

QString SegmentAccessible::text(QAccessible::Text t) const {
  switch (t) {
    case QAccessible::Name:
      return widget()->accessibleName();
    case QAccessible::Value:
      return ShownText();
    default:
      return QAccessibleWidget::text(t);
  }
}

QAccessible::State SegmentAccessible::state() const {
  QAccessible::State s = QAccessibleWidget::state();
  s.readOnly = true;
  return s;
}

void SegmentAccessible::selection(int, int* startOffset, int* endOffset) const {
  *startOffset = 0;
  *endOffset = 0;
}

QString SegmentAccessible::text(int startOffset, int endOffset) const {
  const QString shown = ShownText();
  const int from = std::clamp(startOffset, 0, int(shown.size()));
  const int to = endOffset < 0 ? int(shown.size()) : std::clamp(endOffset, from, int(shown.size()));
  return shown.mid(from, to - from);
}

QString SegmentAccessible::textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                        int* startOffset, int* endOffset) const {
  const int count = characterCount();
  if (offset < 0 || offset >= count) {
    *startOffset = *endOffset = std::clamp(offset, 0, count);
    return {};
  }
  const bool oneChar = boundaryType == QAccessible::CharBoundary;
  *startOffset = oneChar ? offset : 0;
  *endOffset = oneChar ? offset + 1 : count;
  return text(*startOffset, *endOffset);
}

QString SegmentAccessible::textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                            int* startOffset, int* endOffset) const {
  if (boundaryType == QAccessible::CharBoundary && offset > 0) {
    return textAtOffset(std::min(offset, characterCount()) - 1, boundaryType, startOffset,
                        endOffset);
  }
  *startOffset = *endOffset = 0;
  return {};
}

QString SegmentAccessible::textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                                           int* startOffset, int* endOffset) const {
  if (boundaryType == QAccessible::CharBoundary && offset >= 0) {
    return textAtOffset(offset + 1, boundaryType, startOffset, endOffset);
  }
  *startOffset = *endOffset = characterCount();
  return {};
}

int SegmentAccessible::characterCount() const {
  return int(ShownText().size());
}

QRect SegmentAccessible::characterRect(int offset) const {
  // The face's text is read, not laid out: each character gets an equal
  // share of the face.
  const int count = std::max(1, characterCount());
  const QRect face = rect();
  const int width = face.width() / count;
  return QRect(face.left() + std::clamp(offset, 0, count - 1) * width, face.top(), width,
               face.height());
}

int SegmentAccessible::offsetAtPoint(const QPoint& point) const {
  const QRect face = rect();
  if (!face.contains(point)) {
    return -1;
  }
  const int count = std::max(1, characterCount());
  return std::min(count - 1, (point.x() - face.left()) * count / std::max(1, face.width()));
}

QString SegmentAccessible::attributes(int, int* startOffset, int* endOffset) const {
  *startOffset = 0;
  *endOffset = characterCount();
  return {};
}

void InstallSegmentAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&SegmentFactory);
    return true;
  }();
  Q_UNUSED(installed);
}

void NotifyShownTextChanged(QWidget* widget, const QString& previous, const QString& shown) {
  QAccessibleTextUpdateEvent event(widget, 0, previous, shown);
  QAccessible::updateAccessibility(&event);
}
