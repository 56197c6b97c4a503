#include "portlistaccessible.h"

#include <QAbstractItemView>
#include <QAccessibleWidget>
#include <QComboBox>
#include <QLineEdit>

namespace {

// The editable list: named, with its entry as the value, and the actions a
// reader offers for a list that drops down.
class PortListAccessible final : public QAccessibleWidget {
 public:
  explicit PortListAccessible(QComboBox* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

  QString text(QAccessible::Text t) const override {
    switch (t) {
      case QAccessible::Name:
        return Combo()->accessibleName();
      case QAccessible::Value:
        return Combo()->isEditable() ? Combo()->lineEdit()->text() : Combo()->currentText();
      default:
        return QAccessibleWidget::text(t);
    }
  }

  QAccessible::State state() const override {
    QAccessible::State s = QAccessibleWidget::state();
    s.expandable = true;
    s.expanded = Combo()->view() && Combo()->view()->isVisible();
    s.collapsed = !s.expanded;
    s.editable = Combo()->isEditable();
    return s;
  }

  QStringList actionNames() const override {
    return QStringList{showMenuAction()} + QAccessibleWidget::actionNames();
  }

  void doAction(const QString& action) override {
    if (action == showMenuAction() || action == pressAction()) {
      Combo()->showPopup();
    } else {
      QAccessibleWidget::doAction(action);
    }
  }

 private:
  QComboBox* Combo() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* PortListFactory(const QString&, QObject* object) {
  auto* combo = qobject_cast<QComboBox*>(object);
  if (combo && combo->objectName() == u"cmbCOM") {
    return new PortListAccessible(combo);
  }
  return nullptr;
}

}  // namespace

void InstallPortListAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&PortListFactory);
    return true;
  }();
  Q_UNUSED(installed);
}
