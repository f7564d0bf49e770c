#pragma once

#include "filefault.h"
#include "hexreader.h"

#include <QString>

// Puts a firmware file's records in address order, so that it can be read and
// stamped: build tools may write them in any order.
class HexSorter
{
public:
    // Rewrites the file with its data records in address order, each 64 KiB
    // segment behind its own extended linear address record, and one
    // end-of-file record; other records are dropped. The new text replaces the
    // file only once all of it is written: on any failure the file is left as
    // it was. A file larger than HexReader::maximumFileSize is not read
    // (FileTooLarge); an empty file is not sorted (Corrupted). What exactly
    // went wrong goes to faultFound, if given.
    static HexReader::Err sort(const QString& fileName, FileFault* faultFound = nullptr);
};
