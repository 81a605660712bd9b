#pragma once

// Base of the classes whose objects own a resource and must not be copied.
class GNoncopyable
{
protected:
    GNoncopyable() = default;
    ~GNoncopyable() = default;

public:
    GNoncopyable(const GNoncopyable&) = delete;
    GNoncopyable& operator=(const GNoncopyable&) = delete;
};
