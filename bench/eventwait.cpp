#include "eventwait.h"

#include <QEventLoop>
#include <QTimer>

bool waitForSignal(QObject* sender, const char* signal, int ms)
{
    QEventLoop loop;
    QTimer guard;
    guard.setSingleShot(true);
    QObject::connect(&guard, &QTimer::timeout, &loop, [&loop] { loop.exit(1); });
    QObject::connect(sender, signal, &loop, SLOT(quit()));
    guard.start(ms);
    return loop.exec() == 0;
}

void settle(int ms)
{
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}
