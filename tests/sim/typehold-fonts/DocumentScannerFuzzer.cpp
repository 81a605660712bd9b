// libFuzzer target: the document font scanners over any bytes, whole and in chunks of a size
// taken from the first byte. Both must give the same names, each valid UTF-8 text.
#include "GDocumentScanner.h"
#include "GFontText.h"

#include <cstdint>
#include <cstdlib>
#include <vector>

namespace
{
template <typename Scanner>
void Check(const std::vector<std::uint8_t>& bytes, std::size_t chunkSize)
{
    Scanner whole;
    whole.ScanMemory(bytes.data(), bytes.size(), bytes.size() + 1);
    Scanner chunked;
    chunked.ScanMemory(bytes.data(), bytes.size(), chunkSize);
    if (whole.Names() != chunked.Names())
    {
        std::abort();
    }
    for (const std::string& name : whole.Names())
    {
        if (name.empty() || !typehold::GFontText::IsValidUTF8(
                                reinterpret_cast<const std::uint8_t*>(name.data()), name.size()))
        {
            std::abort();
        }
    }
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size == 0)
    {
        return 0;
    }
    const std::size_t chunkSize = 1 + data[0] % 64;
    const std::vector<std::uint8_t> bytes(data + 1, data + size);
    Check<typehold::GPDFFontScanner>(bytes, chunkSize);
    Check<typehold::GPhotoshopFontScanner>(bytes, chunkSize);
    return 0;
}
