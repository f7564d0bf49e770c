#include "finetimerslack.h"

#include <QtGlobal>

#ifdef Q_OS_LINUX
#include <sys/prctl.h>
#endif

namespace {
#ifdef Q_OS_LINUX
constexpr unsigned long fineSlackNanoseconds = 1;
#endif
// The thread's holders, and its slack before the first of them: several may
// live at once, and they may go in any order.
thread_local int holders = 0;
thread_local long formerSlack = -1;
} // namespace

FineTimerSlack::FineTimerSlack()
{
    if (holders++ > 0) {
        return;
    }
#ifdef Q_OS_LINUX
    formerSlack = prctl(PR_GET_TIMERSLACK, 0, 0, 0, 0);
    if (formerSlack >= 0) {
        prctl(PR_SET_TIMERSLACK, fineSlackNanoseconds, 0, 0, 0);
    }
#endif
}

FineTimerSlack::~FineTimerSlack()
{
    if (--holders > 0) {
        return;
    }
#ifdef Q_OS_LINUX
    // 0 would mean "the thread's default" to the kernel; give back exactly what was there.
    if (formerSlack > 0) {
        prctl(PR_SET_TIMERSLACK, static_cast<unsigned long>(formerSlack), 0, 0, 0);
    }
#endif
}
