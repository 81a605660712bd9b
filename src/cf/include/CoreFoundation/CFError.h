/* CFError: a domain, a code and a description, as the property-list functions report them. */
#ifndef PORTOLAN_CF_CFERROR_H
#define PORTOLAN_CF_CFERROR_H

#include <CoreFoundation/CFDictionary.h>

CF_EXTERN_C_BEGIN

typedef const struct __CFError* CFErrorRef;
typedef CFStringRef CFErrorDomain;

CF_EXPORT const CFErrorDomain kCFErrorDomainCocoa;
/* The key of the description in the user-info dictionary. */
CF_EXPORT const CFStringRef kCFErrorDescriptionKey;

CF_EXPORT CFTypeID CFErrorGetTypeID(void);
CF_EXPORT CFErrorRef CFErrorCreate(CFAllocatorRef allocator, CFErrorDomain domain, CFIndex code,
                                   CFDictionaryRef userInfo);
CF_EXPORT CFErrorDomain CFErrorGetDomain(CFErrorRef err);
CF_EXPORT CFIndex CFErrorGetCode(CFErrorRef err);
/* A copy of the user-info dictionary (empty when there is none). */
CF_EXPORT CFDictionaryRef CFErrorCopyUserInfo(CFErrorRef err);
/* The description from the user info, or a generic text with the domain and code. */
CF_EXPORT CFStringRef CFErrorCopyDescription(CFErrorRef err);

CF_EXTERN_C_END

#endif
