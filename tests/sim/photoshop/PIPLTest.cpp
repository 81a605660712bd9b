// The PIPL parser against property lists built byte by byte, including broken and hostile ones.

#include "PIPL.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
// Builds a property list the way a resource compiler lays it out.
class PIPLBytes
{
public:
    explicit PIPLBytes(std::uint32_t count, std::uint16_t signature = 1)
    {
        Word(signature);
        Dword(0);
        Dword(count);
    }
    // A property whose length field says `length` (the data's size unless given).
    PIPLBytes& Property(const char* key, const std::string& data, std::uint32_t length = UINT32_MAX,
                        const char* vendor = "8BIM", bool pad = true)
    {
        Dword(Code(vendor));
        Dword(Code(key));
        Dword(0);
        Dword(length == UINT32_MAX ? static_cast<std::uint32_t>(data.size()) : length);
        mBytes.insert(mBytes.end(), data.begin(), data.end());
        while (pad && mBytes.size() % 4 != 2) // the header is 10 bytes: properties start at 2 mod 4
        {
            mBytes.push_back(0);
        }
        return *this;
    }
    static std::string Integer(std::uint32_t value)
    {
        return std::string(reinterpret_cast<const char*>(&value), 4);
    }
    static std::string CodeData(const char* code) { return Integer(Code(code)); }

