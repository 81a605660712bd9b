// CFDictionary and CFMutableDictionary: a hash table over the key callbacks' hash and equality.

#include "CFInternal.h"

#include <algorithm>
#include <cstdio>
#include <unordered_map>
#include <vector>

namespace
{
const void* CopyStringKey(CFAllocatorRef allocator, const void* value)
{
    // Strings are stored as immutable copies; other keys are retained.
    if (CFGetTypeID(value) == CFStringGetTypeID())
    {
        return CFStringCreateCopy(allocator, static_cast<CFStringRef>(value));
    }
    return CFRetain(value);
}
} // namespace

const CFDictionaryKeyCallBacks kCFTypeDictionaryKeyCallBacks = {
    0, cfimpl::RetainType, cfimpl::ReleaseType, CFCopyDescription, cfimpl::EqualType, CFHash};
const CFDictionaryKeyCallBacks kCFCopyStringDictionaryKeyCallBacks = {
    0, CopyStringKey, cfimpl::ReleaseType, CFCopyDescription, cfimpl::EqualType, CFHash};
const CFDictionaryValueCallBacks kCFTypeDictionaryValueCallBacks = {
    0, cfimpl::RetainType, cfimpl::ReleaseType, CFCopyDescription, cfimpl::EqualType};

struct __CFDictionary final : cfimpl::CFObject
{
    static constexpr CFTypeID kTypeID = cfimpl::kDictionaryTypeID;

    struct KeyHash
    {
        const CFDictionaryKeyCallBacks* callBacks;
        std::size_t operator()(const void* key) const
        {
            return callBacks->hash != nullptr ? static_cast<std::size_t>(callBacks->hash(key))
                                              : std::hash<const void*>()(key);
        }
    };
    struct KeyEqual
    {
        const CFDictionaryKeyCallBacks* callBacks;
        bool operator()(const void* a, const void* b) const
        {
            return a == b || (callBacks->equal != nullptr && callBacks->equal(a, b));
        }
    };
    using Map = std::unordered_map<const void*, const void*, KeyHash, KeyEqual>;

    __CFDictionary(const CFDictionaryKeyCallBacks* keyCallBacks,
                   const CFDictionaryValueCallBacks* valueCallBacks, bool isMutable, CFIndex capacity)
        : CFObject(kTypeID, false),
          mKeyCallBacks(keyCallBacks != nullptr ? *keyCallBacks : CFDictionaryKeyCallBacks{}),
          mValueCallBacks(valueCallBacks != nullptr ? *valueCallBacks : CFDictionaryValueCallBacks{}),
          mMutable(isMutable), mCapacity(capacity), mMap(0, KeyHash{&mKeyCallBacks}, KeyEqual{&mKeyCallBacks})
    {
    }

    ~__CFDictionary() override { Clear(); }

    void Clear()
    {
        Map old(0, KeyHash{&mKeyCallBacks}, KeyEqual{&mKeyCallBacks});
        old.swap(mMap);
        for (const auto& [key, value] : old)
        {
            ReleaseKey(key);
            ReleaseValue(value);
        }
    }

    const void* RetainKey(const void* key) const
    {
        return mKeyCallBacks.retain != nullptr ? mKeyCallBacks.retain(kCFAllocatorDefault, key) : key;
    }
    void ReleaseKey(const void* key) const
    {
        if (mKeyCallBacks.release != nullptr)
        {
            mKeyCallBacks.release(kCFAllocatorDefault, key);
        }
    }
    const void* RetainValue(const void* value) const
    {
        return mValueCallBacks.retain != nullptr ? mValueCallBacks.retain(kCFAllocatorDefault, value) : value;
    }
    void ReleaseValue(const void* value) const
    {
        if (mValueCallBacks.release != nullptr)
        {
            mValueCallBacks.release(kCFAllocatorDefault, value);
        }
    }
    bool ValuesEqual(const void* a, const void* b) const
    {
        return a == b || (mValueCallBacks.equal != nullptr && mValueCallBacks.equal(a, b));
    }
    bool IsFull() const { return mCapacity > 0 && static_cast<CFIndex>(mMap.size()) >= mCapacity; }

    // Sets or adds the value; the key is retained only when it is new.
    void Store(const void* key, const void* value)
    {
        const void* retainedValue = RetainValue(value);
        const auto found = mMap.find(key);
        if (found != mMap.end())
        {
            const void* old = found->second;
            found->second = retainedValue;
            ReleaseValue(old);
            return;
        }
        mMap.emplace(RetainKey(key), retainedValue);
    }

    bool Equal(const CFObject& other) const override
    {
        const auto& dictionary = static_cast<const __CFDictionary&>(other);
        if (mMap.size() != dictionary.mMap.size())
        {
            return false;
        }
        for (const auto& [key, value] : mMap)
        {
            const auto found = dictionary.mMap.find(key);
            if (found == dictionary.mMap.end() || !ValuesEqual(value, found->second))
            {
                return false;
            }
        }
        return true;
    }

