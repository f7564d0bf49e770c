// The translations: every text of the sources translated without losing a
// placeholder or a mnemonic, the right translation loaded for the locale, and
// the command line in German where people read it and unchanged where
// programs do.

#include "translations.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTranslator>
#include <QXmlStreamReader>

#include <algorithm>

namespace {

struct Message
{
    QString context;
    QString source;
    QStringList translations; // one, or one per plural form
    bool unfinished = false;
};

// The messages of a .ts file that are still in use (not vanished or obsolete).
QList<Message> readTs(const QByteArray& ts, QString* error)
{
    QList<Message> messages;
    QXmlStreamReader xml(ts);
    QString context;
    Message message;
    bool keep = true;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isEndElement() && xml.name() == QLatin1String("message") && keep) {
            messages << message;
        }
        if (!xml.isStartElement()) {
            continue;
        }
        const QStringRef name = xml.name();
        if (name == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (name == QLatin1String("message")) {
            message = Message();
            message.context = context;
            keep = true;
        } else if (name == QLatin1String("source")) {
            message.source = xml.readElementText();
        } else if (name == QLatin1String("translation")) {
            const QStringRef type = xml.attributes().value(QLatin1String("type"));
            keep = type != QLatin1String("vanished") && type != QLatin1String("obsolete");
            message.unfinished = type == QLatin1String("unfinished");
            QString text;
            while (!xml.atEnd()) {
                xml.readNext();
                if (xml.isCharacters()) {
                    text += xml.text();
                } else if (xml.isStartElement() && xml.name() == QLatin1String("numerusform")) {
                    message.translations << xml.readElementText();
                } else if (xml.isEndElement() && xml.name() == QLatin1String("translation")) {
                    break;
                }
            }
            if (message.translations.isEmpty()) {
                message.translations << text;
            }
        } else if (name != QLatin1String("TS") && name != QLatin1String("context")) {
            xml.skipCurrentElement();
        }
    }
    if (xml.hasError()) {
        *error = xml.errorString();
    }
    return messages;
}

QStringList placeholders(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("%(\\d{1,2}|n)"));
    QStringList found;
    auto matches = pattern.globalMatch(text);
    while (matches.hasNext()) {
        found << matches.next().captured();
    }
    found.sort();
    return found;
}

// An ampersand before a letter or digit marks a widget's shortcut key; "&&"
// is an ampersand shown as such.
int mnemonics(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("(?<!&)&(?!&)[\\p{L}\\p{N}]"));
    return int(text.count(pattern));
}

QString name(const Message& message)
{
    return QStringLiteral("%1: \"%2\"").arg(message.context, message.source);
}

// What is wrong with the translations of a .ts file, one line each.
QStringList problems(const QByteArray& ts)
{
    QString error;
    const QList<Message> messages = readTs(ts, &error);
    if (!error.isEmpty()) {
        return {QStringLiteral("unreadable: %1").arg(error)};
    }
    QStringList found;
    for (const Message& message : messages) {
        const bool empty = message.translations.isEmpty() ||
                           std::any_of(message.translations.begin(), message.translations.end(),
                                       [](const QString& text) { return text.isEmpty(); });
        if (message.unfinished || empty) {
            found << QStringLiteral("not translated: %1").arg(name(message));
            continue;
        }
        for (const QString& translation : message.translations) {
            if (placeholders(translation) != placeholders(message.source)) {
                found << QStringLiteral("placeholders differ: %1").arg(name(message));
            }
            if (mnemonics(translation) < qMin(1, mnemonics(message.source))) {
                found << QStringLiteral("mnemonic lost: %1").arg(name(message));
            }
        }
    }
    return found;
}

QByteArray tsWith(const QByteArray& messages)
{
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<!DOCTYPE TS>\n"
           "<TS version=\"2.1\" language=\"de_DE\">\n<context>\n<name>trvLoader</name>\n" +
           messages + "</context>\n</TS>\n";
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

struct Run
{
    int exitCode = -1;
    QByteArray output;
    QByteArray errors;
};

// trvloader-cli as the user starts it, with the language environment given.
Run runCli(const QStringList& arguments, const QStringList& language)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LANG"}) {
        environment.remove(QLatin1String(variable));
    }
    // C.UTF-8 is on every Debian system: German letters reach the output
    // whether or not a German locale has been generated.
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    for (const QString& setting : language) {
        environment.insert(setting.section('=', 0, 0), setting.section('=', 1));
    }
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(TRV_CLI), arguments);
    Run run;
    if (process.waitForFinished(-1) && process.exitStatus() == QProcess::NormalExit) {
        run.exitCode = process.exitCode();
    }
    run.output = process.readAllStandardOutput();
    run.errors = process.readAllStandardError();
    return run;
}

} // namespace

