/* The Core Foundation header compiled as C, and the library used from C. Exits non-zero and
 * says which check failed. */
#include <CoreFoundation/CoreFoundation.h>

#include <stdio.h>
#include <string.h>

static int failures = 0;

#define CHECK(condition)                                                                                     \
    do                                                                                                       \
    {                                                                                                        \
        if (!(condition))                                                                                    \
        {                                                                                                    \
            fprintf(stderr, "check failed at line %d: %s\n", __LINE__, #condition);                          \
            ++failures;                                                                                      \
        }                                                                                                    \
    } while (0)

int main(void)
{
    CFStringRef name =
        CFStringCreateWithCString(kCFAllocatorDefault, "caf\xE9", kCFStringEncodingWindowsLatin1);
    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    long value = 1234;
    CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberLongType, &value);
    char buffer[64];
    CFDataRef xml;
    CFStringRef error = NULL;
    CFPropertyListRef back;
    CFRange range = CFRangeMake(1, 2);

    CHECK(name != NULL);
    CHECK(CFStringGetLength(name) == 4);
    CHECK(CFStringGetCString(name, buffer, sizeof(buffer), kCFStringEncodingUTF8));
    CHECK(strcmp(buffer, "caf\xC3\xA9") == 0);
    CHECK(range.location == 1 && range.length == 2);

    CFDictionarySetValue(dictionary, CFSTR("Name"), name);
    CFDictionarySetValue(dictionary, CFSTR("Count"), number);
    CFDictionarySetValue(dictionary, CFSTR("Active"), kCFBooleanTrue);
    CHECK(CFGetRetainCount(number) == 2);
    CHECK(CFDictionaryGetCount(dictionary) == 3);

    xml = CFPropertyListCreateXMLData(kCFAllocatorDefault, dictionary);
    CHECK(xml != NULL);
    back = CFPropertyListCreateFromXMLData(kCFAllocatorDefault, xml, kCFPropertyListImmutable, &error);
    CHECK(back != NULL && error == NULL);
    CHECK(CFEqual(back, dictionary));
    CHECK(CFGetTypeID(back) == CFDictionaryGetTypeID());

    CFRelease(back);
    CFRelease(xml);
    CFRelease(dictionary);
    CHECK(CFGetRetainCount(number) == 1);
    CFRelease(number);
    CFRelease(name);

    if (failures == 0)
    {
        printf("Core Foundation C API: all checks passed\n");
    }
    return failures == 0 ? 0 : 1;
}
