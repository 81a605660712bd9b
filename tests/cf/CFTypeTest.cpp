// Reference counting and ownership, numbers, Booleans, data and UUIDs.

#include "CFTestSupport.h"

#include <CoreFoundation/CFLiveObjects.h>

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <thread>
#include <vector>

TEST(CFType, OwnershipAcrossCopiesAndContainers)
{
    CFStringRef value = MakeString("value");
    ASSERT_EQ(1, CFGetRetainCount(value));

    CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue(array, value);
    EXPECT_EQ(2, CFGetRetainCount(value));

    CFMutableDictionaryRef dictionary = CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
    CFDictionarySetValue(dictionary, CFSTR("key"), value);
    EXPECT_EQ(3, CFGetRetainCount(value));

    // A copy of a mutable container retains the values again; a copy of an immutable one is the
    // same object.
    CFArrayRef arrayCopy = CFArrayCreateCopy(kCFAllocatorDefault, array);
    EXPECT_NE(static_cast<const void*>(arrayCopy), static_cast<const void*>(array));
    EXPECT_EQ(4, CFGetRetainCount(value));
    CFArrayRef copyOfCopy = CFArrayCreateCopy(kCFAllocatorDefault, arrayCopy);
    EXPECT_EQ(static_cast<const void*>(arrayCopy), static_cast<const void*>(copyOfCopy));
    EXPECT_EQ(2, CFGetRetainCount(arrayCopy));
    EXPECT_EQ(4, CFGetRetainCount(value));

    CFDictionaryRef dictionaryCopy = CFDictionaryCreateCopy(kCFAllocatorDefault, dictionary);
    EXPECT_EQ(5, CFGetRetainCount(value));

    // Replacing and removing release what the container held.
    CFDictionarySetValue(dictionary, CFSTR("key"), kCFBooleanTrue);
    EXPECT_EQ(4, CFGetRetainCount(value));
    CFArrayRemoveValueAtIndex(array, 0);
    EXPECT_EQ(3, CFGetRetainCount(value));

    CFRelease(copyOfCopy);
    CFRelease(arrayCopy);
    EXPECT_EQ(2, CFGetRetainCount(value));
    CFRelease(dictionaryCopy);
    EXPECT_EQ(1, CFGetRetainCount(value));
    CFRelease(dictionary);
    CFRelease(array);
    EXPECT_EQ(std::string("value"), Text(value));
    CFRelease(value);
}

TEST(CFType, TheLiveObjectCountFollowsEveryObjectButTheConstants)
{
    const CFIndex before = _CFGetLiveObjectCount();
    CFStringRef text = CFStringCreateWithCString(kCFAllocatorDefault, "counted", kCFStringEncodingUTF8);
    CFMutableArrayRef array = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    CFArrayAppendValue(array, text);
    CFArrayAppendValue(array, CFSTR("constant"));
    CFArrayAppendValue(array, kCFBooleanTrue);
    EXPECT_EQ(_CFGetLiveObjectCount(), before + 2);
    CFRelease(text);
    EXPECT_EQ(_CFGetLiveObjectCount(), before + 2) << "the array still holds the string";
    CFRelease(array);
    EXPECT_EQ(_CFGetLiveObjectCount(), before);
}

#ifndef _WIN32
// The field's Core Foundation crashes on these; ours says so and stops, so tests find the caller.
TEST(CFTypeDeathTest, RetainOrReleaseOfNullAbortsWithAReport)
{
    EXPECT_DEATH(CFRelease(nullptr), "CFRelease\\(NULL\\): a null reference");
    EXPECT_DEATH(CFRetain(nullptr), "CFRetain\\(NULL\\): a null reference");
}
#endif

TEST(CFType, RetainAndReleaseFromSeveralThreads)
{
    CFHolder<CFStringRef> shared(MakeString("shared"));
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t)
    {
        threads.emplace_back(
            [&shared]
            {
                for (int i = 0; i < 20000; ++i)
                {
                    CFRetain(shared);
                    CFRelease(shared);
                    // Constant strings are looked up and created concurrently too.
                    CFStringRef constant = CFSTR("constant made by several threads");
                    if (CFStringGetLength(constant) != 32)
                    {
                        ADD_FAILURE() << "constant string of the wrong length";
                        return;
                    }
                }
            });
    }
    for (std::thread& thread : threads)
    {
        thread.join();
    }
    EXPECT_EQ(1, CFGetRetainCount(shared));
}

