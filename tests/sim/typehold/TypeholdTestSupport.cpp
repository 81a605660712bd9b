#include "TypeholdTestSupport.h"

#include <chrono>
#include <fstream>
#include <thread>

void GLibraryTable::Resolve(HMODULE library)
{
    module = library;
    missing = 0;
#define LPI_RESOLVE(name, type)                                                                              \
    name = library != nullptr                                                                                \
               ? reinterpret_cast<type>(reinterpret_cast<void*>(GetProcAddress(library, #name)))             \
               : nullptr;                                                                                    \
    missing += name == nullptr ? 1 : 0;
    LPI_ENTRY_POINTS(LPI_RESOLVE)
#undef LPI_RESOLVE
}

GCoreLayout& GCoreLayout::Shared()
{
    static GCoreLayout* sLayout = []
    {
        auto* layout = new GCoreLayout;
        // One folder per program, beside it, refreshed at every start (the library stays loaded
        // from it, so it is not removed at exit).
        wchar_t program[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, program, MAX_PATH);
        const std::filesystem::path programPath(program);
        layout->folder = programPath.parent_path() / (programPath.stem().wstring() + L" core folder");
        std::error_code error;
        std::filesystem::create_directories(layout->folder, error);
        const std::filesystem::path bin = PathFromUTF8(TYPEHOLD_BIN_DIR);
        for (const char* name :
             {"Typehold.exe", "typehold-ctl.exe", "CoreFoundation.dll", "LumorandPluginInterfaceX64.dll"})
        {
            CopyFileW((bin / name).c_str(), (layout->folder / name).c_str(), FALSE);
        }
        layout->library.Resolve(LoadLibraryW(layout->Program(L"LumorandPluginInterfaceX64.dll").c_str()));
        return layout;
    }();
    return *sLayout;
}

// --- Notifications ------------------------------------------------------------------------------

GNotificationRecorder& GNotificationRecorder::Shared()
{
    static GNotificationRecorder* sRecorder = new GNotificationRecorder;
    return *sRecorder;
}

void GNotificationRecorder::Callback(std::uint32_t type, const void* payload)
{
    GEntry entry;
    entry.type = type;
    switch (type)
    {
    case kLPINotifyOnlineStateChanged:
    case kLPINotifyGoogleWebFontsEnabled:
        entry.value = *static_cast<const std::uint8_t*>(payload);
        break;
    case kLPINotifyFontActivated:
    case kLPINotifyFontDeactivated:
    case kLPINotifyFontMissing:
    case kLPINotifyDesignActivationNonCompliant:
        entry.value = *static_cast<const std::int32_t*>(payload);
        break;
    default:
        if (payload != nullptr)
        {
            entry.dictionary.Reset(CFRetain(static_cast<CFTypeRef>(payload)));
        }
        break;
    }
    GNotificationRecorder& recorder = Shared();
    std::lock_guard<std::mutex> lock(recorder.mMutex);
    recorder.mEntries.push_back(std::move(entry));
    recorder.mCondition.notify_all();
}

void GNotificationRecorder::Clear()
{
    std::lock_guard<std::mutex> lock(mMutex);
    mEntries.clear();
}

bool GNotificationRecorder::WaitFor(const std::function<bool(const std::vector<GEntry>&)>& predicate,
                                    int timeoutMs)
{
    std::unique_lock<std::mutex> lock(mMutex);
    return mCondition.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                               [&] { return predicate(mEntries); });
}

std::size_t GNotificationRecorder::CountOf(std::uint32_t type)
{
    return ValuesOf(type).size();
}

std::vector<std::int64_t> GNotificationRecorder::ValuesOf(std::uint32_t type)
{
    std::lock_guard<std::mutex> lock(mMutex);
    std::vector<std::int64_t> values;
    for (const GEntry& entry : mEntries)
    {
        if (entry.type == type)
        {
            values.push_back(entry.value);
        }
    }
    return values;
}

std::vector<std::uint32_t> GNotificationRecorder::Types()
{
    std::lock_guard<std::mutex> lock(mMutex);
    std::vector<std::uint32_t> types;
    for (const GEntry& entry : mEntries)
    {
        types.push_back(entry.type);
    }
    return types;
}

std::vector<typehold::GCFHolder<CFDictionaryRef>> GNotificationRecorder::CopyDictionaries(std::uint32_t type)
{
    std::lock_guard<std::mutex> lock(mMutex);
    std::vector<typehold::GCFHolder<CFDictionaryRef>> dictionaries;
    for (const GEntry& entry : mEntries)
    {
        if (entry.type == type && entry.dictionary)
        {
            dictionaries.emplace_back(static_cast<CFDictionaryRef>(CFRetain(entry.dictionary.Get())));
        }
    }
    return dictionaries;
}

CFDictionaryRef GNotificationRecorder::CopyFirstDictionary(std::uint32_t type)
{
    std::lock_guard<std::mutex> lock(mMutex);
    for (const GEntry& entry : mEntries)
    {
        if (entry.type == type && entry.dictionary)
        {
            return static_cast<CFDictionaryRef>(CFRetain(entry.dictionary.Get()));
        }
    }
    return nullptr;
}

// --- Processes ----------------------------------------------------------------------------------

std::wstring Wide(const std::string& utf8)
{
    return PathFromUTF8(utf8).wstring();
}

std::string WindowsPath(std::string path)
{
    for (char& c : path)
    {
        c = c == '/' ? '\\' : c;
    }
    return path;
}

int RunProgram(const std::wstring& program, const std::wstring& arguments, DWORD timeoutMs,
               std::string* output)
{
    std::wstring commandLine = L"\"" + program + L"\" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    // The program's standard output goes to a temporary file, read when it has ended.
    wchar_t outputPath[MAX_PATH] = {};
    HANDLE outputFile = INVALID_HANDLE_VALUE;
    if (output != nullptr)
    {
        wchar_t folder[MAX_PATH] = {};
        SECURITY_ATTRIBUTES inheritable{sizeof(inheritable), nullptr, TRUE};
        if (GetTempPathW(MAX_PATH, folder) == 0 || GetTempFileNameW(folder, L"thc", 0, outputPath) == 0 ||
            (outputFile = CreateFileW(outputPath, GENERIC_WRITE, FILE_SHARE_READ, &inheritable, CREATE_ALWAYS,
                                      FILE_ATTRIBUTE_TEMPORARY, nullptr)) == INVALID_HANDLE_VALUE)
        {
            return -1;
        }
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
        startup.hStdOutput = outputFile;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION process{};
    const BOOL started =
        CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr,
                       output != nullptr ? TRUE : FALSE, 0, nullptr, nullptr, &startup, &process);
    if (outputFile != INVALID_HANDLE_VALUE)
    {
        CloseHandle(outputFile);
    }
    DWORD code = static_cast<DWORD>(-1);
    if (started)
    {
        if (WaitForSingleObject(process.hProcess, timeoutMs) == WAIT_OBJECT_0)
        {
            GetExitCodeProcess(process.hProcess, &code);
        }
        else
        {
            TerminateProcess(process.hProcess, 99);
        }
        CloseHandle(process.hThread);
        CloseHandle(process.hProcess);
    }
    if (output != nullptr)
    {
        *output = ReadWholeFile(UTF8FromPath(outputPath));
        DeleteFileW(outputPath);
    }
    return static_cast<int>(code);
}

int RunCtl(const std::wstring& arguments, std::string* output)
{
    return RunProgram(GCoreLayout::Shared().Program(L"typehold-ctl.exe"), arguments, 120000, output);
}

GCoreProcess::~GCoreProcess()
{
    Stop();
}

bool GCoreProcess::Start()
{
    const std::wstring program = GCoreLayout::Shared().Program(L"Typehold.exe");
    std::wstring commandLine = L"\"" + program + L"\" --config \"" + Wide(mConfigFolder) + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process))
    {
        return false;
    }
    CloseHandle(process.hThread);
    mProcess = process.hProcess;
    if (WaitForInputIdle(mProcess, 10000) != 0)
    {
        return false;
    }
    // The pipe exists once the core has settled; wait until it answers.
    for (int attempt = 0; attempt < 100; ++attempt)
    {
        if (WaitNamedPipeW(L"\\\\.\\pipe\\com.lumorand.typehold.core", 100))
        {
            return true;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return false;
}

bool GCoreProcess::Running() const
{
    return mProcess != nullptr && WaitForSingleObject(mProcess, 0) == WAIT_TIMEOUT;
}

void GCoreProcess::Kill()
{
    if (mProcess != nullptr)
    {
        TerminateProcess(mProcess, 9);
        WaitForSingleObject(mProcess, 10000);
        CloseHandle(mProcess);
        mProcess = nullptr;
    }
}

void GCoreProcess::Stop()
{
    if (Running() && RunCtl(L"exit") == 0 && WaitForSingleObject(mProcess, 10000) == WAIT_OBJECT_0)
    {
        CloseHandle(mProcess);
        mProcess = nullptr;
    }
    Kill();
}

// --- Configuration ------------------------------------------------------------------------------

std::string TestFontsFolder()
{
    return WindowsPath(TYPEHOLD_TEST_FONTS_DIR);
}

std::string DocumentsFolder()
{
    return WindowsPath(TYPEHOLD_TEST_DOCUMENTS_DIR);
}

std::string JSONString(const std::string& text)
{
    std::string quoted = "\"";
    for (const char c : text)
    {
        if (c == '\\' || c == '"')
        {
            quoted.push_back('\\');
        }
        quoted.push_back(c);
    }
    return quoted + "\"";
}

std::string ConfigJSON(const std::string& extraMembers, std::vector<std::string> fontFolders,
                       const std::string& extraWorkgroups)
{
    if (fontFolders.empty())
    {
        fontFolders.push_back(TestFontsFolder());
    }
    std::string folders;
    for (const std::string& folder : fontFolders)
    {
        folders += (folders.empty() ? "" : ", ") + JSONString(folder);
    }
    std::string json =
        "{\n  \"fontFolders\": [" + folders + "],\n" +
        "  \"systemFonts\": {\"id\": 2, \"name\": \"System Fonts\", \"folders\": [" +
        JSONString("Z:\\usr\\share\\fonts\\truetype\\dejavu") + "]},\n" + "  \"workgroups\": [\n" +
        "    {\"id\": 1, \"name\": \"Font Library\", \"type\": 3},\n" + extraWorkgroups +
        "    {\"id\": 8, \"name\": \"Google Fonts\", \"type\": 8, \"fonts\": [\"OpenSans*\"]}\n" + "  ]";
    if (!extraMembers.empty())
    {
        json += ",\n  " + extraMembers;
    }
    return json + "\n}\n";
}

// --- Records and font files --------------------------------------------------------------------

std::vector<CFDictionaryRef> Records(CFArrayRef array)
{
    std::vector<CFDictionaryRef> records;
    for (CFIndex i = 0; array != nullptr && i < CFArrayGetCount(array); ++i)
    {
        records.push_back(static_cast<CFDictionaryRef>(CFArrayGetValueAtIndex(array, i)));
    }
    return records;
}

// Every occurrence of a text in the bytes, in ASCII and in UTF-16BE (the two forms of sfnt name
// strings), replaced by another of the same length.
int ReplaceNameText(std::string& bytes, const std::string& from, const std::string& to)
{
    auto utf16 = [](const std::string& text)
    {
        std::string wide;
        for (const char c : text)
        {
            wide += '\0';
            wide += c;
        }
        return wide;
    };
    int replaced = 0;
    for (const auto& [a, b] : {std::pair{from, to}, std::pair{utf16(from), utf16(to)}})
    {
        for (std::size_t at = bytes.find(a); at != std::string::npos; at = bytes.find(a, at + b.size()))
        {
            bytes.replace(at, a.size(), b);
            ++replaced;
        }
    }
    return replaced;
}