    PIPLError Parse(PIPLResource& resource, std::string& error) const
    {
        return ParsePIPL(mBytes.data(), mBytes.size(), resource, error);
    }
    PIPLError Info(PIPLPluginInfo& info, std::string& error) const
    {
        PIPLResource resource;
        const PIPLError parsed = Parse(resource, error);
        return parsed != PIPLError::kNone ? parsed : ReadPluginInfo(resource, info, error);
    }
    std::vector<std::uint8_t> mBytes;

private:
    static std::uint32_t Code(const char* code)
    {
        return (static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
               static_cast<unsigned char>(code[3]);
    }
    void Word(std::uint16_t value)
    {
        mBytes.push_back(static_cast<std::uint8_t>(value));
        mBytes.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    void Dword(std::uint32_t value)
    {
        for (int shift = 0; shift < 32; shift += 8)
        {
            mBytes.push_back(static_cast<std::uint8_t>(value >> shift));
        }
    }
};

const std::string kEntry("AutoPluginMain\0", 15);
} // namespace

TEST(PIPLTest, ReadsTheAutomationPluginProperties)
{
    PIPLBytes bytes(8);
    bytes.Property("kind", PIPLBytes::CodeData("8LIZ"))
        .Property("name", "\x0BLumorand...")
        .Property("catg", "\x08Lumorand")
        .Property("vers", PIPLBytes::Integer(0x00010000))
        .Property("8664", kEntry)
        .Property("prst", PIPLBytes::Integer(1))
        .Property("Acpm", PIPLBytes::Integer(1), UINT32_MAX, "ADBE")
        .Property("hstm", PIPLBytes::Integer(0) + PIPLBytes::CodeData("PoLn") + "....");

    // The bytes of '8BIM' are stored reversed.
    EXPECT_EQ(0, std::memcmp(bytes.mBytes.data() + 10, "MIB8dnik", 8));
    PIPLResource resource;
    std::string error;
    ASSERT_EQ(PIPLError::kNone, bytes.Parse(resource, error)) << error;
    ASSERT_EQ(8u, resource.mProperties.size());
    EXPECT_EQ(1u, resource.mSignature);
    EXPECT_EQ(PIPLBytes::CodeData("ADBE"), PIPLBytes::Integer(resource.mProperties[6].mVendor));

    PIPLPluginInfo info;
    ASSERT_EQ(PIPLError::kNone, ReadPluginInfo(resource, info, error)) << error;
    EXPECT_EQ(kPIPLKindAutomation, info.mKind);
    EXPECT_EQ("AutoPluginMain", info.mEntryPoint);
    EXPECT_EQ("Lumorand...", info.mName);
    EXPECT_EQ("Lumorand", info.mCategory);
    EXPECT_TRUE(info.mHasVersion);
    EXPECT_EQ(0x00010000u, info.mVersion);
    EXPECT_EQ(1u, info.mPersistent);
    EXPECT_EQ(
        "kind '8LIZ' name \"Lumorand...\" catg \"Lumorand\" vers 0x00010000 entry \"AutoPluginMain\" prst 1",
        DescribePluginInfo(info));
}

TEST(PIPLTest, ToleratesAMissingPadAfterTheLastPropertyAndForeignVendors)
{
    PIPLBytes bytes(3);
    bytes
        .Property("kind", PIPLBytes::CodeData("XXXX"), UINT32_MAX, "ADBE") // not Photoshop's: ignored
        .Property("kind", PIPLBytes::CodeData("8LIZ"))
        .Property("8664", std::string("Main\0", 5), UINT32_MAX, "8BIM", false);
    PIPLPluginInfo info;
    std::string error;
    ASSERT_EQ(PIPLError::kNone, bytes.Info(info, error)) << error;
    EXPECT_EQ(kPIPLKindAutomation, info.mKind);
    EXPECT_EQ("Main", info.mEntryPoint);
    EXPECT_FALSE(info.mHasVersion);
    EXPECT_FALSE(info.mHasPersistent);
}

TEST(PIPLTest, RefusesBrokenListsWithoutReadingPastThem)
{
    struct Case
    {
        const char* mWhat;
        PIPLBytes mBytes;
        PIPLError mExpected;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", PIPLBytes(0), PIPLError::kNone});
    cases.back().mBytes.mBytes.resize(9);
    cases.back().mExpected = PIPLError::kTruncatedHeader;
    cases.push_back({"signature 2", PIPLBytes(0, 2), PIPLError::kBadSignature});
    cases.push_back({"count beyond the data", PIPLBytes(5), PIPLError::kCountBeyondData});
    cases.back().mBytes.Property("kind", PIPLBytes::CodeData("8LIZ"));
    cases.push_back({"huge count", PIPLBytes(0xFFFFFFFF), PIPLError::kCountBeyondData});
    cases.push_back({"length past the end", PIPLBytes(1), PIPLError::kLengthPastEnd});
    cases.back().mBytes.Property("8664", kEntry, 0x7FFFFFF0);
    cases.push_back({"header cut short", PIPLBytes(2), PIPLError::kTruncatedProperty});
    cases.back().mBytes.Property("kind", PIPLBytes::CodeData("8LIZ"), 20, "8BIM", false);
    cases.back().mBytes.mBytes.resize(cases.back().mBytes.mBytes.size() + 16);

    for (Case& test : cases)
    {
        PIPLResource resource;
        std::string error;
        EXPECT_EQ(test.mExpected, test.mBytes.Parse(resource, error)) << test.mWhat;
        EXPECT_FALSE(error.empty()) << test.mWhat;
    }
}

TEST(PIPLTest, RequiresAKindAndAWellFormedEntryPoint)
{
    struct Case
    {
        const char* mWhat;
        std::vector<std::pair<const char*, std::string>> mProperties;
        PIPLError mExpected;
    };
    const std::string kind = PIPLBytes::CodeData("8LIZ");
    const Case cases[] = {
        {"no kind", {{"8664", kEntry}}, PIPLError::kNoKind},
        {"short kind", {{"kind", "8LI"}, {"8664", kEntry}}, PIPLError::kNoKind},
        {"no entry", {{"kind", kind}}, PIPLError::kNoEntryPoint},
        {"entry without NUL", {{"kind", kind}, {"8664", "AutoPluginMain"}}, PIPLError::kBadEntryPoint},
        {"empty entry", {{"kind", kind}, {"8664", std::string("\0x", 2)}}, PIPLError::kBadEntryPoint},
        {"name longer than its data",
         {{"kind", kind}, {"8664", kEntry}, {"name", "\x20short"}},
         PIPLError::kBadPascalString},
        {"short version", {{"kind", kind}, {"8664", kEntry}, {"vers", "\x01"}}, PIPLError::kBadInteger},
    };
    for (const Case& test : cases)
    {
        PIPLBytes bytes(static_cast<std::uint32_t>(test.mProperties.size()));
        for (const auto& [key, data] : test.mProperties)
        {
            bytes.Property(key, data);
        }
        PIPLPluginInfo info;
        std::string error;
        EXPECT_EQ(test.mExpected, bytes.Info(info, error)) << test.mWhat;
        EXPECT_FALSE(error.empty()) << test.mWhat;
    }
}
