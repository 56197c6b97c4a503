#include "segmentaccessible.h"

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

QString SegmentAccessible::text(QAccessible::Text t) const {
  switch (t) {
    case QAccessible::Name:
      return widget()->accessibleName();
    case QAccessible::Value:
      if (const auto* readout = qobject_cast<const SegmentReadout*>(object())) {
        return readout->ShownText();
      }
      if (const auto* clock = qobject_cast<const SegmentClock*>(object())) {
        return clock->ShownText();
      }
      return {};
    default:
      return QAccessibleWidget::text(t);
  }
}

void InstallSegmentAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&SegmentFactory);
    return true;
  }();
  Q_UNUSED(installed);
}
