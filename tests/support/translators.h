#pragma once

#include <QCoreApplication>
#include <QTranslator>

// Takes every installed translation off the application again, so that the
// next test starts from the source texts.
inline void RemoveTranslators() {
  for (QTranslator* t : qApp->findChildren<QTranslator*>()) {
    QCoreApplication::removeTranslator(t);
    delete t;
  }
}
