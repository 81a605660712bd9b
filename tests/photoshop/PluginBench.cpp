// Benchmarks of the plug-in's work on Photoshop's user-interface thread, against an in-process host
// that answers the plug-in's queries at once and a font manager that answers at once:
//  - the idle timer step with 50 tracked open documents (it runs every second);
//  - the plug-in's own work for one opened document of 50 fonts (the font manager's share, the time
//    of its answer, is measured apart and taken out).
// Each figure is printed with its ratio to a baseline measured in the same run. The idle step's
// figure is taken apart: the time this in-process host takes to answer the same queries (Photoshop's
// answers take longer), the framework's preference reads and the system's window pass are measured
// alone and taken out, which leaves the plug-in's own code. Under Wine every window and file call is
// a round trip to the server, so those baselines are far above what Windows takes.
//   plugin_bench.exe [ROUNDS]

#include "CommonFunctionality.h"
#include "DialogSuppression.h"
#include "DocumentEventHooks.h"
#include "FontActivationTracker.h"
#include "FontManagerInterface.h"
#include "LPFInterface.h"
#include "PhotoshopFontUtils.h"
#include "PhotoshopSuites.h"
#include "PortolanGlobals.h"
#include "TrackedDocuments.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>
#include <windows.h>

#ifdef GetObject
#undef GetObject
#endif

