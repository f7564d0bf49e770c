#pragma once

#include <QString>

// A firmware version as boards report it and images carry it, "v<major>.<minor>".
class FirmwareVersion
{
public:
    // How an installed version stands to the version an image would install.
    enum Order {
        Unknown, // one of the texts is not "v<major>.<minor>": not compared
        Older,
        Equal,
        Newer,
    };

    static Order compare(const QString& installed, const QString& image);
    // Whether the text reads "v<major>.<minor>"; major and minor are set then.
    static bool parse(const QString& text, int& major, int& minor);
};
