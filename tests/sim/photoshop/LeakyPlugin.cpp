// A test plug-in that forgets to release a suite during Startup and asks for a suite no host has.

#include "HostInterface.h"

extern "C" __declspec(dllexport) SPErr AutoPluginMain(const char* caller, const char* selector, void* message)
{
    auto* data = static_cast<SPMessageData*>(message);
    SPBasicSuite* basic = data->basic;
    if (basic->IsEqual(caller, kInterfaceCaller) && basic->IsEqual(selector, kStartupSelector))
    {
        const void* suite = nullptr;
        basic->AcquireSuite(kBlocksSuiteName, 2, &suite);
        basic->AcquireSuite(kBlocksSuiteName, 2, &suite);
        basic->ReleaseSuite(kBlocksSuiteName, 2);
        return basic->AcquireSuite("No Such Suite", 1, &suite) == kHostSuiteNotFound ? kHostNoError
                                                                                     : kHostBadParameter;
    }
    return kHostNoError;
}
