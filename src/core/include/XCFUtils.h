#pragma once
// Typed access to single values of Core Foundation dictionaries keyed by strings (font records,
// preferences, replies of the font manager's libraries). Readers check the type of what they
// find: a missing key or a value of another type reads as absent, never as a failure.

#include "GTypes.h"

#include <CoreFoundation/CoreFoundation.h>

#include <memory>

// True and the value when the key holds a CFBoolean; false (outValue untouched) otherwise.
bool XCFDictionaryGetBoolean(CFDictionaryRef inDictRef, CFStringRef inKey, bool& outValue);

// The string held under the key (not retained), or null when it is missing or not a string.
CFStringRef XCFDictionaryGetString(CFDictionaryRef inDictRef, CFStringRef inKey);

// As XCFDictionaryGetString, for callers whose contract is a dictionary and a non-empty string
// key: a violation is reported as a failed check and yields null.
CFStringRef XCFDictionaryGetStringChecked(CFDictionaryRef inDictRef, CFStringRef inKey);

// True and the value when the key holds a number that converts without loss to a 32-bit long
// (kCFNumberLongType); false otherwise. pValue must not be null (reported, false).
bool XCFDictionaryGetNumber(CFDictionaryRef inDictRef, CFStringRef inKey, TSInt32* pValue);

// The decimal integer held as text under the key: 0 when the key is missing or not a string;
// otherwise the string's direct C-string form in the encoding read as by atol, or, when that form
// is not at hand, CFStringGetIntValue.
TSInt32 XCFDictionaryGetIntegerFromString(CFDictionaryRef inDictRef, CFStringRef inKey,
                                          CFStringEncoding encoding);

// Stores kCFBooleanTrue or kCFBooleanFalse; always true.
bool XCFDictionarySetBoolean(CFMutableDictionaryRef inDictRef, CFStringRef inKey, bool inValue);

// Stores a new number of kCFNumberLongType; false when the number cannot be created.
bool XCFDictionarySetNumber(CFMutableDictionaryRef inDictRef, CFStringRef inKey, TSInt32 inValue);

// Stores the value as decimal text ("%ld"); false when the string cannot be created.
bool XCFDictionarySetIntegerAsString(CFMutableDictionaryRef inDictRef, CFStringRef inKey, TSInt32 inValue);

// A new NUL-terminated UTF-16 copy of the string, owned by the caller; a null string gives a
// buffer holding only the terminator.
std::unique_ptr<UniChar[]> XCFStringCopyUTF16(CFStringRef inString);

// The UTF-8 text of the string; empty for a null or empty string or a failed conversion.
TUTF8String XCFStringCopyUTF8(CFStringRef inString);
