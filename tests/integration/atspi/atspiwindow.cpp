// The window on the in-process emulated instrument, for the test that reads it
// through the accessibility bus as a screen reader does:
//   atspiwindow [--no-instrument] [--unplug-at-data N]
// --no-instrument: no instrument is plugged in; --unplug-at-data N: the
// instrument is unplugged when the update sends its Nth data message.

#include "instrument.h"
#include "stylesheet.h"
#include "testtiming.h"
#include "trvloader.h"

#include <QApplication>
#include <QFile>
#include <QStringList>

int main(int argc, char* argv[])
{
    // As the program does: twice as large on a screen of twice the density.
    QCoreApplication::setAttribute(Qt::AA_EnableHighDpiScaling);
    QCoreApplication::setAttribute(Qt::AA_UseHighDpiPixmaps);
    QApplication application(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("atspiwindow"));

    QFile styleSheet(QStringLiteral(":/css/stylesheet.css"));
    if (styleSheet.open(QIODevice::ReadOnly)) {
        application.setStyleSheet(styleSheetText(styleSheet.readAll()));
    }

    const QStringList arguments = QCoreApplication::arguments();
    if (arguments.contains(QStringLiteral("--no-instrument"))) {
        sim::instrument().unplug();
    }
    const int unplugAt = arguments.indexOf(QStringLiteral("--unplug-at-data"));
    if (unplugAt > 0) {
        sim::instrument().unplugAtDataMessage(arguments.value(unplugAt + 1).toInt());
    }

    trvLoader window(nullptr, TestTiming::inProcess());
    window.show();
    return application.exec();
}
