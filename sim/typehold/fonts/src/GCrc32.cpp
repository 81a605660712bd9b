#include "GCrc32.h"

#include <array>

namespace typehold
{
namespace
{
constexpr TUInt32 kPolynomial = 0xEDB88320u;

// Eight tables, so that the loop can take eight bytes per step ("slicing by 8"): table k gives
// the contribution of a byte that still has k more bytes to pass through the register.
using TTables = std::array<std::array<TUInt32, 256>, 8>;

constexpr TTables MakeTables()
{
    TTables tables{};
    for (TUInt32 byte = 0; byte < 256; ++byte)
    {
        TUInt32 value = byte;
        for (int bit = 0; bit < 8; ++bit)
        {
            value = (value & 1u) != 0 ? (value >> 1) ^ kPolynomial : value >> 1;
        }
        tables[0][byte] = value;
    }
    for (std::size_t k = 1; k < tables.size(); ++k)
    {
        for (std::size_t byte = 0; byte < 256; ++byte)
        {
            const TUInt32 previous = tables[k - 1][byte];
            tables[k][byte] = (previous >> 8) ^ tables[0][previous & 0xFFu];
        }
    }
    return tables;
}

constexpr TTables kTables = MakeTables();
} // namespace

void GCrc32::Update(const TUInt8* bytes, std::size_t count)
{
    TUInt32 state = mState;
    while (count >= 8)
    {
        const TUInt32 low = state ^ (TUInt32(bytes[0]) | TUInt32(bytes[1]) << 8 | TUInt32(bytes[2]) << 16 |
                                     TUInt32(bytes[3]) << 24);
        state = kTables[7][low & 0xFFu] ^ kTables[6][(low >> 8) & 0xFFu] ^ kTables[5][(low >> 16) & 0xFFu] ^
                kTables[4][low >> 24] ^ kTables[3][bytes[4]] ^ kTables[2][bytes[5]] ^ kTables[1][bytes[6]] ^
                kTables[0][bytes[7]];
        bytes += 8;
        count -= 8;
    }
    while (count-- > 0)
    {
        state = (state >> 8) ^ kTables[0][(state ^ *bytes++) & 0xFFu];
    }
    mState = state;
}
} // namespace typehold
