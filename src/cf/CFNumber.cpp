// CFNumber and CFBoolean.

#include "CFInternal.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

// ---------------------------------------------------------------------------------------------
// CFBoolean

struct __CFBoolean final : cfimpl::CFObject
{
    static constexpr CFTypeID kTypeID = cfimpl::kBooleanTypeID;

    explicit __CFBoolean(bool value) : CFObject(kTypeID, true), mValue(value) {}

    bool Equal(const CFObject& other) const override
    {
        return mValue == static_cast<const __CFBoolean&>(other).mValue;
    }
    CFHashCode Hash() const override { return mValue ? 1 : 0; }
    void Describe(std::string& out, int /*depth*/) const override { out += mValue ? "true" : "false"; }

    const bool mValue;
};

namespace
{
// Constant objects, never freed.
const __CFBoolean* TrueObject()
{
    static const __CFBoolean* sTrue = new __CFBoolean(true);
    return sTrue;
}
const __CFBoolean* FalseObject()
{
    static const __CFBoolean* sFalse = new __CFBoolean(false);
    return sFalse;
}
} // namespace

const CFBooleanRef kCFBooleanTrue = TrueObject();
const CFBooleanRef kCFBooleanFalse = FalseObject();

CFTypeID CFBooleanGetTypeID(void)
{
    return cfimpl::kBooleanTypeID;
}

Boolean CFBooleanGetValue(CFBooleanRef boolean)
{
    const __CFBoolean* object = cfimpl::As<__CFBoolean>(boolean);
    return object != nullptr && object->mValue;
}

// ---------------------------------------------------------------------------------------------
// CFNumber

namespace
{
enum class Kind
{
    kInvalid,
    kSInt8,
    kSInt16,
    kSInt32,
    kSInt64,
    kFloat32,
    kFloat64
};

// The storage kind of each number type on this platform.
Kind KindOf(CFNumberType type)
{
    switch (type)
    {
    case kCFNumberSInt8Type:
    case kCFNumberCharType:
        return Kind::kSInt8;
    case kCFNumberSInt16Type:
    case kCFNumberShortType:
        return Kind::kSInt16;
    case kCFNumberSInt32Type:
    case kCFNumberIntType:
        return Kind::kSInt32;
    case kCFNumberLongType:
        return sizeof(long) == 8 ? Kind::kSInt64 : Kind::kSInt32;
    case kCFNumberSInt64Type:
    case kCFNumberLongLongType:
        return Kind::kSInt64;
    case kCFNumberCFIndexType:
    case kCFNumberNSIntegerType:
        return sizeof(CFIndex) == 8 ? Kind::kSInt64 : Kind::kSInt32;
    case kCFNumberFloat32Type:
    case kCFNumberFloatType:
        return Kind::kFloat32;
    case kCFNumberFloat64Type:
    case kCFNumberDoubleType:
    case kCFNumberCGFloatType:
        return Kind::kFloat64;
    default:
        return Kind::kInvalid;
    }
}

CFIndex ByteSize(Kind kind)
{
    switch (kind)
    {
    case Kind::kSInt8:
        return 1;
    case Kind::kSInt16:
        return 2;
    case Kind::kSInt32:
    case Kind::kFloat32:
        return 4;
    default:
        return 8;
    }
}

template <class T>
T ReadValue(const void* valuePtr)
{
    T value;
    std::memcpy(&value, valuePtr, sizeof(T));
    return value;
}

template <class T>
void WriteValue(void* valuePtr, T value)
{
    std::memcpy(valuePtr, &value, sizeof(T));
}

// An integer of a narrower type; false (with the value truncated as a cast would) when it does
// not fit.
template <class T>
bool NarrowInteger(SInt64 value, void* valuePtr)
{
    const T narrowed = static_cast<T>(static_cast<std::make_unsigned_t<T>>(value));
    WriteValue(valuePtr, narrowed);
    return static_cast<SInt64>(narrowed) == value;
}

// A double converted to an integer type; false when it has a fractional part, is out of range
// or not a number. Out-of-range values are saturated.
template <class T>
bool DoubleToInteger(double value, void* valuePtr)
{
    if (std::isnan(value))
    {
        WriteValue<T>(valuePtr, 0);
        return false;
    }
    // The bounds as doubles: -2^(n-1) is exact, 2^(n-1) is one past the largest value.
    const double lower = static_cast<double>(std::numeric_limits<T>::min());
    const double upper = -lower;
    if (value < lower)
    {
        WriteValue(valuePtr, std::numeric_limits<T>::min());
        return false;
    }
    if (value >= upper)
    {
        WriteValue(valuePtr, std::numeric_limits<T>::max());
        return false;
    }
    const T converted = static_cast<T>(value);
    WriteValue(valuePtr, converted);
    return static_cast<double>(converted) == value;
}
} // namespace

