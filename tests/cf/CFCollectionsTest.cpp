// CFArray and CFDictionary.

#include "CFTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace
{
CFComparisonResult CompareStrings(const void* a, const void* b, void* context)
{
    const CFStringCompareFlags options =
        context != nullptr ? *static_cast<CFStringCompareFlags*>(context) : 0;
    return CFStringCompare(static_cast<CFStringRef>(a), static_cast<CFStringRef>(b), options);
}

// Compares only the first character, to observe the order of equal elements.
CFComparisonResult CompareFirstCharacter(const void* a, const void* b, void* /*context*/)
{
    const UniChar x = CFStringGetCharacterAtIndex(static_cast<CFStringRef>(a), 0);
    const UniChar y = CFStringGetCharacterAtIndex(static_cast<CFStringRef>(b), 0);
    return x < y ? kCFCompareLessThan : (x > y ? kCFCompareGreaterThan : kCFCompareEqualTo);
}

std::vector<std::string> Texts(CFArrayRef array)
{
    std::vector<std::string> texts;
    for (CFIndex i = 0; i < CFArrayGetCount(array); ++i)
    {
        texts.push_back(Text(static_cast<CFStringRef>(CFArrayGetValueAtIndex(array, i))));
    }
    return texts;
}

void CountEntry(const void* /*key*/, const void* value, void* context)
{
    if (CFGetTypeID(value) == CFNumberGetTypeID())
    {
        ++*static_cast<int*>(context);
    }
}
} // namespace

