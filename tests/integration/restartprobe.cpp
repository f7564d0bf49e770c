// Run by tst_launcher as the launcher's program: through the system's hidapi,
// tells the main board to restart and waits to lose it and find it again, as
// the tool does at the end of the main board's update. Exits 0 when it did,
// 1 when not within ten seconds.

#include "trvinterface.h"

#include <QCoreApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    // Declared before the link: its disconnected() at destruction still reads them.
    int connects = 0;
    bool lost = false;
    trvInterface device;
    QObject::connect(&device, &trvInterface::connected, [&] {
        if (++connects == 1) {
            device.firmwareUpdateRestart(trvInterface::Mainboard);
        } else if (lost) {
            std::printf("found again\n");
            application.exit(0);
        }
    });
    QObject::connect(&device, &trvInterface::disconnected, [&] {
        if (connects == 1 && !lost) {
            lost = true;
            std::printf("lost\n");
        }
    });
    QTimer::singleShot(10000, [&] {
        std::printf("gave up: %d connects, %s\n", connects, lost ? "lost once" : "never lost");
        application.exit(1);
    });
    device.setAutoconnect(true);
    return application.exec();
}