struct __CFNumber final : cfimpl::CFObject
{
    static constexpr CFTypeID kTypeID = cfimpl::kNumberTypeID;

    __CFNumber(CFNumberType type, Kind kind) : CFObject(kTypeID, false), mType(type), mKind(kind) {}

    bool IsFloat() const { return mKind == Kind::kFloat32 || mKind == Kind::kFloat64; }

    bool Equal(const CFObject& other) const override
    {
        return CFNumberCompare(this, static_cast<const __CFNumber*>(&other), nullptr) == kCFCompareEqualTo;
    }

    CFHashCode Hash() const override
    {
        // Equal values hash alike, whatever their type.
        if (IsFloat())
        {
            if (mFloat == std::trunc(mFloat) && std::fabs(mFloat) < 9.2e18)
            {
                return static_cast<CFHashCode>(static_cast<SInt64>(mFloat));
            }
            return cfimpl::HashBytes(&mFloat, sizeof(mFloat));
        }
        return static_cast<CFHashCode>(mInteger);
    }

    void Describe(std::string& out, int /*depth*/) const override
    {
        char text[64];
        if (IsFloat())
        {
            std::snprintf(text, sizeof(text), "%.17g", mFloat);
        }
        else
        {
            std::snprintf(text, sizeof(text), "%lld", static_cast<long long>(mInteger));
        }
        out += text;
    }

    const CFNumberType mType;
    const Kind mKind;
    SInt64 mInteger = 0;
    double mFloat = 0.0;
};

CFTypeID CFNumberGetTypeID(void)
{
    return cfimpl::kNumberTypeID;
}

CFNumberRef CFNumberCreate(CFAllocatorRef /*allocator*/, CFNumberType theType, const void* valuePtr)
{
    const Kind kind = KindOf(theType);
    if (kind == Kind::kInvalid || valuePtr == nullptr)
    {
        return nullptr;
    }
    __CFNumber* number = new __CFNumber(theType, kind);
    switch (kind)
    {
    case Kind::kSInt8:
        number->mInteger = ReadValue<SInt8>(valuePtr);
        break;
    case Kind::kSInt16:
        number->mInteger = ReadValue<SInt16>(valuePtr);
        break;
    case Kind::kSInt32:
        number->mInteger = ReadValue<SInt32>(valuePtr);
        break;
    case Kind::kSInt64:
        number->mInteger = ReadValue<SInt64>(valuePtr);
        break;
    case Kind::kFloat32:
        number->mFloat = ReadValue<Float32>(valuePtr);
        break;
    default:
        number->mFloat = ReadValue<Float64>(valuePtr);
        break;
    }
    return number;
}

CFNumberType CFNumberGetType(CFNumberRef number)
{
    const __CFNumber* object = cfimpl::As<__CFNumber>(number);
    return object == nullptr ? 0 : object->mType;
}

CFIndex CFNumberGetByteSize(CFNumberRef number)
{
    const __CFNumber* object = cfimpl::As<__CFNumber>(number);
    return object == nullptr ? 0 : ByteSize(object->mKind);
}

Boolean CFNumberIsFloatType(CFNumberRef number)
{
    const __CFNumber* object = cfimpl::As<__CFNumber>(number);
    return object != nullptr && object->IsFloat();
}