TEST(CFArray, EditingAndLookup)
{
    CFHolder<CFMutableArrayRef> array(CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
    CFArrayAppendValue(array, CFSTR("b"));
    CFArrayInsertValueAtIndex(array, 0, CFSTR("a"));
    CFArrayAppendValue(array, CFSTR("d"));
    CFArrayInsertValueAtIndex(array, 2, CFSTR("c"));
    CFArrayInsertValueAtIndex(array, 9, CFSTR("ignored"));
    EXPECT_EQ((std::vector<std::string>{"a", "b", "c", "d"}), Texts(array));

    CFArrayExchangeValuesAtIndices(array, 0, 3);
    CFArraySetValueAtIndex(array, 1, CFSTR("B"));
    CFArrayRemoveValueAtIndex(array, 2);
    EXPECT_EQ((std::vector<std::string>{"d", "B", "a"}), Texts(array));
    EXPECT_EQ(nullptr, CFArrayGetValueAtIndex(array, 3));
    EXPECT_EQ(nullptr, CFArrayGetValueAtIndex(array, -1));

    // Lookup compares with CFEqual: a created string finds the constant one.
    CFHolder<CFStringRef> created(MakeString("a"));
    const CFRange all = CFRangeMake(0, CFArrayGetCount(array));
    EXPECT_TRUE(CFArrayContainsValue(array, all, created));
    EXPECT_EQ(2, CFArrayGetFirstIndexOfValue(array, all, created));
    EXPECT_EQ(kCFNotFound, CFArrayGetFirstIndexOfValue(array, CFRangeMake(0, 2), created));
    EXPECT_FALSE(CFArrayContainsValue(array, all, CFSTR("c")));

    CFHolder<CFMutableArrayRef> copy(CFArrayCreateMutableCopy(kCFAllocatorDefault, 0, array));
    CFArrayAppendArray(copy, copy, CFRangeMake(0, CFArrayGetCount(copy)));
    EXPECT_EQ(6, CFArrayGetCount(copy));
    EXPECT_EQ(2, CFArrayGetCountOfValue(copy, CFRangeMake(0, 6), CFSTR("d")));
    EXPECT_EQ(3, CFArrayGetCount(array));
    EXPECT_FALSE(CFEqual(copy, array));
    CFArrayRemoveAllValues(copy);
    EXPECT_EQ(0, CFArrayGetCount(copy));

    // Plain pointers with no callbacks.
    int values[] = {1, 2, 3};
    const void* pointers[] = {&values[0], &values[1], &values[2]};
    CFHolder<CFArrayRef> plain(CFArrayCreate(kCFAllocatorDefault, pointers, 3, nullptr));
    EXPECT_EQ(&values[1], CFArrayGetValueAtIndex(plain, 1));
    EXPECT_EQ(1, CFArrayGetFirstIndexOfValue(plain, CFRangeMake(0, 3), &values[1]));
}

TEST(CFArray, SortWithAComparator)
{
    std::vector<std::string> names = {"font10", "Font2", "font1", "alpha", "Zeta", "font20", "beta", "font3"};
    std::mt19937 generator(7);
    std::shuffle(names.begin(), names.end(), generator);
    CFHolder<CFMutableArrayRef> array(CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
    for (const std::string& name : names)
    {
        CFHolder<CFStringRef> string(MakeString(name.c_str()));
        CFArrayAppendValue(array, string);
    }
    CFStringCompareFlags options = kCFCompareCaseInsensitive | kCFCompareNumerically;
    CFArraySortValues(array, CFRangeMake(0, CFArrayGetCount(array)), CompareStrings, &options);
    EXPECT_EQ(
        (std::vector<std::string>{"alpha", "beta", "font1", "Font2", "font3", "font10", "font20", "Zeta"}),
        Texts(array));

    // Sorting a sub-range leaves the rest alone; equal elements keep their order.
    CFHolder<CFMutableArrayRef> words(CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
    for (const char* word : {"z", "b2", "a1", "b1", "a2", "a0"})
    {
        CFHolder<CFStringRef> string(MakeString(word));
        CFArrayAppendValue(words, string);
    }
    CFArraySortValues(words, CFRangeMake(1, 5), CompareFirstCharacter, nullptr);
    EXPECT_EQ((std::vector<std::string>{"z", "a1", "a2", "a0", "b2", "b1"}), Texts(words));
}

TEST(CFDictionary, StringKeys)
{
    CFHolder<CFMutableDictionaryRef> record(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    CFDictionarySetValue(record, CFSTR("PostScriptName"), CFSTR("Arial-BoldMT"));
    CFHolder<CFStringRef> createdKey(MakeString("Family"));
    CFDictionarySetValue(record, createdKey, CFSTR("Arial"));

    // Constant and created keys find each other.
    CFHolder<CFStringRef> lookup(MakeString("PostScriptName"));
    EXPECT_TRUE(CFEqual(CFSTR("Arial-BoldMT"), CFDictionaryGetValue(record, lookup)));
    EXPECT_TRUE(CFEqual(CFSTR("Arial"), CFDictionaryGetValue(record, CFSTR("Family"))));
    EXPECT_EQ(nullptr, CFDictionaryGetValue(record, CFSTR("family")));

    const void* value = nullptr;
    EXPECT_TRUE(CFDictionaryGetValueIfPresent(record, CFSTR("Family"), &value));
    EXPECT_FALSE(CFDictionaryGetValueIfPresent(record, CFSTR("Missing"), &value));

    // Add keeps an existing value, Replace does not add, Set does both.
    CFDictionaryAddValue(record, CFSTR("Family"), CFSTR("Other"));
    CFDictionaryReplaceValue(record, CFSTR("IsActive"), CFSTR("1"));
    EXPECT_TRUE(CFEqual(CFSTR("Arial"), CFDictionaryGetValue(record, CFSTR("Family"))));
    EXPECT_FALSE(CFDictionaryContainsKey(record, CFSTR("IsActive")));
    CFDictionaryAddValue(record, CFSTR("IsActive"), CFSTR("0"));
    CFDictionaryReplaceValue(record, CFSTR("IsActive"), CFSTR("1"));
    EXPECT_TRUE(CFEqual(CFSTR("1"), CFDictionaryGetValue(record, CFSTR("IsActive"))));
    EXPECT_TRUE(CFDictionaryContainsValue(record, CFSTR("Arial")));
    EXPECT_EQ(3, CFDictionaryGetCount(record));

    // Keys and values come out in the same order.
    std::vector<const void*> keys(3);
    std::vector<const void*> values(3);
    CFDictionaryGetKeysAndValues(record, keys.data(), values.data());
    for (std::size_t i = 0; i < keys.size(); ++i)
    {
        EXPECT_EQ(values[i], CFDictionaryGetValue(record, keys[i]));
    }

    CFHolder<CFDictionaryRef> snapshot(CFDictionaryCreateCopy(kCFAllocatorDefault, record));
    CFDictionaryRemoveValue(record, CFSTR("Family"));
    EXPECT_FALSE(CFDictionaryContainsKey(record, CFSTR("Family")));
    EXPECT_TRUE(CFDictionaryContainsKey(snapshot, CFSTR("Family")));
    EXPECT_FALSE(CFEqual(snapshot, record));
    CFHolder<CFMutableDictionaryRef> again(CFDictionaryCreateMutableCopy(kCFAllocatorDefault, 0, snapshot));
    EXPECT_TRUE(CFEqual(snapshot, again));
    // An immutable dictionary ignores the mutation functions.
    CFDictionaryRemoveAllValues(const_cast<CFMutableDictionaryRef>(snapshot.get()));
    EXPECT_EQ(3, CFDictionaryGetCount(snapshot));
}

TEST(CFDictionary, ManyKeysAndApply)
{
    CFHolder<CFMutableDictionaryRef> dictionary(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    for (int i = 0; i < 2000; ++i)
    {
        CFHolder<CFStringRef> key(CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("key-%d"), i));
        CFHolder<CFNumberRef> number(CFNumberCreate(kCFAllocatorDefault, kCFNumberIntType, &i));
        CFDictionarySetValue(dictionary, key, number);
    }
    ASSERT_EQ(2000, CFDictionaryGetCount(dictionary));
    for (int i = 0; i < 2000; i += 37)
    {
        CFHolder<CFStringRef> key(CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("key-%d"), i));
        int stored = -1;
        ASSERT_TRUE(CFNumberGetValue(static_cast<CFNumberRef>(CFDictionaryGetValue(dictionary, key)),
                                     kCFNumberIntType, &stored));
        EXPECT_EQ(i, stored);
    }
    int numbers = 0;
    CFDictionaryApplyFunction(dictionary, CountEntry, &numbers);
    EXPECT_EQ(2000, numbers);
    CFDictionaryRemoveAllValues(dictionary);
    EXPECT_EQ(0, CFDictionaryGetCount(dictionary));
}

TEST(CFDictionary, CopiedStringKeysDoNotFollowTheirOriginal)
{
    CFHolder<CFMutableDictionaryRef> dictionary(CFDictionaryCreateMutable(
        kCFAllocatorDefault, 0, &kCFCopyStringDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks));
    CFHolder<CFMutableStringRef> key(CFStringCreateMutableCopy(kCFAllocatorDefault, 0, CFSTR("Regular")));
    CFDictionarySetValue(dictionary, key, kCFBooleanTrue);
    CFStringAppend(key, CFSTR(" Italic"));
    EXPECT_EQ(kCFBooleanTrue, CFDictionaryGetValue(dictionary, CFSTR("Regular")));
    EXPECT_EQ(nullptr, CFDictionaryGetValue(dictionary, key));
    EXPECT_EQ(1, CFGetRetainCount(key));
}
