#include "waiting.h"

#include <QEventLoop>
#include <QObject>
#include <QTimer>

bool waitUntil(const std::function<bool()>& condition, int timeout)
{
    if (condition()) {
        return true;
    }
    QEventLoop loop;
    QTimer check;
    QObject::connect(&check, &QTimer::timeout, [&] {
        if (condition()) {
            loop.quit();
        }
    });
    QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
    check.start(1);
    loop.exec();
    return condition();
}

void run(int ms)
{
    waitUntil([] { return false; }, ms);
}

bool driveUntil(const std::function<void()>& tick, const std::function<bool()>& condition,
                int timeout)
{
    if (condition()) {
        return true;
    }
    QEventLoop loop;
    QTimer driver; // interval 0: at every pass of the loop
    QObject::connect(&driver, &QTimer::timeout, [&] {
        tick();
        if (condition()) {
            loop.quit();
        }
    });
    QTimer::singleShot(timeout, &loop, &QEventLoop::quit);
    driver.start(0);
    loop.exec();
    return condition();
}