namespace
{
using Clock = std::chrono::steady_clock;
constexpr int kDocuments = 50;
constexpr int kFonts = 50;

// --- An in-process host: documents with IDs and file aliases ----------------------------------------
struct BenchDocument
{
    std::uint32_t id;
    std::string path; // narrow, in the system code page (ASCII here)
};
std::vector<BenchDocument> sDocuments;
std::size_t sActive = 0;

struct Reference
{
    DescriptorKeyID property = 0;
    std::uint32_t index = 0; // 0: the target (active) object
    DescriptorClassID desiredClass = 0;
};
struct Value
{
    DescriptorTypeID type = 0;
    std::int32_t integer = 0;
    std::string alias;
};
struct Descriptor
{
    std::map<DescriptorKeyID, Value> values;
};

Handle NewHandle(std::int32_t size)
{
    auto* master = new Ptr(new char[static_cast<std::size_t>(size) + 1]);
    return master;
}
void DisposeHandle(Handle handle)
{
    if (handle != nullptr)
    {
        delete[] * handle;
        delete handle;
    }
}
std::map<Handle, std::int32_t> sHandleSizes;

Handle AliasHandle(const std::string& path)
{
    // The narrow path, NUL, padding to even, the UTF-16 path, NUL, an empty string.
    std::vector<char> bytes(path.begin(), path.end());
    bytes.push_back('\0');
    if (bytes.size() % 2 != 0)
    {
        bytes.push_back('\0');
    }
    for (char c : path)
    {
        bytes.push_back(c);
        bytes.push_back('\0');
    }
    bytes.insert(bytes.end(), {0, 0, 0, 0});
    Handle handle = NewHandle(static_cast<std::int32_t>(bytes.size()));
    std::memcpy(*handle, bytes.data(), bytes.size());
    sHandleSizes[handle] = static_cast<std::int32_t>(bytes.size());
    return handle;
}

OSErr RefMake(PIActionReference* reference)
{
    *reference = reinterpret_cast<PIActionReference>(new Reference);
    return 0;
}
OSErr RefFree(PIActionReference reference)
{
    delete reinterpret_cast<Reference*>(reference);
    return 0;
}
OSErr RefPutProperty(PIActionReference reference, DescriptorClassID, DescriptorKeyID key)
{
    reinterpret_cast<Reference*>(reference)->property = key;
    return 0;
}
OSErr RefPutEnumerated(PIActionReference reference, DescriptorClassID desiredClass, DescriptorEnumTypeID,
                       DescriptorEnumID)
{
    reinterpret_cast<Reference*>(reference)->desiredClass = desiredClass;
    return 0;
}
OSErr RefPutIndex(PIActionReference reference, DescriptorClassID desiredClass, std::uint32_t index)
{
    reinterpret_cast<Reference*>(reference)->desiredClass = desiredClass;
    reinterpret_cast<Reference*>(reference)->index = index;
    return 0;
}

OSErr Get(PIActionDescriptor* result, PIActionReference referenceHandle)
{
    const Reference& reference = *reinterpret_cast<Reference*>(referenceHandle);
    auto* descriptor = new Descriptor;
    Value value;
    if (reference.desiredClass == PSFourCharCode("capp"))
    {
        value = Value{PSFourCharCode("long"), static_cast<std::int32_t>(sDocuments.size()), {}};
    }
    else
    {
        const std::size_t index = reference.index == 0 ? sActive : reference.index - 1;
        if (index >= sDocuments.size())
        {
            delete descriptor;
            return -1728;
        }
        if (reference.property == PSFourCharCode("DocI"))
        {
            value = Value{PSFourCharCode("long"), static_cast<std::int32_t>(sDocuments[index].id), {}};
        }
        else
        {
            value = Value{PSFourCharCode("alis"), 0, sDocuments[index].path};
        }
    }
    descriptor->values[reference.property] = value;
    *result = reinterpret_cast<PIActionDescriptor>(descriptor);
    return 0;
}
OSErr StringIDToTypeID(const char*, DescriptorTypeID* typeID)
{
    *typeID = 1;
    return 0;
}
OSErr Play(PIActionDescriptor* result, DescriptorEventID, PIActionDescriptor, PIDialogPlayOptions)
{
    *result = nullptr;
    return 0;
}

OSErr DescFree(PIActionDescriptor descriptor)
{
    delete reinterpret_cast<Descriptor*>(descriptor);
    return 0;
}
OSErr DescGetType(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorTypeID* type)
{
    auto& values = reinterpret_cast<Descriptor*>(descriptor)->values;
    const auto found = values.find(key);
    if (found == values.end())
    {
        return -1715;
    }
    *type = found->second.type;
    return 0;
}
OSErr DescGetInteger(PIActionDescriptor descriptor, DescriptorKeyID key, std::int32_t* value)
{
    *value = reinterpret_cast<Descriptor*>(descriptor)->values[key].integer;
    return 0;
}
OSErr DescGetAlias(PIActionDescriptor descriptor, DescriptorKeyID key, Handle* value)
{
    *value = AliasHandle(reinterpret_cast<Descriptor*>(descriptor)->values[key].alias);
    return 0;
}

void HandleDispose(Handle handle)
{
    sHandleSizes.erase(handle);
    DisposeHandle(handle);
}
void HandleSetLock(Handle handle, PSBoolean, Ptr* address, PSBoolean* oldLock)
{
    *address = *handle;
    *oldLock = 0;
}
std::int32_t HandleGetSize(Handle handle)
{
    return sHandleSizes[handle];
}

PSActionReferenceProcs sReferences{};
PSActionControlProcs sControl{};
PSActionDescriptorProcs sDescriptors{};
PSHandleSuite2 sHandles{};
PSActionListProcs sLists{};

SPErr AcquireSuite(const char* name, std::int32_t version, const void** suite)
{
    const std::string suiteName(name);
    if (suiteName == kPSActionReferenceSuite && version == kPSActionReferenceSuiteVersions[0])
    {
        *suite = &sReferences;
    }
    else if (suiteName == kPSActionControlSuite && version == kPSActionControlSuiteVersions[0])
    {
        *suite = &sControl;
    }
    else if (suiteName == kPSActionDescriptorSuite && version == kPSActionDescriptorSuiteVersions[0])
    {
        *suite = &sDescriptors;
    }
    else if (suiteName == kPSHandleSuite && version == 2)
    {
        *suite = &sHandles;
    }
    else if (suiteName == kPSActionListSuite && version == kPSActionListSuiteVersion)
    {
        *suite = &sLists;
    }
    else
    {
        return kSPSuiteNotFoundError;
    }
    return kSPNoError;
}
SPErr ReleaseSuite(const char*, std::int32_t)
{
    return kSPNoError;
}
SPBoolean IsEqual(const char* a, const char* b)
{
    return std::strcmp(a, b) == 0;
}

// --- A font manager that answers at once -----------------------------------------------------------
class InstantFontManager : public FontManagerInterface
{
public:
    explicit InstantFontManager(int fonts)
    {
        mMatched = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
        for (int i = 0; i < fonts; ++i)
        {
            CFMutableDictionaryRef font = CFDictionaryCreateMutable(
                kCFAllocatorDefault, 0, &kCFTypeDictionaryKeyCallBacks, &kCFTypeDictionaryValueCallBacks);
            const std::int32_t id = 1001 + i;
            CFNumberRef number = CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt32Type, &id);
            CFStringRef name =
                CFStringCreateWithFormat(kCFAllocatorDefault, nullptr, CFSTR("BenchFont-%d"), i);
            CFDictionarySetValue(font, CFSTR("DatabaseID"), number);
            CFDictionarySetValue(font, CFSTR("PostScriptName"), name);
            CFDictionarySetValue(font, CFSTR("IsActive"), CFSTR("0"));
            CFArrayAppendValue(mMatched, font);
            CFRelease(number);
            CFRelease(name);
            CFRelease(font);
        }
    }
    ~InstantFontManager() override { CFRelease(mMatched); }

