// A stand-in core process for the launcher's tests (a GUI program, as the core is):
//   --exit           exits at once with code 3
//   --sleep-ms N     sleeps N ms before it starts its message loop
//   --lifetime-ms N  ends its message loop after N ms (60 s by default)
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace
{
unsigned long Option(const char* commandLine, const char* name, unsigned long fallback)
{
    const char* found = std::strstr(commandLine, name);
    return found != nullptr ? std::strtoul(found + std::strlen(name), nullptr, 10) : fallback;
}
} // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR commandLine, int)
{
    if (std::strstr(commandLine, "--exit") != nullptr)
    {
        return 3;
    }
    Sleep(Option(commandLine, "--sleep-ms ", 0));
    SetTimer(nullptr, 0, Option(commandLine, "--lifetime-ms ", 60000), nullptr);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0)
    {
        if (message.message == WM_TIMER)
        {
            break;
        }
        DispatchMessageW(&message);
    }
    return 0;
}
