#include "linewalker.h"

bool LineWalker::holdsNoText(const QByteArray& content)
{
    LineWalker lines(content);
    QByteArray line;
    while (lines.next(line)) {
        if (holdsText(line)) {
            return false;
        }
    }
    return true;
}
