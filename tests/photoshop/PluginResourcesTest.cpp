// The plug-in's resources and exports as Photoshop reads them from the built Portolan.8li: the
// plug-in property list and scripting terminology compared with bytes built here from their
// tables, the version information, and the export table.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>
#include <windows.h>

namespace
{
using Bytes = std::vector<std::uint8_t>;

class ByteWriter
{
public:
    void Word(std::uint16_t value)
    {
        mBytes.push_back(static_cast<std::uint8_t>(value & 0xFF));
        mBytes.push_back(static_cast<std::uint8_t>(value >> 8));
    }
    void Long(std::uint32_t value)
    {
        for (int shift = 0; shift < 32; shift += 8)
        {
            mBytes.push_back(static_cast<std::uint8_t>((value >> shift) & 0xFF));
        }
    }
    // A four-character code, stored as a little-endian integer.
    void Code(const char* code)
    {
        Long((static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
             (static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
             (static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
             static_cast<std::uint32_t>(static_cast<unsigned char>(code[3])));
    }
    void Pascal(const std::string& text)
    {
        mBytes.push_back(static_cast<std::uint8_t>(text.size()));
        mBytes.insert(mBytes.end(), text.begin(), text.end());
    }
    void CString(const std::string& text)
    {
        mBytes.insert(mBytes.end(), text.begin(), text.end());
        mBytes.push_back(0);
    }
    void Byte(std::uint8_t value) { mBytes.push_back(value); }
    void Append(const Bytes& bytes) { mBytes.insert(mBytes.end(), bytes.begin(), bytes.end()); }
    const Bytes& Get() const { return mBytes; }

private:
    Bytes mBytes;
};

// One property: vendor, key, id 0, data length, data padded to four bytes.
void Property(ByteWriter& out, const char* vendor, const char* key, const ByteWriter& data)
{
    out.Code(vendor);
    out.Code(key);
    out.Long(0);
    out.Long(static_cast<std::uint32_t>(data.Get().size()));
    out.Append(data.Get());
    for (std::size_t padding = (4 - data.Get().size() % 4) % 4; padding > 0; --padding)
    {
        out.Byte(0);
    }
}

Bytes ExpectedPropertyList()
{
    ByteWriter out;
    out.Word(1);
    out.Long(0);
    out.Long(8);
    ByteWriter kind;
    kind.Code("8LIZ");
    Property(out, "8BIM", "kind", kind);
    ByteWriter name;
    name.Pascal("Lumorand...");
    Property(out, "8BIM", "name", name);
    ByteWriter category;
    category.Pascal("Lumorand");
    Property(out, "8BIM", "catg", category);
    ByteWriter version;
    version.Long(0x00010000);
    Property(out, "8BIM", "vers", version);
    ByteWriter entry;
    entry.CString("AutoPluginMain");
    Property(out, "8BIM", "8664", entry);
    ByteWriter persistent;
    persistent.Long(1);
    Property(out, "8BIM", "prst", persistent);
    ByteWriter acpm;
    acpm.Long(1);
    Property(out, "ADBE", "Acpm", acpm);
    ByteWriter terminology;
    terminology.Long(0);
    terminology.Code("PoLn");
    terminology.Code("PoLn");
    terminology.Word(16000);
    terminology.CString("PoLn");
    Property(out, "8BIM", "hstm", terminology);
    return out.Get();
}

Bytes ExpectedTerminology()
{
    ByteWriter out;
    out.Word(1);
    out.Byte(1);
    out.Byte(0);
    out.Word(0);
    out.Word(0);
    out.Word(1);
    out.Pascal("Lumorand");
    out.Pascal("Font Management Plug-in");
    out.Code("PoLn");
    out.Word(1);
    out.Word(1);
    out.Word(1);
    out.Pascal("Portolan");
    out.Pascal("No comment");
    out.Code("PoLn");
    out.Code("PoLn");
    out.Code("null");
    out.Pascal("");
    out.Word(0);
    out.Code("#ImR");
    out.Pascal("");
    out.Word(0xB000);
    out.Word(0);
    out.Word(0);
    out.Word(0);
    out.Word(0);
    return out.Get();
}

std::wstring PluginPath()
{
    wchar_t self[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self);
    return path.substr(0, path.find_last_of(L'\\') + 1) + L"Portolan.8li";
}

class PluginResourcesTest : public testing::Test
{
protected:
    void SetUp() override
    {
        mModule = LoadLibraryExW(PluginPath().c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
        ASSERT_NE(mModule, nullptr) << "Portolan.8li beside the test program";
    }
    void TearDown() override
    {
        if (mModule != nullptr)
        {
            FreeLibrary(mModule);
        }
    }

    Bytes Resource(const wchar_t* type)
    {
        HRSRC found = FindResourceExW(mModule, type, MAKEINTRESOURCEW(16000),
                                      MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US));
        if (found == nullptr)
        {
            return {};
        }
        HGLOBAL loaded = LoadResource(mModule, found);
        const auto* data = static_cast<const std::uint8_t*>(LockResource(loaded));
        return Bytes(data, data + SizeofResource(mModule, found));
    }

    HMODULE mModule = nullptr;
};

TEST_F(PluginResourcesTest, PropertyListAndTerminologyAreTheDescribedBytes)
{
    EXPECT_EQ(Resource(L"PIPL"), ExpectedPropertyList());
    EXPECT_EQ(Resource(L"AETE"), ExpectedTerminology());
}

TEST_F(PluginResourcesTest, VersionInformationNamesThePluginAndItsHost)
{
    const std::wstring path = PluginPath();
    DWORD handle = 0;
    const DWORD size = GetFileVersionInfoSizeW(path.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(path.c_str(), handle, size, info.data()));
    const auto value = [&](const wchar_t* field)
    {
        std::wstring query = std::wstring(L"\\StringFileInfo\\040904b0\\") + field;
        wchar_t* text = nullptr;
        UINT length = 0;
        return VerQueryValueW(info.data(), query.c_str(), reinterpret_cast<LPVOID*>(&text), &length) &&
                       text != nullptr
                   ? std::wstring(text)
                   : std::wstring();
    };
    EXPECT_EQ(value(L"InternalName"), L"PhotoshopCC2020");
    const std::wstring privateBuild = value(L"PrivateBuild");
    EXPECT_EQ(std::count(privateBuild.begin(), privateBuild.end(), L'.'), 3) << "four-part build version";
    EXPECT_EQ(value(L"FileVersion"), privateBuild);
    EXPECT_EQ(value(L"ProductVersion"), privateBuild);
}

TEST(PluginExportsTest, ExactlyTheEntryPointAndTheDialogProcedure)
{
    // Read the export directory of the mapped image.
    HMODULE module = LoadLibraryExW(PluginPath().c_str(), nullptr, DONT_RESOLVE_DLL_REFERENCES);
    ASSERT_NE(module, nullptr);
    const auto* base = reinterpret_cast<const std::uint8_t*>(module);
    const auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS64*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    ASSERT_NE(directory.VirtualAddress, 0u);
    const auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + directory.VirtualAddress);
    const auto* names = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
    std::vector<std::string> exported;
    for (DWORD i = 0; i < exports->NumberOfNames; ++i)
    {
        exported.emplace_back(reinterpret_cast<const char*>(base + names[i]));
    }
    EXPECT_EQ(exported, (std::vector<std::string>{"AutoPluginMain", "GenericProc"}));
    FreeLibrary(module);
}
} // namespace
