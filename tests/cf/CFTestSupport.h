#pragma once
// Helpers of the Core Foundation tests.

#include <CoreFoundation/CoreFoundation.h>

#include <string>

// Releases a Core Foundation object at the end of a scope.
template <class T>
class CFHolder
{
public:
    explicit CFHolder(T object = nullptr) : mObject(object) {}
    ~CFHolder()
    {
        if (mObject != nullptr)
        {
            CFRelease(mObject);
        }
    }
    CFHolder(const CFHolder&) = delete;
    CFHolder& operator=(const CFHolder&) = delete;
    T get() const { return mObject; }
    operator T() const { return mObject; }

private:
    T mObject;
};

// The UTF-8 text of a string, through the public API only.
inline std::string Text(CFStringRef string)
{
    if (string == nullptr)
    {
        return "<null>";
    }
    CFIndex size = CFStringGetMaximumSizeForEncoding(CFStringGetLength(string), kCFStringEncodingUTF8) + 1;
    std::string buffer(static_cast<std::size_t>(size), '\0');
    if (!CFStringGetCString(string, buffer.data(), size, kCFStringEncodingUTF8))
    {
        return "<unconvertible>";
    }
    buffer.resize(std::char_traits<char>::length(buffer.c_str()));
    return buffer;
}

inline CFStringRef MakeString(const char* utf8)
{
    return CFStringCreateWithCString(kCFAllocatorDefault, utf8, kCFStringEncodingUTF8);
}
