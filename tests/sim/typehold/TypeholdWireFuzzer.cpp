// libFuzzer target: the bytes a peer sends on the core's pipe. Whatever decodes must encode again
// to a value equal to it.

#include "TypeholdWire.h"

#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string error;
    CFTypeRef value = typehold::DecodeWireValue(data, size, error);
    if (value == nullptr)
    {
        return 0;
    }
    std::string bytes;
    if (!typehold::EncodeWireValue(value, bytes))
    {
        std::abort(); // everything the decoder makes is encodable
    }
    CFTypeRef again = typehold::DecodeWireValue(bytes.data(), bytes.size(), error);
    if (again == nullptr || !CFEqual(value, again))
    {
        std::abort();
    }
    CFRelease(again);
    CFRelease(value);
    return 0;
}
