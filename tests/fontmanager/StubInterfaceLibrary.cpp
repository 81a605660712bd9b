// The interface library's exports and nothing more: every entry point of the table, exported
// under its name, as a function that does nothing. The loader's tests build it three ways:
// complete, with one entry point left out, and without a PrivateBuild version.
#include "LumorandPluginInterface.h"

#define STUB_ENTRY_POINT(Name, Type)                                                                         \
    extern "C" __declspec(dllexport) int Name(void)                                                          \
    {                                                                                                        \
        return 0;                                                                                            \
    }
LPI_ENTRY_POINTS(STUB_ENTRY_POINT)