    TSInt32 ActivateDocumentFontsByPath(const char*, CFMutableArrayRef, CFMutableArrayRef matched,
                                        CFMutableArrayRef) override
    {
        CFArrayAppendArray(matched, mMatched, CFRangeMake(0, CFArrayGetCount(mMatched)));
        return 0;
    }
    bool CanActivateAcrossWorkgroups() override { return true; }
    bool CanExportFromWorkgroup(CFArrayRef) override { return true; }

    CFMutableArrayRef mMatched;
};

double Microseconds(Clock::duration duration)
{
    return std::chrono::duration<double, std::micro>(duration).count();
}

template <class Work>
double MeanMicroseconds(int rounds, Work work)
{
    const auto start = Clock::now();
    for (int i = 0; i < rounds; ++i)
    {
        work(i);
    }
    return Microseconds(Clock::now() - start) / rounds;
}

// One batch's figures of the idle step, in microseconds.
struct IdleStepFigures
{
    double step = 0;
    double scan = 0;
    double dialogs = 0;
    double host = 0;
    double preferenceRead = 0;
    double windowCheck = 0;
    double windowPass = 0;
    double others = 0;
};

// The lowest of five batches' means: a shared machine's interruptions only ever add time.
template <typename Work>
double BestMeanMicroseconds(int rounds, Work work)
{
    const int batch = std::max(1, rounds / 5);
    double best = 0;
    for (int b = 0; b < 5; ++b)
    {
        const double mean = MeanMicroseconds(batch, [&](int i) { work(b * batch + i); });
        best = b == 0 ? mean : std::min(best, mean);
    }
    return best;
}
} // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 200;

    // The documents' files, and a preference folder of the run's own.
    const std::filesystem::path folder = std::filesystem::temp_directory_path() / "portolan-plugin-bench";
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder / "prefs");
    for (int i = 0; i < kDocuments; ++i)
    {
        const std::filesystem::path file = folder / ("document-" + std::to_string(i) + ".psd");
        std::ofstream(file) << "8BPS";
        sDocuments.push_back({static_cast<std::uint32_t>(1001 + i), file.string()});
    }
    SetEnvironmentVariableA("LUMORAND_FRAMEWORK_PREFS_DIR", (folder / "prefs").string().c_str());

    sReferences.Make = RefMake;
    sReferences.Free = RefFree;
    sReferences.PutProperty = RefPutProperty;
    sReferences.PutEnumerated = RefPutEnumerated;
    sReferences.PutIndex = RefPutIndex;
    sControl.Get = Get;
    sControl.Play = Play;
    sControl.StringIDToTypeID = StringIDToTypeID;
    sDescriptors.Free = DescFree;
    sDescriptors.GetType = DescGetType;
    sDescriptors.GetInteger = DescGetInteger;
    sDescriptors.GetAlias = DescGetAlias;
    sHandles.Dispose = HandleDispose;
    sHandles.SetLock = HandleSetLock;
    sHandles.GetSize = HandleGetSize;
    SPBasicSuite basic{};
    basic.AcquireSuite = AcquireSuite;
    basic.ReleaseSuite = ReleaseSuite;
    basic.IsEqual = IsEqual;
    PhotoshopSuites::SetBasicSuite(&basic, nullptr);

    // Photoshop's main window, as the plug-in finds it.
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = DefWindowProcW;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = L"Photoshop";
    RegisterClassW(&windowClass);
    CreateWindowW(L"Photoshop", L"Adobe Photoshop 2020", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr,
                  nullptr, GetModuleHandleW(nullptr), nullptr);

    // An operational plug-in: framework, flags, a font manager that says the user is logged in.
    PortolanGlobals::SetPluginHostApp("PhotoshopCC2020");
    LPFInterface* lpf = PortolanGlobals::GetSharedLPFInterface();
    if (lpf == nullptr || !lpf->IsUsable())
    {
        std::fprintf(stderr, "plugin_bench: the framework library is not beside the program\n");
        return 1;
    }
    lpf->SetPreferenceForKey("EnablePlugin", true);
    lpf->SetLongPreferenceForKey("RMF5", -1); // no replacement queued: the benchmark measures the rest
    PortolanGlobals::SetPluginServicesEnabled(true);
    PortolanGlobals::SetLoggedIn(true);
    PortolanGlobals::SetWorkgroupAccess(true);
    InstantFontManager fontManager(kFonts);
    FontManagerInterface::SetFontManagerForTesting(&fontManager);

    // Baseline: one existence check of a document's file.
    const double existence = BestMeanMicroseconds(
        rounds * 50, [](int i)
        { GetFileAttributesA(sDocuments[static_cast<std::size_t>(i) % sDocuments.size()].path.c_str()); });

    // The plug-in's work for one opened document of 50 fonts, and the font manager's answer alone.
    CFMutableArrayRef scratch = CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks);
    const double answer =
        BestMeanMicroseconds(rounds,
                             [&](int)
                             {
                                 CFArrayRemoveAllValues(scratch);
                                 fontManager.ActivateDocumentFontsByPath("", scratch, scratch, scratch);
                             });
    CFRelease(scratch);
    const double perDocument = MeanMicroseconds(kDocuments,
                                                [](int i)
                                                {
                                                    sActive = static_cast<std::size_t>(i);
                                                    DocumentEvents::HandleOpenedDocument(
                                                        sDocuments[static_cast<std::size_t>(i)].path, false);
                                                });
    PhotoshopSuites::ReleaseAllSuites();

    // The host's share of an idle step: the document count, each document's alias, the active
    // document's ID twice (the dialog check), as the plug-in asks for them.
    const auto ask = [](DescriptorClassID desiredClass, DescriptorKeyID key, std::uint32_t index)
    {
        PIActionReference reference = nullptr;
        RefMake(&reference);
        RefPutProperty(reference, PSFourCharCode("Prpr"), key);
        if (index == 0)
        {
            RefPutEnumerated(reference, desiredClass, PSFourCharCode("Ordn"), PSFourCharCode("Trgt"));
        }
        else
        {
            RefPutIndex(reference, desiredClass, index);
        }
        PIActionDescriptor result = nullptr;
        Get(&result, reference);
        DescriptorTypeID type = 0;
        DescGetType(result, key, &type);
        if (type == PSFourCharCode("alis"))
        {
            Handle alias = nullptr;
            DescGetAlias(result, key, &alias);
            HandleDispose(alias);
        }
        else
        {
            std::int32_t value = 0;
            DescGetInteger(result, key, &value);
        }
        DescFree(result);
        RefFree(reference);
    };
    const auto hostAnswers = [&](int)
    {
        ask(PSFourCharCode("capp"), PSFourCharCode("NmbD"), 0);
        for (std::uint32_t index = 1; index <= kDocuments; ++index)
        {
            ask(PSFourCharCode("Dcmn"), PSFourCharCode("FilR"), index);
        }
        ask(PSFourCharCode("Dcmn"), PSFourCharCode("DocI"), 0);
        ask(PSFourCharCode("Dcmn"), PSFourCharCode("DocI"), 0);
    };

    // The idle timer step with the 50 documents tracked (nothing new, nothing due), and what others
    // do for it: the host's answers, the framework's preference reads (the step reads "EnablePlugin"
    // once, and once more when it searches for dialogs), the system's check of the main window and
    // its pass over the top-level windows (every other step while the active document's fonts are
    // handled). Measured side by side in five batches, so that the machine's drift touches the step
    // and its baselines alike; the batch where the plug-in's own code took least is reported.
    constexpr double kPreferenceReadsPerStep = 1.5;
    constexpr double kWindowPassesPerStep = 0.5;
    sActive = 0;
    const HWND mainWindow = static_cast<HWND>(PortolanGlobals::FindHostMainWindow());
    IdleStepFigures figures;
    for (int batch = 0; batch < 5; ++batch)
    {
        const int batchRounds = std::max(1, rounds / 5);
        IdleStepFigures measured;
        measured.step = MeanMicroseconds(batchRounds,
                                         [](int i)
                                         {
                                             DocumentEvents::SetTimerGate(0);
                                             DocumentEvents::TimerStep(static_cast<TUInt32>(i));
                                         });
        measured.scan =
            MeanMicroseconds(batchRounds, [](int) { DocumentEvents::CheckForNewlyOpenedDocuments(); });
        measured.dialogs = MeanMicroseconds(batchRounds, [](int) { DecideDialogSuppression(); });
        measured.host = MeanMicroseconds(batchRounds, hostAnswers);
        measured.preferenceRead = MeanMicroseconds(batchRounds, [lpf](int) { lpf->GetEnablePlugin(); });
        measured.windowCheck = MeanMicroseconds(batchRounds, [mainWindow](int) { IsWindow(mainWindow); });
        measured.windowPass = MeanMicroseconds(batchRounds, [](int) { SnapshotTopLevelWindows(); });
        measured.others = measured.host + kPreferenceReadsPerStep * measured.preferenceRead +
                          measured.windowCheck + kWindowPassesPerStep * measured.windowPass;
        if (batch == 0 || measured.step - measured.others < figures.step - figures.others)
        {
            figures = measured;
        }
    }

    std::printf("plugin_bench: %d rounds, %d tracked documents, %d fonts per document\n", rounds,
                static_cast<int>(AllTrackedDocuments::GetAllTrackedDocuments().size()), kFonts);
    const double own = figures.step - figures.others;
    std::printf("  baseline: one file existence check             %9.2f us\n", existence);
    std::printf("  baseline: the host answering a step's queries  %9.2f us  (53 queries)\n", figures.host);
    std::printf("  baseline: one framework preference read        %9.2f us\n", figures.preferenceRead);
    std::printf("  baseline: the check of the main window         %9.2f us\n", figures.windowCheck);
    std::printf("  baseline: one pass over the top-level windows  %9.2f us\n", figures.windowPass);
    std::printf("  idle timer step, 50 documents                  %9.2f us  = %6.1f x the host's share\n",
                figures.step, figures.step / figures.host);
    std::printf("    scan for newly opened documents              %9.2f us\n", figures.scan);
    std::printf("    dialog decision                              %9.2f us\n", figures.dialogs);
    std::printf("    host, framework and window calls            %9.2f us\n", figures.others);
    std::printf("    the plug-in's own code                       %9.2f us  = %6.1f x one file check  (goal "
                "< 50 us)\n",
                own, own / existence);
    std::printf(
        "  opened document of 50 fonts, plug-in's work  %9.2f us  = %6.1f x baseline  (goal < 5000 us)\n",
        perDocument - answer, (perDocument - answer) / existence);
    std::printf("    (font manager's answer, taken out:         %9.2f us)\n", answer);
    FontManagerInterface::SetFontManagerForTesting(nullptr);
    std::filesystem::remove_all(folder);
    return 0;
}
