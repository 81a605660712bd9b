#pragma once
// Portolan runs inside Photoshop's process: an exception that unwinds out of a function the host,
// Windows or another thread calls takes Photoshop down with it. Every such function runs its body
// through GuardForHost, which ends the body at any exception beneath it, logs it and returns.

#include "GLogger.h"

#include <cstdint>
#include <exception>

namespace HostGuard
{
// Logs without letting the logging itself throw.
inline void LogEscaped(const char* function, const char* what) noexcept
{
    try
    {
        if (what != nullptr)
        {
            TraceLog(0, "Exception thrown in %s(): %s", function, what);
        }
        else
        {
            TraceLog(0, "Exception thrown in %s()", function);
        }
    }
    catch (...)
    {
    }
}
} // namespace HostGuard

// Runs body(); an exception beneath it is logged as "Exception thrown in <function>()" (with its
// message, or the suite error it carried) and goes no further. True when the body ran to its end.
template <class Body>
bool GuardForHost(const char* function, Body&& body) noexcept
{
    try
    {
        body();
        return true;
    }
    catch (const std::exception& exception)
    {
        HostGuard::LogEscaped(function, exception.what());
    }
    catch (std::uint32_t error)
    {
        try
        {
            TraceLog(0, "%s ended by error %d", function, static_cast<int>(error));
        }
        catch (...)
        {
        }
    }
    catch (...)
    {
        HostGuard::LogEscaped(function, nullptr);
    }
    return false;
}
