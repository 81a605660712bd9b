#pragma once
// Version strings from the version resources of files, and the bitness of the process: the
// plug-in's own utilities, Windows only.

#ifdef _WIN32
#include "GTypes.h"

class LumorandVersionUtils
{
public:
    // The value at a version-resource query path ("\StringFileInfo\040904b0\FileVersion") of the
    // file at an ANSI path, into a wide buffer of outputLength characters (cut to fit, always
    // terminated). False when the file has no version resource (traced with the system's error
    // code) or no such value.
    static bool GetFileVersionString(const char* path, const wchar_t* queryPath, wchar_t* output,
                                     std::size_t outputLength);
    // The same with a UTF-8 path and query, the value in UTF-8; false also when the value does
    // not fit the buffer of outputSize bytes.
    static bool GetFileVersionStringUTF8(const TUTF8String& path, const TUTF8String& queryPath, char* output,
                                         std::size_t outputSize);
    // The value "\StringFileInfo\040904b0\PrivateBuild".
    static bool GetPrivateBuildString(const char* path, wchar_t* output, std::size_t outputLength);

    // 2 for a 32-bit process on 64-bit Windows (WOW64), otherwise 1. Computed once.
    static int GetProcessBitness();
};
#endif
