// The display check where every session has a desktop to show windows on.

#include "displaycheck.h"

bool DisplayCheck::displayAvailable(int, char*[])
{
    return true;
}
