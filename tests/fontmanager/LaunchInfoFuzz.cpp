// Launch-info text from any bytes: both values are substrings of the text before its first NUL.
#include "CoreProcessLauncher.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string path;
    std::string arguments;
    ParseLaunchInfoText(text, path, arguments);
    const std::string visible = text.substr(0, text.find('\0'));
    if ((!path.empty() && visible.find(path) == std::string::npos) ||
        (!arguments.empty() && visible.find(arguments) == std::string::npos))
    {
        std::abort();
    }
    return 0;
}
