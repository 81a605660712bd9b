#pragma once
// Reading and building the dictionaries the core and its clients exchange. Readers check types:
// a missing key or a value of another type reads as the fallback.

#include <CoreFoundation/CoreFoundation.h>

#include <cstdint>
#include <string>
#include <vector>

namespace typehold
{
// Owns one reference to a Core Foundation object.
template <class T>
class GCFHolder
{
public:
    GCFHolder() = default;
    explicit GCFHolder(T object) : mObject(object) {}
    ~GCFHolder() { Reset(); }
    GCFHolder(const GCFHolder&) = delete;
    GCFHolder& operator=(const GCFHolder&) = delete;
    GCFHolder(GCFHolder&& other) noexcept : mObject(other.Release()) {}
    GCFHolder& operator=(GCFHolder&& other) noexcept
    {
        if (this != &other)
        {
            Reset(other.Release());
        }
        return *this;
    }

    T Get() const { return mObject; }
    explicit operator bool() const { return mObject != nullptr; }
    T Release()
    {
        T object = mObject;
        mObject = nullptr;
        return object;
    }
    void Reset(T object = nullptr)
    {
        if (mObject != nullptr)
        {
            CFRelease(mObject);
        }
        mObject = object;
    }

private:
    T mObject = nullptr;
};

// A constant string for a key (kept for the life of the process).
CFStringRef Key(const char* key);
CFNumberRef CreateNumber(std::int64_t value);
// A new string from UTF-8 text; bytes that are not UTF-8 are read as Windows Latin 1.
CFStringRef CreateString(const std::string& text);
CFMutableDictionaryRef CreateMutableDictionary();
CFMutableArrayRef CreateMutableArray();

// The UTF-8 text of a string value; empty for anything else.
std::string StringValue(CFTypeRef value);
// A number or a boolean as an integer; false for anything else.
bool IntegerValue(CFTypeRef value, std::int64_t& integer);

CFTypeRef MessageValue(CFDictionaryRef message, const char* key);
std::int64_t MessageInt(CFDictionaryRef message, const char* key, std::int64_t fallback = 0);
bool MessageBool(CFDictionaryRef message, const char* key, bool fallback = false);
std::string MessageString(CFDictionaryRef message, const char* key);
// The integers of an array value (elements that are not numbers are skipped).
std::vector<std::int64_t> MessageInts(CFDictionaryRef message, const char* key);
CFArrayRef MessageArray(CFDictionaryRef message, const char* key);
CFDictionaryRef MessageDictionary(CFDictionaryRef message, const char* key);

void SetValue(CFMutableDictionaryRef message, const char* key, CFTypeRef value);
void SetInt(CFMutableDictionaryRef message, const char* key, std::int64_t value);
void SetBool(CFMutableDictionaryRef message, const char* key, bool value);
void SetString(CFMutableDictionaryRef message, const char* key, const std::string& value);
// A new array of numbers from count integers (a null pointer gives an empty array).
template <class T>
CFMutableArrayRef CreateIntArray(const T* values, std::size_t count)
{
    CFMutableArrayRef array = CreateMutableArray();
    for (std::size_t i = 0; values != nullptr && i < count; ++i)
    {
        CFNumberRef number = CreateNumber(static_cast<std::int64_t>(values[i]));
        CFArrayAppendValue(array, number);
        CFRelease(number);
    }
    return array;
}
template <class T>
void SetInts(CFMutableDictionaryRef message, const char* key, const T* values, std::size_t count)
{
    CFMutableArrayRef array = CreateIntArray(values, count);
    SetValue(message, key, array);
    CFRelease(array);
}
template <class T>
void SetInts(CFMutableDictionaryRef message, const char* key, const std::vector<T>& values)
{
    SetInts(message, key, values.data(), values.size());
}
} // namespace typehold
