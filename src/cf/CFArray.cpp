// CFArray and CFMutableArray.

#include "CFInternal.h"

#include <algorithm>
#include <cstdio>
#include <vector>

const CFArrayCallBacks kCFTypeArrayCallBacks = {0, cfimpl::RetainType, cfimpl::ReleaseType, CFCopyDescription,
                                                cfimpl::EqualType};

struct __CFArray final : cfimpl::CFObject
{
    static constexpr CFTypeID kTypeID = cfimpl::kArrayTypeID;

    __CFArray(const CFArrayCallBacks* callBacks, bool isMutable, CFIndex capacity)
        : CFObject(kTypeID, false), mCallBacks(callBacks != nullptr ? *callBacks : CFArrayCallBacks{}),
          mMutable(isMutable), mCapacity(capacity)
    {
    }

    ~__CFArray() override
    {
        for (const void* value : mValues)
        {
            Release(value);
        }
    }

    const void* Retain(const void* value) const
    {
        return mCallBacks.retain != nullptr ? mCallBacks.retain(kCFAllocatorDefault, value) : value;
    }
    void Release(const void* value) const
    {
        if (mCallBacks.release != nullptr)
        {
            mCallBacks.release(kCFAllocatorDefault, value);
        }
    }
    bool ValuesEqual(const void* a, const void* b) const
    {
        return a == b || (mCallBacks.equal != nullptr && mCallBacks.equal(a, b));
    }
    bool IsFull() const { return mCapacity > 0 && static_cast<CFIndex>(mValues.size()) >= mCapacity; }

    bool Equal(const CFObject& other) const override
    {
        const auto& array = static_cast<const __CFArray&>(other);
        if (mValues.size() != array.mValues.size())
        {
            return false;
        }
        for (std::size_t i = 0; i < mValues.size(); ++i)
        {
            if (!ValuesEqual(mValues[i], array.mValues[i]))
            {
                return false;
            }
        }
        return true;
    }

    CFHashCode Hash() const override { return static_cast<CFHashCode>(mValues.size()); }

    void Describe(std::string& out, int depth) const override
    {
        out += "(";
        for (std::size_t i = 0; i < mValues.size(); ++i)
        {
            out += (i == 0) ? "" : ", ";
            if (mCallBacks.retain == kCFTypeArrayCallBacks.retain)
            {
                cfimpl::DescribeValue(out, mValues[i], depth + 1);
            }
            else
            {
                char pointer[32];
                std::snprintf(pointer, sizeof(pointer), "%p", mValues[i]);
                out += pointer;
            }
        }
        out += ")";
    }

    const CFArrayCallBacks mCallBacks;
    const bool mMutable;
    const CFIndex mCapacity;
    std::vector<const void*> mValues;
};

namespace
{
const __CFArray* AsArray(CFArrayRef array)
{
    return cfimpl::As<__CFArray>(array);
}

__CFArray* AsMutableArray(CFMutableArrayRef array)
{
    __CFArray* object = cfimpl::AsMutable<__CFArray>(array);
    return (object != nullptr && object->mMutable) ? object : nullptr;
}

// The range clipped to the array, as [begin, end).
std::pair<std::size_t, std::size_t> Clip(const __CFArray* array, CFRange range)
{
    const CFIndex count = static_cast<CFIndex>(array->mValues.size());
    const CFIndex begin = std::clamp<CFIndex>(range.location, 0, count);
    const CFIndex end = range.length < 0 ? begin : begin + std::min(range.length, count - begin);
    return {static_cast<std::size_t>(begin), static_cast<std::size_t>(end)};
}

bool IsIndex(const __CFArray* array, CFIndex idx)
{
    return idx >= 0 && static_cast<std::size_t>(idx) < array->mValues.size();
}

__CFArray* CopyArray(const __CFArray* source, bool isMutable, CFIndex capacity)
{
    const CFArrayCallBacks callBacks = source->mCallBacks;
    __CFArray* array = new __CFArray(&callBacks, isMutable, capacity);
    array->mValues.reserve(source->mValues.size());
    for (const void* value : source->mValues)
    {
        array->mValues.push_back(array->Retain(value));
    }
    return array;
}
} // namespace

CFTypeID CFArrayGetTypeID(void)
{
    return cfimpl::kArrayTypeID;
}

