/* XML property lists: dict, array, string, integer (64-bit), real, true, false, data, date. */
#ifndef PORTOLAN_CF_CFPROPERTYLIST_H
#define PORTOLAN_CF_CFPROPERTYLIST_H

#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFError.h>
#include <CoreFoundation/CFString.h>

CF_EXTERN_C_BEGIN

typedef CFOptionFlags CFPropertyListMutabilityOptions;
enum
{
    kCFPropertyListImmutable = 0,
    kCFPropertyListMutableContainers = 1,
    kCFPropertyListMutableContainersAndLeaves = 2
};

typedef CFIndex CFPropertyListFormat;
enum
{
    kCFPropertyListOpenStepFormat = 1,
    kCFPropertyListXMLFormat_v1_0 = 100,
    kCFPropertyListBinaryFormat_v1_0 = 200
};

/* Error codes of the property-list functions (domain kCFErrorDomainCocoa). */
enum
{
    kCFPropertyListReadCorruptError = 3840,
    kCFPropertyListWriteStreamError = 3851
};

/* Containers nest at most this deep; deeper input is rejected. */
enum
{
    kCFPropertyListMaxNestingDepth = 96
};

/* Parses an XML property list (UTF-8). On malformed input returns NULL and, when errorString is
 * not NULL, a description of the problem that the caller releases. */
CF_EXPORT CFPropertyListRef CFPropertyListCreateFromXMLData(CFAllocatorRef allocator, CFDataRef xmlData,
                                                            CFOptionFlags mutabilityOption,
                                                            CFStringRef* errorString);
/* The same with a CFError; format (may be NULL) receives kCFPropertyListXMLFormat_v1_0. */
CF_EXPORT CFPropertyListRef CFPropertyListCreateWithData(CFAllocatorRef allocator, CFDataRef data,
                                                         CFOptionFlags options, CFPropertyListFormat* format,
                                                         CFErrorRef* error);
/* Writes the XML form with the standard DOCTYPE and version 1.0; NULL when the value is not a
 * property list (dictionary keys must be strings). */
CF_EXPORT CFDataRef CFPropertyListCreateXMLData(CFAllocatorRef allocator, CFPropertyListRef propertyList);
/* Only kCFPropertyListXMLFormat_v1_0 is written; other formats fail with an error. */
CF_EXPORT CFDataRef CFPropertyListCreateData(CFAllocatorRef allocator, CFPropertyListRef propertyList,
                                             CFPropertyListFormat format, CFOptionFlags options,
                                             CFErrorRef* error);
CF_EXPORT CFPropertyListRef CFPropertyListCreateDeepCopy(CFAllocatorRef allocator,
                                                         CFPropertyListRef propertyList,
                                                         CFOptionFlags mutabilityOption);
CF_EXPORT Boolean CFPropertyListIsValid(CFPropertyListRef plist, CFPropertyListFormat format);

CF_EXTERN_C_END

#endif