TEST(CFType, ConstantStringsAreUniqueAndLiveForTheProcess)
{
    CFStringRef first = CFSTR("DatabaseID");
    CFStringRef second = CFSTR("DatabaseID");
    EXPECT_EQ(first, second);
    // Releasing a constant more often than it was retained does not free it.
    CFRelease(first);
    CFRelease(first);
    EXPECT_EQ("DatabaseID", Text(second));

    CFHolder<CFStringRef> created(MakeString("DatabaseID"));
    EXPECT_TRUE(CFEqual(first, created));
    EXPECT_EQ(CFHash(first), CFHash(created));
    EXPECT_FALSE(CFEqual(first, CFSTR("databaseid")));
    EXPECT_FALSE(CFEqual(first, nullptr));
    EXPECT_EQ(CFStringGetTypeID(), CFGetTypeID(first));
}

TEST(CFType, NumbersReportLossyConversions)
{
    const SInt64 large = 1LL << 40;
    CFHolder<CFNumberRef> big(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &large));
    SInt32 narrow = 0;
    EXPECT_FALSE(CFNumberGetValue(big, kCFNumberSInt32Type, &narrow));
    SInt64 wide = 0;
    EXPECT_TRUE(CFNumberGetValue(big, kCFNumberSInt64Type, &wide));
    EXPECT_EQ(large, wide);
    double asDouble = 0;
    EXPECT_TRUE(CFNumberGetValue(big, kCFNumberFloat64Type, &asDouble));
    EXPECT_EQ(1099511627776.0, asDouble);
    const SInt64 unrepresentable = (1LL << 53) + 1;
    CFHolder<CFNumberRef> odd(CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, &unrepresentable));
    EXPECT_FALSE(CFNumberGetValue(odd, kCFNumberFloat64Type, &asDouble));

    const double fraction = 3.5;
    CFHolder<CFNumberRef> real(CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &fraction));
    int asInt = 0;
    EXPECT_FALSE(CFNumberGetValue(real, kCFNumberIntType, &asInt));
    EXPECT_EQ(3, asInt);
    const double whole = -7.0;
    CFHolder<CFNumberRef> wholeReal(CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &whole));
    EXPECT_TRUE(CFNumberGetValue(wholeReal, kCFNumberIntType, &asInt));
    EXPECT_EQ(-7, asInt);
    float asFloat = 0;
    const double tenth = 0.1;
    CFHolder<CFNumberRef> tenthNumber(CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &tenth));
    EXPECT_FALSE(CFNumberGetValue(tenthNumber, kCFNumberFloat32Type, &asFloat));

    const long longValue = -123456;
    CFHolder<CFNumberRef> longNumber(CFNumberCreate(kCFAllocatorDefault, kCFNumberLongType, &longValue));
    EXPECT_EQ(kCFNumberLongType, CFNumberGetType(longNumber));
    CFIndex index = 0;
    EXPECT_TRUE(CFNumberGetValue(longNumber, kCFNumberCFIndexType, &index));
    EXPECT_EQ(-123456, index);
    SInt8 tiny = 0;
    EXPECT_FALSE(CFNumberGetValue(longNumber, kCFNumberSInt8Type, &tiny));

    // The same value in different types is equal and hashes alike.
    const int one = 1;
    const double oneReal = 1.0;
    CFHolder<CFNumberRef> oneInt(CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &one));
    CFHolder<CFNumberRef> oneDouble(CFNumberCreate(kCFAllocatorDefault, kCFNumberDoubleType, &oneReal));
    EXPECT_TRUE(CFEqual(oneInt, oneDouble));
    EXPECT_EQ(CFHash(oneInt), CFHash(oneDouble));
    EXPECT_EQ(kCFCompareLessThan, CFNumberCompare(oneInt, real, nullptr));
    EXPECT_EQ(kCFCompareGreaterThan, CFNumberCompare(odd, big, nullptr));
    EXPECT_EQ(nullptr, CFNumberCreate(kCFAllocatorDefault, 99, &one));
}

