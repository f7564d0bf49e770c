// The hot-plug watch where no device events are watched: a look now and
// then, never on every tick.

#include "hotplugwatch.h"

struct HotplugWatch::Events
{
};

HotplugWatch::HotplugWatch() = default; // sinceLastLook not started: the first look is due

HotplugWatch::~HotplugWatch() = default;

bool HotplugWatch::isWatching() const
{
    return false;
}

bool HotplugWatch::lookDue()
{
    return !sinceLastLook.isValid() || sinceLastLook.elapsed() >= unwatchedLookPeriod;
}

void HotplugWatch::lookSoon()
{
    // A look is due anyway once the period has passed; sooner would make a
    // device that keeps failing at once cost a look on every tick.
}

void HotplugWatch::looked(bool)
{
    sinceLastLook.start();
}
