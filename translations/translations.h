#pragma once

#include <QLocale>

class QCoreApplication;

// The texts of the tools and of Qt itself in the user's language. The
// language is the first of the locale's languages that the tools have a
// translation for; with none (English, or a language not translated yet) the
// texts stay as written in the source.
class Translations
{
public:
    // Installs the tools' translation and the matching one of Qt's own texts
    // into the application; the translators live as long as it does. Returns
    // whether a translation of the tools' texts was found.
    static bool install(QCoreApplication* application, const QLocale& locale = QLocale());

    // The folder of the tools' compiled translations, built into the programs.
    static QString builtInFolder();
};
