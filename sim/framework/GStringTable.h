#pragma once
// The framework's English string table (the texts behind the numbers of the plug-in's messages,
// titles and workgroup names) and the display names of the host applications.

#include "GTypes.h"

class GStringTable
{
public:
    // The UTF-8 text of a number, or null for an unknown number.
    static const char* Find(TSInt32 number);
    // The number whose text is exactly this text; 0 when there is none.
    static TSInt32 FindNumber(const TUTF8String& text);

    // The name of a host application for the user: "PhotoshopCC2020" is "Adobe Photoshop 2020",
    // "IllustratorCC2017" is "Adobe Illustrator CC 2017", "AfterEffects2022" is "Adobe After
    // Effects 2022". A name that is not one of the products, or whose version part is not a
    // year, is its own display name.
    static TUTF8String HostAppDisplayName(const TUTF8String& hostApp);
};