CFArrayRef CFArrayCreate(CFAllocatorRef /*allocator*/, const void** values, CFIndex numValues,
                         const CFArrayCallBacks* callBacks)
{
    if (numValues < 0 || (values == nullptr && numValues > 0))
    {
        return nullptr;
    }
    __CFArray* array = new __CFArray(callBacks, false, 0);
    array->mValues.reserve(static_cast<std::size_t>(numValues));
    for (CFIndex i = 0; i < numValues; ++i)
    {
        array->mValues.push_back(array->Retain(values[i]));
    }
    return array;
}

CFArrayRef CFArrayCreateCopy(CFAllocatorRef /*allocator*/, CFArrayRef theArray)
{
    const __CFArray* source = AsArray(theArray);
    if (source == nullptr)
    {
        return nullptr;
    }
    if (!source->mMutable)
    {
        return static_cast<CFArrayRef>(CFRetain(source));
    }
    return CopyArray(source, false, 0);
}

CFMutableArrayRef CFArrayCreateMutable(CFAllocatorRef /*allocator*/, CFIndex capacity,
                                       const CFArrayCallBacks* callBacks)
{
    return new __CFArray(callBacks, true, std::max<CFIndex>(capacity, 0));
}

CFMutableArrayRef CFArrayCreateMutableCopy(CFAllocatorRef /*allocator*/, CFIndex capacity,
                                           CFArrayRef theArray)
{
    const __CFArray* source = AsArray(theArray);
    if (source == nullptr)
    {
        return nullptr;
    }
    if (capacity > 0 && capacity < static_cast<CFIndex>(source->mValues.size()))
    {
        return nullptr;
    }
    return CopyArray(source, true, std::max<CFIndex>(capacity, 0));
}

CFIndex CFArrayGetCount(CFArrayRef theArray)
{
    const __CFArray* array = AsArray(theArray);
    return array == nullptr ? 0 : static_cast<CFIndex>(array->mValues.size());
}

const void* CFArrayGetValueAtIndex(CFArrayRef theArray, CFIndex idx)
{
    const __CFArray* array = AsArray(theArray);
    return (array != nullptr && IsIndex(array, idx)) ? array->mValues[static_cast<std::size_t>(idx)]
                                                     : nullptr;
}

void CFArrayGetValues(CFArrayRef theArray, CFRange range, const void** values)
{
    const __CFArray* array = AsArray(theArray);
    if (array == nullptr || values == nullptr)
    {
        return;
    }
    const auto [begin, end] = Clip(array, range);
    std::copy(array->mValues.begin() + static_cast<std::ptrdiff_t>(begin),
              array->mValues.begin() + static_cast<std::ptrdiff_t>(end), values);
}

CFIndex CFArrayGetFirstIndexOfValue(CFArrayRef theArray, CFRange range, const void* value)
{
    const __CFArray* array = AsArray(theArray);
    if (array == nullptr)
    {
        return kCFNotFound;
    }
    const auto [begin, end] = Clip(array, range);
    for (std::size_t i = begin; i < end; ++i)
    {
        if (array->ValuesEqual(array->mValues[i], value))
        {
            return static_cast<CFIndex>(i);
        }
    }
    return kCFNotFound;
}

CFIndex CFArrayGetLastIndexOfValue(CFArrayRef theArray, CFRange range, const void* value)
{
    const __CFArray* array = AsArray(theArray);
    if (array == nullptr)
    {
        return kCFNotFound;
    }
    const auto [begin, end] = Clip(array, range);
    for (std::size_t i = end; i-- > begin;)
    {
        if (array->ValuesEqual(array->mValues[i], value))
        {
            return static_cast<CFIndex>(i);
        }
    }
    return kCFNotFound;
}

Boolean CFArrayContainsValue(CFArrayRef theArray, CFRange range, const void* value)
{
    return CFArrayGetFirstIndexOfValue(theArray, range, value) != kCFNotFound;
}

CFIndex CFArrayGetCountOfValue(CFArrayRef theArray, CFRange range, const void* value)
{
    const __CFArray* array = AsArray(theArray);
    if (array == nullptr)
    {
        return 0;
    }
    const auto [begin, end] = Clip(array, range);
    CFIndex count = 0;
    for (std::size_t i = begin; i < end; ++i)
    {
        count += array->ValuesEqual(array->mValues[i], value) ? 1 : 0;
    }
    return count;
}

