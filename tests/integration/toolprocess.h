#pragma once

#include <QProcess>

#include <fcntl.h>
#include <unistd.h>

// The program, holding none of this process's descriptors but the standard
// ones: the other end of the device node among them would keep the node from
// hanging up when the instrument goes.
class ToolProcess : public QProcess
{
protected:
    void setupChildProcess() override
    {
        const int last = int(sysconf(_SC_OPEN_MAX));
        for (int descriptor = 3; descriptor < last; ++descriptor) {
            const int flags = fcntl(descriptor, F_GETFD);
            // Those closed on exec anyway include QProcess's own pipe.
            if (flags >= 0 && !(flags & FD_CLOEXEC)) {
                ::close(descriptor);
            }
        }
    }
};
