#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

namespace {

// Qt's catalogues that hold texts our windows can show: the widgets' own
// dialogs and buttons, and the serial port's error texts.
constexpr const char* kQtCatalogues[] = {"qtbase", "qtserialport"};

// Where the build embeds the program's own catalogues.
constexpr char kOwnCataloguePath[] = ":/orvanta/i18n";

bool Install(QCoreApplication& app, const QString& name, const QString& folder) {
  auto* translator = new QTranslator(&app);
  if (!translator->load(name, folder)) {
    delete translator;
    return false;
  }
  QCoreApplication::installTranslator(translator);
  return true;
}

}  // namespace

bool IsChineseLocale(const QLocale& locale) {
  return locale.language() == QLocale::Chinese;
}

QStringList InstallTranslations(QCoreApplication& app, const QLocale& locale) {
  QStringList loaded;
  if (IsChineseLocale(locale)) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    for (const char* catalogue : kQtCatalogues) {
      const QString name = QLatin1StringView(catalogue) + QStringLiteral("_zh_CN");
      if (Install(app, name, folder)) {
        loaded << name;
      }
    }
    // What Qt's own catalogue lacks, such as the file dialogs' "Folder".
    const QString supplement = QStringLiteral("orvanta_qt_zh_CN");
    if (Install(app, supplement, QLatin1StringView(kOwnCataloguePath))) {
      loaded << supplement;
    }
    return loaded;
  }
  const QString name = QStringLiteral("orvanta_en");
  if (Install(app, name, QLatin1StringView(kOwnCataloguePath))) {
    loaded << name;
  }
  return loaded;
}
