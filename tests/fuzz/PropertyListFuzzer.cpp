// The XML property-list reader on arbitrary bytes. Whatever it accepts must write out and read
// back as an equal value.

#include <CoreFoundation/CoreFoundation.h>

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    CFDataRef input = CFDataCreate(kCFAllocatorDefault, data, static_cast<CFIndex>(size));
    CFStringRef error = nullptr;
    CFPropertyListRef plist =
        CFPropertyListCreateFromXMLData(kCFAllocatorDefault, input, kCFPropertyListImmutable, &error);
    CFRelease(input);
    if (plist == nullptr)
    {
        // A rejection always comes with a reason.
        if (error == nullptr || CFStringGetLength(error) == 0)
        {
            std::abort();
        }
        CFRelease(error);
        return 0;
    }
    CFDataRef xml = CFPropertyListCreateXMLData(kCFAllocatorDefault, plist);
    if (xml == nullptr)
    {
        std::abort();
    }
    CFPropertyListRef again =
        CFPropertyListCreateFromXMLData(kCFAllocatorDefault, xml, kCFPropertyListImmutable, &error);
    if (again == nullptr || !CFEqual(plist, again))
    {
        std::abort();
    }
    CFRelease(again);
    CFRelease(xml);
    CFRelease(plist);
    return 0;
}
