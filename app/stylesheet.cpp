#include "stylesheet.h"

QString styleSheetText(const QByteArray& bytes)
{
    const int end = bytes.indexOf('\0');
    return QString::fromLatin1(bytes.constData(), end < 0 ? bytes.size() : end);
}
