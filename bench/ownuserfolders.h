#pragma once

#include <QTemporaryDir>

// The window keeps its settings, update history and log in the user's
// folders. A benchmark's windows get folders of their own instead, removed
// when it ends: a run neither meets what an earlier one left (an update it
// ended midway would greet the next window with a notice that waits for an
// answer) nor adds to the user's own history. Made before the first window.
class OwnUserFolders
{
public:
    OwnUserFolders();
    OwnUserFolders(const OwnUserFolders&) = delete;
    OwnUserFolders& operator=(const OwnUserFolders&) = delete;

    bool isValid() const;

private:
    QTemporaryDir root;
};
