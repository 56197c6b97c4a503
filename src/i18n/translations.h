#pragma once

#include <QLocale>
#include <QStringList>

class QCoreApplication;

// The program's texts are written in Simplified Chinese. Under a Chinese
// locale Qt's own Simplified Chinese translations are loaded, so its dialogs
// and standard buttons read Chinese too; under any other locale the
// program's English translation is loaded instead. The designed captions of
// the window are never translated.
//
// Under a Chinese locale our own small catalogue adds the Chinese of Qt's
// texts that Qt's catalogue lacks (the file dialogs' "Folder").
//
// Installs the translators on `app` (which owns them) and returns the
// names of the catalogues loaded, e.g. {"qtbase_zh_CN", ...} or
// {"orvanta_en"}.
QStringList InstallTranslations(QCoreApplication& app, const QLocale& locale = QLocale::system());

// Whether texts are shown in Chinese under `locale`.
bool IsChineseLocale(const QLocale& locale);