    CFHashCode Hash() const override { return static_cast<CFHashCode>(mMap.size()); }

    void Describe(std::string& out, int depth) const override
    {
        // Keys in a stable order: by their descriptions.
        std::vector<std::pair<std::string, const void*>> entries;
        const bool typeKeys = mKeyCallBacks.equal == kCFTypeDictionaryKeyCallBacks.equal;
        const bool typeValues = mValueCallBacks.retain == kCFTypeDictionaryValueCallBacks.retain;
        for (const auto& [key, value] : mMap)
        {
            std::string keyText;
            DescribeEntry(keyText, key, typeKeys, depth);
            entries.emplace_back(std::move(keyText), value);
        }
        std::sort(entries.begin(), entries.end(),
                  [](const auto& a, const auto& b) { return a.first < b.first; });
        out += "{";
        for (const auto& [keyText, value] : entries)
        {
            out += keyText;
            out += " = ";
            DescribeEntry(out, value, typeValues, depth);
            out += "; ";
        }
        out += "}";
    }

    static void DescribeEntry(std::string& out, const void* value, bool isObject, int depth)
    {
        if (isObject)
        {
            cfimpl::DescribeValue(out, value, depth + 1);
            return;
        }
        char pointer[32];
        std::snprintf(pointer, sizeof(pointer), "%p", value);
        out += pointer;
    }

    const CFDictionaryKeyCallBacks mKeyCallBacks;
    const CFDictionaryValueCallBacks mValueCallBacks;
    const bool mMutable;
    const CFIndex mCapacity;
    Map mMap;
};

namespace
{
const __CFDictionary* AsDictionary(CFDictionaryRef dictionary)
{
    return cfimpl::As<__CFDictionary>(dictionary);
}

__CFDictionary* AsMutableDictionary(CFMutableDictionaryRef dictionary)
{
    __CFDictionary* object = cfimpl::AsMutable<__CFDictionary>(dictionary);
    return (object != nullptr && object->mMutable) ? object : nullptr;
}

__CFDictionary* CopyDictionary(const __CFDictionary* source, bool isMutable, CFIndex capacity)
{
    const CFDictionaryKeyCallBacks keyCallBacks = source->mKeyCallBacks;
    const CFDictionaryValueCallBacks valueCallBacks = source->mValueCallBacks;
    __CFDictionary* dictionary = new __CFDictionary(&keyCallBacks, &valueCallBacks, isMutable, capacity);
    dictionary->mMap.reserve(source->mMap.size());
    for (const auto& [key, value] : source->mMap)
    {
        dictionary->mMap.emplace(dictionary->RetainKey(key), dictionary->RetainValue(value));
    }
    return dictionary;
}
} // namespace

CFTypeID CFDictionaryGetTypeID(void)
{
    return cfimpl::kDictionaryTypeID;
}

CFDictionaryRef CFDictionaryCreate(CFAllocatorRef /*allocator*/, const void** keys, const void** values,
                                   CFIndex numValues, const CFDictionaryKeyCallBacks* keyCallBacks,
                                   const CFDictionaryValueCallBacks* valueCallBacks)
{
    if (numValues < 0 || ((keys == nullptr || values == nullptr) && numValues > 0))
    {
        return nullptr;
    }
    __CFDictionary* dictionary = new __CFDictionary(keyCallBacks, valueCallBacks, false, 0);
    dictionary->mMap.reserve(static_cast<std::size_t>(numValues));
    for (CFIndex i = 0; i < numValues; ++i)
    {
        dictionary->Store(keys[i], values[i]);
    }
    return dictionary;
}

CFDictionaryRef CFDictionaryCreateCopy(CFAllocatorRef /*allocator*/, CFDictionaryRef theDict)
{
    const __CFDictionary* source = AsDictionary(theDict);
    if (source == nullptr)
    {
        return nullptr;
    }
    if (!source->mMutable)
    {
        return static_cast<CFDictionaryRef>(CFRetain(source));
    }
    return CopyDictionary(source, false, 0);
}

CFMutableDictionaryRef CFDictionaryCreateMutable(CFAllocatorRef /*allocator*/, CFIndex capacity,
                                                 const CFDictionaryKeyCallBacks* keyCallBacks,
                                                 const CFDictionaryValueCallBacks* valueCallBacks)
{
    return new __CFDictionary(keyCallBacks, valueCallBacks, true, std::max<CFIndex>(capacity, 0));
}

