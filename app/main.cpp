#include "stylesheet.h"
#include "trvloader.h"

#include <QApplication>
#include <QFile>

int main(int argc, char* argv[])
{
    QApplication application(argc, argv);

    // Without its style sheet the tool still works, in the toolkit's own look.
    QFile styleSheet(":/css/stylesheet.css");
    if (styleSheet.open(QIODevice::ReadOnly)) {
        application.setStyleSheet(styleSheetText(styleSheet.readAll()));
    }

    trvLoader window;
    window.show();
    return application.exec();
}
