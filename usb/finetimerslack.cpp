#include "finetimerslack.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace {
#ifdef Q_OS_LINUX
constexpr unsigned long fineSlackNanoseconds = 1;
#endif
} // namespace

FineTimerSlack::FineTimerSlack() : formerSlack(-1)
{
#ifdef Q_OS_LINUX
    formerSlack = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    if (formerSlack >= 0) {
        prctl(PR_SET_TIMERSLACK, fineSlackNanoseconds, 0, 0, 0);
    }
#endif
}

FineTimerSlack::~FineTimerSlack()
{
#ifdef Q_OS_LINUX
    // 0 would mean "the thread's default" to the kernel; give back exactly what was there.
    if (formerSlack > 0) {
        prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(formerSlack), 0, 0, 0);
    }
#endif
}
