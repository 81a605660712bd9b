// A test plug-in that forgets to release a suite during Startup and asks for a suite no host has.

#include "PhotoshopPluginAPI.h"

extern "C" __declspec(dllexport) SPErr AutoPluginMain(const char* caller, const char* selector, void* message)
{
    auto* data = static_cast<SPMessageData*>(message);
    SPBasicSuite* basic = data->basic;
    if (basic->IsEqual(caller, kSPInterfaceCaller) && basic->IsEqual(selector, kSPInterfaceStartupSelector))
    {
        const void* suite = nullptr;
        basic->AcquireSuite(kSPBlocksSuite, kSPBlocksSuiteVersion, &suite);
        basic->AcquireSuite(kSPBlocksSuite, kSPBlocksSuiteVersion, &suite);
        basic->ReleaseSuite(kSPBlocksSuite, kSPBlocksSuiteVersion);
        return basic->AcquireSuite("No Such Suite", 1, &suite) == kSPSuiteNotFoundError
                   ? kSPNoError
                   : kSPBadParameterError;
    }
    return kSPNoError;
}