class tst_Translations : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void faultsAreFound_data();
    void faultsAreFound();
    void translationIsComplete_data();
    void translationIsComplete();

    void translationFollowsLocale_data();
    void translationFollowsLocale();

    void commandLine_data();
    void commandLine();
};

void tst_Translations::cleanup()
{
    // A translator removes itself from the application when deleted.
    qDeleteAll(qApp->findChildren<QTranslator*>(QString(), Qt::FindDirectChildrenOnly));
}

void tst_Translations::faultsAreFound_data()
{
    QTest::addColumn<QByteArray>("messages");
    QTest::addColumn<QString>("problem"); // empty: none

    QTest::newRow("translated") << QByteArray(
        "<message><source>&amp;Load %1 of %2</source>"
        "<translation>%2: %1 &amp;laden</translation></message>")
                                << QString();
    QTest::newRow("unfinished") << QByteArray(
        "<message><source>Start Update</source>"
        "<translation type=\"unfinished\">Update starten</translation></message>")
                                << "not translated";
    QTest::newRow("empty") << QByteArray(
        "<message><source>Start Update</source><translation></translation></message>")
                           << "not translated";
    QTest::newRow("plural form empty") << QByteArray(
        "<message numerus=\"yes\"><source>%n board(s)</source><translation>"
        "<numerusform>%n Platine</numerusform><numerusform></numerusform>"
        "</translation></message>")
                                       << "not translated";
    QTest::newRow("placeholder lost") << QByteArray(
        "<message><source>%1: installed %2, new %3</source>"
        "<translation>%1: installiert %2, neu</translation></message>")
                                      << "placeholders differ";
    QTest::newRow("plural count lost") << QByteArray(
        "<message numerus=\"yes\"><source>%n board(s)</source><translation>"
        "<numerusform>eine Platine</numerusform><numerusform>%n Platinen</numerusform>"
        "</translation></message>")
                                       << "placeholders differ";
    QTest::newRow("mnemonic lost") << QByteArray(
        "<message><source>&amp;Advanced</source>"
        "<translation>Erweitert</translation></message>")
                                   << "mnemonic lost";
    QTest::newRow("ampersand is no mnemonic") << QByteArray(
        "<message><source>Sort &amp;&amp; stamp</source>"
        "<translation>Sortieren und stempeln</translation></message>")
                                              << QString();
    QTest::newRow("vanished text is not asked for") << QByteArray(
        "<message><source>Old text</source>"
        "<translation type=\"vanished\"></translation></message>")
                                                    << QString();
}

void tst_Translations::faultsAreFound()
{
    QFETCH(QByteArray, messages);
    QFETCH(QString, problem);

    const QStringList found = problems(tsWith(messages));
    if (problem.isEmpty()) {
        QVERIFY2(found.isEmpty(), qPrintable(found.join('\n')));
    } else {
        QCOMPARE(found.size(), 1);
        QVERIFY2(found.first().startsWith(problem), qPrintable(found.first()));
    }
}

void tst_Translations::translationIsComplete_data()
{
    QTest::addColumn<QString>("file");

    const QDir folder(QStringLiteral(TRV_TRANSLATIONS_DIR));
    const QStringList files = folder.entryList({QStringLiteral("*.ts")}, QDir::Files);
    QVERIFY(files.contains(QStringLiteral("trvloader_de.ts")));
    for (const QString& file : files) {
        QTest::newRow(qPrintable(file)) << folder.filePath(file);
    }
}

