#pragma once

#include <QString>

// A folder in which this user may create no file, for as long as the object
// lives: by its permissions, or, for the superuser whom permissions do not
// stop, by the immutable attribute. Files already in it stay writable.
class LockedFolder
{
public:
    explicit LockedFolder(const QString& path);
    ~LockedFolder();
    LockedFolder(const LockedFolder&) = delete;
    LockedFolder& operator=(const LockedFolder&) = delete;

    // False when neither way works here (the test then has nothing to show).
    bool isLocked() const { return locked; }

private:
    QString path;
    bool locked = false;
    bool immutable = false;
};