Boolean CFNumberGetValue(CFNumberRef number, CFNumberType theType, void* valuePtr)
{
    const __CFNumber* object = cfimpl::As<__CFNumber>(number);
    const Kind kind = KindOf(theType);
    if (object == nullptr || kind == Kind::kInvalid || valuePtr == nullptr)
    {
        return false;
    }
    if (object->IsFloat())
    {
        const double value = object->mFloat;
        switch (kind)
        {
        case Kind::kSInt8:
            return DoubleToInteger<SInt8>(value, valuePtr);
        case Kind::kSInt16:
            return DoubleToInteger<SInt16>(value, valuePtr);
        case Kind::kSInt32:
            return DoubleToInteger<SInt32>(value, valuePtr);
        case Kind::kSInt64:
            return DoubleToInteger<SInt64>(value, valuePtr);
        case Kind::kFloat32:
        {
            const Float32 narrowed = static_cast<Float32>(value);
            WriteValue(valuePtr, narrowed);
            return static_cast<double>(narrowed) == value || std::isnan(value);
        }
        default:
            WriteValue(valuePtr, value);
            return true;
        }
    }
    const SInt64 value = object->mInteger;
    switch (kind)
    {
    case Kind::kSInt8:
        return NarrowInteger<SInt8>(value, valuePtr);
    case Kind::kSInt16:
        return NarrowInteger<SInt16>(value, valuePtr);
    case Kind::kSInt32:
        return NarrowInteger<SInt32>(value, valuePtr);
    case Kind::kSInt64:
        WriteValue(valuePtr, value);
        return true;
    case Kind::kFloat32:
    {
        const Float32 converted = static_cast<Float32>(value);
        WriteValue(valuePtr, converted);
        return static_cast<double>(converted) == static_cast<double>(value) &&
               static_cast<double>(value) < 9223372036854775808.0 && static_cast<SInt64>(converted) == value;
    }
    default:
    {
        const double converted = static_cast<double>(value);
        WriteValue(valuePtr, converted);
        return converted < 9223372036854775808.0 && static_cast<SInt64>(converted) == value;
    }
    }
}

CFComparisonResult CFNumberCompare(CFNumberRef number, CFNumberRef otherNumber, void* /*context*/)
{
    const __CFNumber* a = cfimpl::As<__CFNumber>(number);
    const __CFNumber* b = cfimpl::As<__CFNumber>(otherNumber);
    if (a == nullptr || b == nullptr)
    {
        return a == b ? kCFCompareEqualTo : (a == nullptr ? kCFCompareLessThan : kCFCompareGreaterThan);
    }
    if (!a->IsFloat() && !b->IsFloat())
    {
        return a->mInteger < b->mInteger
                   ? kCFCompareLessThan
                   : (a->mInteger > b->mInteger ? kCFCompareGreaterThan : kCFCompareEqualTo);
    }
    // Mixed or floating-point: NaN sorts below everything and equal to itself.
    const double x = a->IsFloat() ? a->mFloat : static_cast<double>(a->mInteger);
    const double y = b->IsFloat() ? b->mFloat : static_cast<double>(b->mInteger);
    if (std::isnan(x) || std::isnan(y))
    {
        return std::isnan(x) && std::isnan(y) ? kCFCompareEqualTo
                                              : (std::isnan(x) ? kCFCompareLessThan : kCFCompareGreaterThan);
    }
    if (x != y)
    {
        return x < y ? kCFCompareLessThan : kCFCompareGreaterThan;
    }
    // Equal as doubles: an integer beyond 2^53 may still differ from the double.
    const __CFNumber* integer = a->IsFloat() ? (b->IsFloat() ? nullptr : b) : a;
    const double floating = a->IsFloat() ? x : y;
    if (integer == nullptr || std::fabs(floating) >= 9223372036854775808.0)
    {
        return kCFCompareEqualTo;
    }
    const SInt64 truncated = static_cast<SInt64>(floating);
    if (truncated == integer->mInteger)
    {
        return kCFCompareEqualTo;
    }
    const bool integerIsLess = integer->mInteger < truncated;
    return (integer == a) == integerIsLess ? kCFCompareLessThan : kCFCompareGreaterThan;
}
