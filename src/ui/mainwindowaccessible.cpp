#include "mainwindowaccessible.h"

#include <QAccessibleWidget>

#include "mainwindow.h"

namespace {

QAccessibleInterface* MainWindowFactory(const QString&, QObject* object) {
  if (auto* window = qobject_cast<MainWindow*>(object)) {
    return new QAccessibleWidget(window, QAccessible::Window);
  }
  return nullptr;
}

}  // namespace

void InstallMainWindowAccessibility() {
  static const bool installed = [] {
    QAccessible::installFactory(&MainWindowFactory);
    return true;
  }();
  Q_UNUSED(installed);
}