void CFArrayApplyFunction(CFArrayRef theArray, CFRange range, CFArrayApplierFunction applier, void* context)
{
    const __CFArray* array = AsArray(theArray);
    if (array == nullptr || applier == nullptr)
    {
        return;
    }
    const auto [begin, end] = Clip(array, range);
    for (std::size_t i = begin; i < end && i < array->mValues.size(); ++i)
    {
        applier(array->mValues[i], context);
    }
}

void CFArrayAppendValue(CFMutableArrayRef theArray, const void* value)
{
    __CFArray* array = AsMutableArray(theArray);
    if (array == nullptr || array->IsFull())
    {
        return;
    }
    array->mValues.push_back(array->Retain(value));
}

void CFArrayAppendArray(CFMutableArrayRef theArray, CFArrayRef otherArray, CFRange otherRange)
{
    __CFArray* array = AsMutableArray(theArray);
    const __CFArray* other = AsArray(otherArray);
    if (array == nullptr || other == nullptr)
    {
        return;
    }
    const auto [begin, end] = Clip(other, otherRange);
    // Copy first: the array may be appended to itself.
    const std::vector<const void*> values(other->mValues.begin() + static_cast<std::ptrdiff_t>(begin),
                                          other->mValues.begin() + static_cast<std::ptrdiff_t>(end));
    for (const void* value : values)
    {
        CFArrayAppendValue(theArray, value);
    }
}

void CFArrayInsertValueAtIndex(CFMutableArrayRef theArray, CFIndex idx, const void* value)
{
    __CFArray* array = AsMutableArray(theArray);
    if (array == nullptr || idx < 0 || static_cast<std::size_t>(idx) > array->mValues.size() ||
        array->IsFull())
    {
        return;
    }
    array->mValues.insert(array->mValues.begin() + idx, array->Retain(value));
}

void CFArraySetValueAtIndex(CFMutableArrayRef theArray, CFIndex idx, const void* value)
{
    __CFArray* array = AsMutableArray(theArray);
    if (array == nullptr || idx < 0 || static_cast<std::size_t>(idx) > array->mValues.size())
    {
        return;
    }
    if (static_cast<std::size_t>(idx) == array->mValues.size())
    {
        // Setting the value one past the end appends it.
        CFArrayAppendValue(theArray, value);
        return;
    }
    const void* retained = array->Retain(value);
    const void* old = array->mValues[static_cast<std::size_t>(idx)];
    array->mValues[static_cast<std::size_t>(idx)] = retained;
    array->Release(old);
}

void CFArrayRemoveValueAtIndex(CFMutableArrayRef theArray, CFIndex idx)
{
    __CFArray* array = AsMutableArray(theArray);
    if (array == nullptr || !IsIndex(array, idx))
    {
        return;
    }
    const void* old = array->mValues[static_cast<std::size_t>(idx)];
    array->mValues.erase(array->mValues.begin() + idx);
    array->Release(old);
}

void CFArrayRemoveAllValues(CFMutableArrayRef theArray)
{
    __CFArray* array = AsMutableArray(theArray);
    if (array == nullptr)
    {
        return;
    }
    std::vector<const void*> old;
    old.swap(array->mValues);
    for (const void* value : old)
    {
        array->Release(value);
    }
}

void CFArrayExchangeValuesAtIndices(CFMutableArrayRef theArray, CFIndex idx1, CFIndex idx2)
{
    __CFArray* array = AsMutableArray(theArray);
    if (array == nullptr || !IsIndex(array, idx1) || !IsIndex(array, idx2))
    {
        return;
    }
    std::swap(array->mValues[static_cast<std::size_t>(idx1)], array->mValues[static_cast<std::size_t>(idx2)]);
}

void CFArraySortValues(CFMutableArrayRef theArray, CFRange range, CFComparatorFunction comparator,
                       void* context)
{
    __CFArray* array = AsMutableArray(theArray);
    if (array == nullptr || comparator == nullptr)
    {
        return;
    }
    const auto [begin, end] = Clip(array, range);
    std::stable_sort(array->mValues.begin() + static_cast<std::ptrdiff_t>(begin),
                     array->mValues.begin() + static_cast<std::ptrdiff_t>(end),
                     [comparator, context](const void* a, const void* b)
                     { return comparator(a, b, context) == kCFCompareLessThan; });
}
