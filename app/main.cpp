#include "displaycheck.h"
#include "instrumenthost.h"
#include "stylesheet.h"
#include "translations.h"
#include "trvconfig.h"
#include "trvloader.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QFile>
#include <QIcon>
#include <QMessageBox>

#include <cstdio>

namespace {

// Who the program is, for the desktop, --version, and the lock file.
void nameApplication()
{
    QCoreApplication::setApplicationName(QStringLiteral("trvloader"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TRV_VERSION));
    QCoreApplication::setOrganizationName(QStringLiteral("Kelmor"));
    QCoreApplication::setOrganizationDomain(QStringLiteral("kelmor.example"));
    QGuiApplication::setDesktopFileName(QStringLiteral("trvloader"));
}

void describeOptions(QCommandLineParser& parser)
{
    // The toolkit's own options are words after a single dash (-platform,
    // -style, -reverse): read as one option each, not as letters.
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    parser.setApplicationDescription(QCoreApplication::translate(
        "main", "Tarvo QX40 Firmware Update Tool: brings the firmware built into it, or firmware "
                "files chosen in its window, into the boards of a Tarvo QX40 keyboard instrument "
                "connected by USB."));
    parser.addHelpOption();
    parser.addVersionOption();
}

// --help and --version are answered before the window's application object
// exists, since that one needs a display. Qt's own options are still among the
// arguments here; they are judged once the toolkit has taken them out.
void answerHelpOrVersion(int argc, char* argv[])
{
    QStringList arguments;
    for (int index = 0; index < argc; ++index) {
        arguments.append(QString::fromLocal8Bit(argv[index]));
    }
    QCommandLineParser parser;
    describeOptions(parser);
    parser.parse(arguments);
    const QString program = arguments.value(0, QCoreApplication::applicationName());
    for (const QString& option : {QStringLiteral("version"), QStringLiteral("help")}) {
        if (parser.isSet(option)) {
            QCoreApplication application(argc, argv);
            Translations::install(&application);
            QCommandLineParser translated;
            describeOptions(translated);
            // Prints the answer and ends the program.
            translated.process({program, QStringLiteral("--") + option});
        }
    }
    if (parser.isSet(QStringLiteral("help-all"))) {
        // The toolkit's options are listed by its window system part, which
        // here draws into memory only.
        QByteArray programName = argv[0] ? QByteArray(argv[0]) : QByteArray("trvloader");
        QByteArray platformOption("-platform");
        QByteArray platform("offscreen");
        char* offscreenArguments[] = {programName.data(), platformOption.data(), platform.data(),
                                      nullptr};
        int offscreenCount = 3;
        QApplication application(offscreenCount, offscreenArguments);
        Translations::install(&application);
        QCommandLineParser translated;
        describeOptions(translated);
        translated.process({program, QStringLiteral("--help-all")});
    }
}

// Without a display the window's application object cannot be made: one line
// says why, in the user's language, and where to turn instead.
void sayNoDisplay(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    Translations::install(&application);
    std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                 qPrintable(QCoreApplication::translate(
                     "main", "No display found. The tool shows a window and needs a desktop "
                             "session; from a terminal, use trvloader-cli.")));
}

QIcon applicationIcon()
{
    QIcon icon;
    for (int size : {16, 24, 32, 48, 64, 128, 256}) {
        icon.addFile(QStringLiteral(":/icons/trvloader-%1.png").arg(size), QSize(size, size));
    }
    return icon;
}

} // namespace

int main(int argc, char* argv[])
{
    // On a screen of twice the usual density the window is drawn twice as
    // large, with the logos' bitmaps for that density.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    nameApplication();
    answerHelpOrVersion(argc, argv);
    if (!DisplayCheck::displayAvailable(argc, argv)) {
        sayNoDisplay(argc, argv);
        return 1;
    }

    QApplication application(argc, argv);
    Translations::install(&application);
    QCommandLineParser parser;
    describeOptions(parser);
    // An unknown option ends the program here, named on standard error.
    parser.process(application);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(QCoreApplication::translate("main", "Unexpected argument '%1'.")
                                    .arg(parser.positionalArguments().first())));
        return 1;
    }
    application.setWindowIcon(applicationIcon());

    // Without its style sheet the tool still works, in the toolkit's own look.
    QFile styleSheet(":/css/stylesheet.css");
    if (styleSheet.open(QIODevice::ReadOnly)) {
        application.setStyleSheet(styleSheetText(styleSheet.readAll()));
    }

    // Only one copy may talk to the instrument: a second one says so and ends
    // before it has a window or opens the device.
    InstrumentHost host(QStringLiteral("window"));
    if (!host.takeLock()) {
        const QString text = host.lockFailureText();
        std::fprintf(stderr, "%s: %s\n", qPrintable(QCoreApplication::applicationName()),
                     qPrintable(text));
        QMessageBox::critical(
            nullptr, QCoreApplication::translate("trvLoader", "Tarvo QX40 Firmware Update Tool"),
            text);
        return 1;
    }

    trvLoader window(&host);
    window.show();
    return application.exec();
}
