#include "firmwareversion.h"

#include <QRegularExpression>

bool FirmwareVersion::parse(const QString& text, int& major, int& minor)
{
    static const QRegularExpression pattern("^v(\\d{1,6})\\.(\\d{1,6})$");
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch()) {
        return false;
    }
    major = match.captured(1).toInt();
    minor = match.captured(2).toInt();
    return true;
}

FirmwareVersion::Order FirmwareVersion::compare(const QString& installed, const QString& image)
{
    int installedMajor = 0;
    int installedMinor = 0;
    int imageMajor = 0;
    int imageMinor = 0;
    if (!parse(installed, installedMajor, installedMinor) ||
        !parse(image, imageMajor, imageMinor)) {
        return Unknown;
    }
    if (installedMajor != imageMajor) {
        return installedMajor < imageMajor ? Older : Newer;
    }
    if (installedMinor != imageMinor) {
        return installedMinor < imageMinor ? Older : Newer;
    }
    return Equal;
}