CFMutableDictionaryRef CFDictionaryCreateMutableCopy(CFAllocatorRef /*allocator*/, CFIndex capacity,
                                                     CFDictionaryRef theDict)
{
    const __CFDictionary* source = AsDictionary(theDict);
    if (source == nullptr || (capacity > 0 && capacity < static_cast<CFIndex>(source->mMap.size())))
    {
        return nullptr;
    }
    return CopyDictionary(source, true, std::max<CFIndex>(capacity, 0));
}

CFIndex CFDictionaryGetCount(CFDictionaryRef theDict)
{
    const __CFDictionary* dictionary = AsDictionary(theDict);
    return dictionary == nullptr ? 0 : static_cast<CFIndex>(dictionary->mMap.size());
}

Boolean CFDictionaryGetValueIfPresent(CFDictionaryRef theDict, const void* key, const void** value)
{
    const __CFDictionary* dictionary = AsDictionary(theDict);
    if (dictionary == nullptr)
    {
        return false;
    }
    const auto found = dictionary->mMap.find(key);
    if (found == dictionary->mMap.end())
    {
        return false;
    }
    if (value != nullptr)
    {
        *value = found->second;
    }
    return true;
}

const void* CFDictionaryGetValue(CFDictionaryRef theDict, const void* key)
{
    const void* value = nullptr;
    return CFDictionaryGetValueIfPresent(theDict, key, &value) ? value : nullptr;
}

Boolean CFDictionaryContainsKey(CFDictionaryRef theDict, const void* key)
{
    return CFDictionaryGetValueIfPresent(theDict, key, nullptr);
}

Boolean CFDictionaryContainsValue(CFDictionaryRef theDict, const void* value)
{
    const __CFDictionary* dictionary = AsDictionary(theDict);
    if (dictionary == nullptr)
    {
        return false;
    }
    return std::any_of(dictionary->mMap.begin(), dictionary->mMap.end(),
                       [&](const auto& entry) { return dictionary->ValuesEqual(entry.second, value); });
}

void CFDictionaryGetKeysAndValues(CFDictionaryRef theDict, const void** keys, const void** values)
{
    const __CFDictionary* dictionary = AsDictionary(theDict);
    if (dictionary == nullptr)
    {
        return;
    }
    std::size_t i = 0;
    for (const auto& [key, value] : dictionary->mMap)
    {
        if (keys != nullptr)
        {
            keys[i] = key;
        }
        if (values != nullptr)
        {
            values[i] = value;
        }
        ++i;
    }
}

void CFDictionaryApplyFunction(CFDictionaryRef theDict, CFDictionaryApplierFunction applier, void* context)
{
    const __CFDictionary* dictionary = AsDictionary(theDict);
    if (dictionary == nullptr || applier == nullptr)
    {
        return;
    }
    // Over a snapshot, so that the applier cannot invalidate the iteration.
    const std::vector<std::pair<const void*, const void*>> entries(dictionary->mMap.begin(),
                                                                   dictionary->mMap.end());
    for (const auto& [key, value] : entries)
    {
        applier(key, value, context);
    }
}

void CFDictionaryAddValue(CFMutableDictionaryRef theDict, const void* key, const void* value)
{
    __CFDictionary* dictionary = AsMutableDictionary(theDict);
    if (dictionary == nullptr || dictionary->IsFull() || dictionary->mMap.find(key) != dictionary->mMap.end())
    {
        return;
    }
    dictionary->Store(key, value);
}

void CFDictionarySetValue(CFMutableDictionaryRef theDict, const void* key, const void* value)
{
    __CFDictionary* dictionary = AsMutableDictionary(theDict);
    if (dictionary == nullptr ||
        (dictionary->IsFull() && dictionary->mMap.find(key) == dictionary->mMap.end()))
    {
        return;
    }
    dictionary->Store(key, value);
}

void CFDictionaryReplaceValue(CFMutableDictionaryRef theDict, const void* key, const void* value)
{
    __CFDictionary* dictionary = AsMutableDictionary(theDict);
    if (dictionary == nullptr || dictionary->mMap.find(key) == dictionary->mMap.end())
    {
        return;
    }
    dictionary->Store(key, value);
}

void CFDictionaryRemoveValue(CFMutableDictionaryRef theDict, const void* key)
{
    __CFDictionary* dictionary = AsMutableDictionary(theDict);
    if (dictionary == nullptr)
    {
        return;
    }
    const auto found = dictionary->mMap.find(key);
    if (found == dictionary->mMap.end())
    {
        return;
    }
    const void* oldKey = found->first;
    const void* oldValue = found->second;
    dictionary->mMap.erase(found);
    dictionary->ReleaseKey(oldKey);
    dictionary->ReleaseValue(oldValue);
}

void CFDictionaryRemoveAllValues(CFMutableDictionaryRef theDict)
{
    __CFDictionary* dictionary = AsMutableDictionary(theDict);
    if (dictionary != nullptr)
    {
        dictionary->Clear();
    }
}
