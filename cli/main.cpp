// trvloader-cli: the firmware update without a window, for scripts, service
// benches and firmware build loops.

#include "clitool.h"
#include "terminaldetection.h"
#include "translations.h"
#include "trvconfig.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("trvloader-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(TRV_VERSION));
    // The JSON style is read by programs: its texts stay as written, in every language.
    if (!application.arguments().contains(QStringLiteral("--json"))) {
        Translations::install(&application);
    }

    QFile output;
    QFile errors;
    output.open(stdout, QIODevice::WriteOnly | QIODevice::Unbuffered);
    errors.open(stderr, QIODevice::WriteOnly | QIODevice::Unbuffered);
    CliTool tool(&output, &errors,
                 TerminalDetection::standardOutputIsTerminal() ? ReportWriter::Terminal
                                                               : ReportWriter::Lines);
    tool.setTerminalColumns(&TerminalDetection::standardOutputColumns);
    QObject::connect(&tool, &CliTool::finished, &QCoreApplication::exit);
    QTimer::singleShot(0, &tool,
                       [&tool, &application] { tool.start(application.arguments().mid(1)); });
    return application.exec();
}
