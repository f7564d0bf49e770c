#include "translations.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QTranslator>

bool Translations::install(QCoreApplication* application, const QLocale& locale)
{
    auto* own = new QTranslator(application);
    if (!own->load(locale, QStringLiteral("trvloader"), QStringLiteral("_"), builtInFolder())) {
        delete own;
        return false;
    }
    QCoreApplication::installTranslator(own);

    // Qt's buttons and dialogs in the same language as the tools' texts, from
    // the system's Qt translations where they are installed.
    auto* qt = new QTranslator(application);
    if (qt->load(QLocale(own->language()), QStringLiteral("qtbase"), QStringLiteral("_"),
                 QLibraryInfo::location(QLibraryInfo::TranslationsPath))) {
        QCoreApplication::installTranslator(qt);
    } else {
        delete qt;
    }
    return true;
}

QString Translations::builtInFolder()
{
    return QStringLiteral(":/translations");
}
