#pragma once
// File utilities of the plug-in.

#include "GTypes.h"

class LumorandFileUtils
{
public:
    // Seconds since 1970-01-01 00:00 UTC of the file's last write; 0 when the path is null or the
    // date cannot be read. On Windows the path is tried as text in the ANSI code page first and
    // then as UTF-8, so paths from either source work.
    static TSInt64 GetFileModificationDate(const char* path);
};
