// GoogleTest main of every test executable. Before the tests it says where they run, so the
// output of a win64 run shows that it ran under Wine.
#include <gtest/gtest.h>

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace
{
void PrintEnvironment(const char* program)
{
#ifdef _WIN32
    using WineGetVersion = const char*(__cdecl*)();
    HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    auto wineGetVersion = ntdll != nullptr ? reinterpret_cast<WineGetVersion>(reinterpret_cast<void*>(
                                                 GetProcAddress(ntdll, "wine_get_version")))
                                           : nullptr;
    if (wineGetVersion != nullptr)
    {
        std::printf("[environment] %s: win64 build running under Wine %s\n", program, wineGetVersion());
    }
    else
    {
        std::printf("[environment] %s: win64 build running on Windows\n", program);
    }
#else
    std::printf("[environment] %s: native build\n", program);
#endif
}
} // namespace

int main(int argc, char** argv)
{
    testing::InitGoogleTest(&argc, argv);
    bool listing = testing::GTEST_FLAG(list_tests);
    if (!listing)
    {
        PrintEnvironment(argc > 0 ? argv[0] : "test");
    }
    return RUN_ALL_TESTS();
}