TEST(CFType, BooleansAndData)
{
    EXPECT_TRUE(CFBooleanGetValue(kCFBooleanTrue));
    EXPECT_FALSE(CFBooleanGetValue(kCFBooleanFalse));
    EXPECT_FALSE(CFEqual(kCFBooleanTrue, kCFBooleanFalse));
    EXPECT_EQ(CFBooleanGetTypeID(), CFGetTypeID(kCFBooleanFalse));

    const UInt8 bytes[] = {0, 1, 2, 0xFF};
    CFHolder<CFDataRef> data(CFDataCreate(kCFAllocatorDefault, bytes, sizeof(bytes)));
    CFHolder<CFMutableDataRef> mutableData(CFDataCreateMutableCopy(kCFAllocatorDefault, 0, data));
    EXPECT_TRUE(CFEqual(data, mutableData));
    // Appending a block's own bytes to it.
    CFDataAppendBytes(mutableData, CFDataGetBytePtr(mutableData), CFDataGetLength(mutableData));
    ASSERT_EQ(8, CFDataGetLength(mutableData));
    UInt8 tail[4] = {};
    CFDataGetBytes(mutableData, CFRangeMake(4, 10), tail);
    EXPECT_EQ(0, std::memcmp(bytes, tail, sizeof(bytes)));
    EXPECT_EQ(4, CFDataGetLength(data));
    CFDataSetLength(mutableData, 2);
    EXPECT_EQ(2, CFDataGetLength(mutableData));
}

TEST(CFType, UUIDStringForm)
{
    std::set<std::string> seen;
    for (int i = 0; i < 50; ++i)
    {
        CFHolder<CFUUIDRef> uuid(CFUUIDCreate(kCFAllocatorDefault));
        CFHolder<CFStringRef> text(CFUUIDCreateString(kCFAllocatorDefault, uuid));
        const std::string form = Text(text);
        ASSERT_EQ(36u, form.size()) << form;
        for (std::size_t k = 0; k < form.size(); ++k)
        {
            if (k == 8 || k == 13 || k == 18 || k == 23)
            {
                EXPECT_EQ('-', form[k]) << form;
            }
            else
            {
                EXPECT_TRUE((form[k] >= '0' && form[k] <= '9') || (form[k] >= 'A' && form[k] <= 'F')) << form;
            }
        }
        EXPECT_EQ('4', form[14]) << form;
        seen.insert(form);
        // The string form reads back as the same identifier.
        CFHolder<CFUUIDRef> parsed(CFUUIDCreateFromString(kCFAllocatorDefault, text));
        EXPECT_TRUE(CFEqual(uuid, parsed));
    }
    EXPECT_EQ(50u, seen.size());

    CFHolder<CFUUIDRef> lower(
        CFUUIDCreateFromString(kCFAllocatorDefault, CFSTR("{0a1b2c3d-4e5f-6a7b-8c9d-0e1f2a3b4c5d}")));
    CFHolder<CFStringRef> upper(CFUUIDCreateString(kCFAllocatorDefault, lower));
    EXPECT_EQ("0A1B2C3D-4E5F-6A7B-8C9D-0E1F2A3B4C5D", Text(upper));
    EXPECT_EQ(0x0A, CFUUIDGetUUIDBytes(lower).byte0);
    EXPECT_EQ(0x5D, CFUUIDGetUUIDBytes(lower).byte15);
    for (const char* bad : {"", "0A1B2C3D-4E5F-6A7B-8C9D-0E1F2A3B4C5", "0A1B2C3D-4E5F-6A7B-8C9D+0E1F2A3B4C5D",
                            "0A1B2C3D-4E5F-6A7B-8C9D-0E1F2A3B4C5G", "0A1B2C3D4E5F6A7B8C9D0E1F2A3B4C5D0000"})
    {
        CFHolder<CFStringRef> badText(MakeString(bad));
        EXPECT_EQ(nullptr, CFUUIDCreateFromString(kCFAllocatorDefault, badText)) << bad;
    }
}

TEST(CFType, DescriptionsShowNestedValues)
{
    const int number = 42;
    CFHolder<CFNumberRef> answer(CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &number));
    const void* items[] = {CFSTR("a"), answer.get()};
    CFHolder<CFArrayRef> array(CFArrayCreate(kCFAllocatorDefault, items, 2, &kCFTypeArrayCallBacks));
    CFHolder<CFMutableArrayRef> outer(CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
    CFArrayAppendValue(outer, array);
    // An array that holds itself is described without endless recursion.
    CFArrayAppendValue(outer, outer);
    CFHolder<CFStringRef> description(CFCopyDescription(outer));
    const std::string text = Text(description);
    EXPECT_NE(std::string::npos, text.find("(a, 42)")) << text;
    EXPECT_NE(std::string::npos, text.find("...")) << text;
    CFArrayRemoveValueAtIndex(outer, 1);
    CFHolder<CFStringRef> typeName(CFCopyTypeIDDescription(CFGetTypeID(outer)));
    EXPECT_EQ("CFArray", Text(typeName));
}
