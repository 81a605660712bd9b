#pragma once
// CRC-32 as used by zip and PNG (IEEE 802.3 polynomial, reflected, initial value and final xor
// 0xFFFFFFFF), computed incrementally over several byte ranges.

#include "GTypes.h"

#include <cstddef>

namespace typehold
{
class GCrc32
{
public:
    void Update(const TUInt8* bytes, std::size_t count);
    TUInt32 Value() const { return mState ^ 0xFFFFFFFFu; }

    static TUInt32 Of(const TUInt8* bytes, std::size_t count)
    {
        GCrc32 crc;
        crc.Update(bytes, count);
        return crc.Value();
    }

private:
    TUInt32 mState = 0xFFFFFFFFu;
};
} // namespace typehold