// Every text translated, in the committed file and in a copy that lupdate,
// run as tools/update-translations.sh runs it, has brought up to today's
// sources: a text new in the sources comes in unfinished.
void tst_Translations::translationIsComplete()
{
    QFETCH(QString, file);

    const QByteArray ts = readFile(file);
    QString error;
    QVERIFY(readTs(ts, &error).size() > 0);
    QStringList found = problems(ts);
    QVERIFY2(found.isEmpty(), qPrintable(found.join('\n')));

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    const QString fresh = folder.filePath(QFileInfo(file).fileName());
    QVERIFY(QFile::copy(file, fresh));
    QFile(fresh).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    QProcess lupdate;
    lupdate.setWorkingDirectory(QStringLiteral(TRV_SOURCE_DIR));
    lupdate.start(QStringLiteral(TRV_UPDATE_TRANSLATIONS), {fresh});
    QVERIFY(lupdate.waitForFinished(-1));
    QVERIFY2(lupdate.exitStatus() == QProcess::NormalExit && lupdate.exitCode() == 0,
             lupdate.readAllStandardError().constData());
    found = problems(readFile(fresh));
    QVERIFY2(found.isEmpty(), qPrintable(QStringLiteral("run tools/update-translations.sh and "
                                                        "translate:\n") +
                                         found.join('\n')));
}

void tst_Translations::translationFollowsLocale_data()
{
    QTest::addColumn<QString>("locale");
    QTest::addColumn<bool>("translated");
    QTest::addColumn<QString>("state");
    QTest::addColumn<QString>("yes");
    QTest::addColumn<QString>("cancel");

    QTest::newRow("German") << "de_DE" << true << "Firmware-Update erfolgreich" << "&Ja"
                            << "Abbrechen";
    QTest::newRow("Austrian German") << "de_AT" << true << "Firmware-Update erfolgreich" << "&Ja"
                                     << "Abbrechen";
    QTest::newRow("English") << "en_US" << false << "Firmware update successfull" << "&Yes"
                             << "Cancel";
    // Not translated yet: everything in English, Qt's buttons included.
    QTest::newRow("Finnish") << "fi_FI" << false << "Firmware update successfull" << "&Yes"
                             << "Cancel";
}

void tst_Translations::translationFollowsLocale()
{
    QFETCH(QString, locale);
    QFETCH(bool, translated);
    QFETCH(QString, state);
    QFETCH(QString, yes);
    QFETCH(QString, cancel);

    QCOMPARE(Translations::install(qApp, QLocale(locale)), translated);
    QCOMPARE(QCoreApplication::translate("trvUpdater", "Firmware update successfull"), state);
    // Qt's own buttons, as message boxes name them.
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "&Yes"), yes);
    QCOMPARE(QCoreApplication::translate("QPlatformTheme", "Cancel"), cancel);
}

void tst_Translations::commandLine_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("forPeople"); // else for programs: the same in every language
    QTest::addColumn<QString>("german");  // a text of the German output

    QTest::newRow("help") << QStringList{"--help"} << true << "Befehle";
    QTest::newRow("usage error") << QStringList{"frobnicate"} << true << "Unbekannter Befehl";
    QTest::newRow("file refused") << QStringList{"check", "NOFILE"} << true
                                  << "Firmware-Datei";
    QTest::newRow("usage error, JSON") << QStringList{"--json", "frobnicate"} << false
                                       << QString();
    QTest::newRow("file refused, JSON") << QStringList{"check", "NOFILE", "--json"} << false
                                        << QString();
}

void tst_Translations::commandLine()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, forPeople);
    QFETCH(QString, german);

    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    // A file that is no firmware image at all.
    const QString notAnImage = folder.filePath(QStringLiteral("notes.hex"));
    QFile file(notAnImage);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("These are notes, not firmware.\n");
    file.close();
    arguments.replaceInStrings(QStringLiteral("NOFILE"), notAnImage);

    const Run english = runCli(arguments, {});
    const Run asked = runCli(arguments, {QStringLiteral("LANGUAGE=en"), "LANG=de_DE.UTF-8"});
    const Run deutsch = runCli(arguments, {QStringLiteral("LANGUAGE=de")});
    QVERIFY(english.exitCode >= 0);
    QCOMPARE(deutsch.exitCode, english.exitCode);
    // English asked for before German: today's English.
    QCOMPARE(asked.output, english.output);
    QCOMPARE(asked.errors, english.errors);
    if (forPeople) {
        const QString shown = QString::fromUtf8(deutsch.output + deutsch.errors);
        QVERIFY2(shown.contains(german), qPrintable(shown));
        QVERIFY(deutsch.output + deutsch.errors != english.output + english.errors);
    } else {
        QVERIFY(!english.output.isEmpty());
        QCOMPARE(deutsch.output, english.output);
    }
}

QTEST_GUILESS_MAIN(tst_Translations)
#include "tst_translations.moc"
