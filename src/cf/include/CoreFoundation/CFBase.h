/* Basic types, the CFType functions and the export conventions of the Core Foundation layer. */
#ifndef PORTOLAN_CF_CFBASE_H
#define PORTOLAN_CF_CFBASE_H

#include <stdarg.h>
#include <stddef.h>
#include <stdint.h>

#if defined(__cplusplus)
#define CF_EXTERN_C_BEGIN                                                                                    \
    extern "C"                                                                                               \
    {
#define CF_EXTERN_C_END }
#else
#define CF_EXTERN_C_BEGIN
#define CF_EXTERN_C_END
#endif

/* One shared library: CoreFoundation.dll (with its import library) on Windows, a shared object
 * elsewhere. The library itself is built with CF_BUILDING_CF defined. */
#if defined(_WIN32)
#if defined(CF_BUILDING_CF)
#define CF_EXPORT extern __declspec(dllexport)
#else
#define CF_EXPORT extern __declspec(dllimport)
#endif
#else
#define CF_EXPORT extern __attribute__((visibility("default")))
#endif

#define CF_INLINE static inline

CF_EXTERN_C_BEGIN

typedef unsigned char Boolean;
typedef uint8_t UInt8;
typedef int8_t SInt8;
typedef uint16_t UInt16;
typedef int16_t SInt16;
typedef uint32_t UInt32;
typedef int32_t SInt32;
typedef uint64_t UInt64;
typedef int64_t SInt64;
typedef float Float32;
typedef double Float64;
typedef UInt16 UniChar;
typedef UInt32 UTF32Char;

#if !defined(TRUE)
#define TRUE 1
#endif
#if !defined(FALSE)
#define FALSE 0
#endif

#if defined(_WIN64)
typedef unsigned long long CFTypeID;
typedef unsigned long long CFOptionFlags;
typedef unsigned long long CFHashCode;
typedef signed long long CFIndex;
#else
typedef unsigned long CFTypeID;
typedef unsigned long CFOptionFlags;
typedef unsigned long CFHashCode;
typedef signed long CFIndex;
#endif

/* Any Core Foundation object. */
typedef const void* CFTypeRef;

typedef const struct __CFString* CFStringRef;
typedef struct __CFString* CFMutableStringRef;
typedef const struct __CFAllocator* CFAllocatorRef;
typedef CFTypeRef CFPropertyListRef;

typedef struct
{
    CFIndex location;
    CFIndex length;
} CFRange;

CF_INLINE CFRange CFRangeMake(CFIndex location, CFIndex length)
{
    CFRange range;
    range.location = location;
    range.length = length;
    return range;
}

enum
{
    kCFNotFound = -1
};

typedef CFIndex CFComparisonResult;
enum
{
    kCFCompareLessThan = -1,
    kCFCompareEqualTo = 0,
    kCFCompareGreaterThan = 1
};

typedef CFComparisonResult (*CFComparatorFunction)(const void* value1, const void* value2, void* context);

/* Only the default allocator exists: every object is allocated and freed inside this library.
 * Functions take an allocator argument for the sake of Core Foundation's signatures; pass
 * kCFAllocatorDefault (or NULL). */
CF_EXPORT const CFAllocatorRef kCFAllocatorDefault;

/* Reference counting. Counts are atomic: any thread may retain and release. Constant objects
 * (CFSTR strings, the Booleans) are never freed. CFRetain and CFRelease of NULL crash the Core
 * Foundation of the field: built with CF_NULL_REFERENCE_IS_FATAL (the default), this library
 * reports them and aborts; otherwise they do nothing. */
CF_EXPORT CFTypeRef CFRetain(CFTypeRef cf);
CF_EXPORT void CFRelease(CFTypeRef cf);
CF_EXPORT CFIndex CFGetRetainCount(CFTypeRef cf);

CF_EXPORT CFTypeID CFGetTypeID(CFTypeRef cf);
/* Equal objects have equal hashes; strings are equal when their UTF-16 text is. */
CF_EXPORT Boolean CFEqual(CFTypeRef cf1, CFTypeRef cf2);
CF_EXPORT CFHashCode CFHash(CFTypeRef cf);
/* A readable description for logs (follows the Create rule). */
CF_EXPORT CFStringRef CFCopyDescription(CFTypeRef cf);
/* The name of a type, such as "CFString" (follows the Create rule). */
CF_EXPORT CFStringRef CFCopyTypeIDDescription(CFTypeID type_id);

CF_EXTERN_C_END

#endif
