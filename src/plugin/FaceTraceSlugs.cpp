#include "FaceTraceSlugs.h"

#include "CommonFunctionality.h"
#include "FaceTraceSupport.h"
#include "FontManagerInterface.h"
#include "GCFRef.h"
#include "GLogger.h"
#include "LPILoader.h"
#include "PhotoshopFontUtils.h"
#include "PhotoshopSuites.h"
#include "PortolanGlobals.h"
#include "TrackedDocuments.h"

#include <cstring>
#include <vector>

namespace
{
constexpr TSInt32 kAllWorkgroups = -2;

constexpr const char* kReserializeScript =
    "if (ExternalObject.AdobeXMPScript === undefined) {    ExternalObject.AdobeXMPScript = new "
    "ExternalObject('lib:AdobeXMPScript');}var xmp = new XMPMeta( app.activeDocument.xmpMetadata.rawData "
    ");app.activeDocument.xmpMetadata.rawData = xmp.serialize();";

unsigned HexOf(const void* pointer)
{
    return static_cast<unsigned>(reinterpret_cast<std::uintptr_t>(pointer));
}
} // namespace

TSInt32 CreateFaceTraceDataForDocument(const TUTF8String& path, CFMutableArrayRef* fonts, TSInt32 workgroupID,
                                       bool getAllFontInformation, bool* allIdentified)
{
    const char* const name = "CreateFaceTraceDataForDocument";
    TraceLog(1, "Entering %s('%s', ...)", name, path.c_str());
    bool identified = false;
    GCFRef<CFMutableArrayRef> documentFonts;
    PhotoshopFontUtils::PSGetDocumentFonts(documentFonts.OutPointer(), path);
    TSInt32 result = 0;
    if (documentFonts)
    {
        CommonFunctionality::RemoveFontsThatHaveNoPossibleReplacement(documentFonts.Get());
        const CFIndex countBefore = CFArrayGetCount(documentFonts.Get());
        FaceTraceSupport::AppendFaceTraceDataToFonts(documentFonts.Get(), workgroupID, true,
                                                     getAllFontInformation, false);
        identified = CFArrayGetCount(documentFonts.Get()) == countBefore;
        FontManagerInterface* fontManager = FontManagerInterface::GetFontManager();
        TrackedDocumentPtr record = AllTrackedDocuments::FindTrackedDocumentByPath(path);
        if (record != nullptr && fontManager != nullptr)
        {
            const bool canExport = fontManager->CanExportFromWorkgroup(documentFonts.Get());
            record->SetCanExport(canExport);
            TraceLog(0, "Updating 'can export' flag to %s", canExport ? "true" : "false");
        }
    }
    else
    {
        identified = true;
        result = -43;
    }
    if (fonts != nullptr)
    {
        *fonts = documentFonts.Release();
    }
    if (allIdentified != nullptr)
    {
        *allIdentified = identified;
    }
    TraceLog(-1, "Exiting %s('%s', ...) with return code %d", name, path.c_str(), static_cast<int>(result));
    return result;
}

void UpdateFaceTraceSlugsForDocument(const TUTF8String& path)
{
    TraceLog(1, "Entering %s(%s)", "UpdateFaceTraceSlugsForDocument", path.c_str());
    GCFRef<CFMutableArrayRef> fonts;
    if (CreateFaceTraceDataForDocument(path, fonts.OutPointer(), kAllWorkgroups, false, nullptr) == 0 &&
        fonts)
    {
        WriteXMPFaceTraceSlugToFile(path, fonts.Get(), 0);
    }
    TraceLog(-1, "Exiting %s(%s)", "UpdateFaceTraceSlugsForDocument", path.c_str());
}

void RemoveAllFaceTraceSlugsForDocument(const TUTF8String& path)
{
    TraceLog(1, "Entering %s(%s)", "RemoveAllFaceTraceSlugsForDocument", path.c_str());
    WriteXMPFaceTraceSlugToFile(path, nullptr, 0);
    TraceLog(-1, "Exiting %s(%s)", "RemoveAllFaceTraceSlugsForDocument", path.c_str());
}

TErrorCode WriteXMPFaceTraceSlugToFile(const TUTF8String& fullPath, CFArrayRef docFaceTraceData, TUInt32 hint)
{
    const char* const name = "WriteXMPFaceTraceSlugToFile";
    TraceLog(1, "Entering %s(fullPath=%s, docFaceTraceData=0x%08x, hint=0x%08x)", name, fullPath.c_str(),
             HexOf(docFaceTraceData), static_cast<unsigned>(hint));
    TErrorCode result = CoreErrorCodes::kUnknownError;
    GCFRef<CFMutableArrayRef> slugFonts;
    if (docFaceTraceData != nullptr)
    {
        slugFonts.Reset(FaceTraceSupport::CreateMutableDeepCopy(docFaceTraceData));
        FaceTraceSupport::RemoveUnsluggableFaceTraceKeys(slugFonts.Get());
    }
    else
    {
        slugFonts.Reset(CFArrayCreateMutable(kCFAllocatorDefault, 0, &kCFTypeArrayCallBacks));
    }
    if (slugFonts)
    {
        result = CoreErrorCodes::kSuccess;
        LPILoader* loader = LPILoader::GetSharedInstance();
        if (loader != nullptr && loader->GetMissingCount() == 0 && loader->pfWriteFontUsage != nullptr &&
            loader->pfGetPluginFacadeInstance != nullptr)
        {
            result = loader->pfWriteFontUsage(loader->pfGetPluginFacadeInstance(), fullPath.c_str(),
                                              slugFonts.Get());
        }
    }
    PortolanGlobals::SaveDocumentFonts(fullPath, hint);
    TraceLog(-1, "%s() returning %d", name, static_cast<int>(result));
    return result;
}

void ReserializeActiveDocumentXMP()
{
    // The script is ASCII: each byte becomes one UTF-16 unit.
    const std::size_t length = std::strlen(kReserializeScript);
    std::vector<ASUnicode> script(length + 1, 0);
    for (std::size_t i = 0; i < length; ++i)
    {
        script[i] = static_cast<unsigned char>(kReserializeScript[i]);
    }
    SPBasicSuite* basic = PhotoshopSuites::GetBasicSuite();
    if (basic == nullptr || basic->AcquireSuite == nullptr)
    {
        return;
    }
    const void* suite = nullptr;
    if (basic->AcquireSuite(kPSJavaScriptScriptingSuite, kPSJavaScriptScriptingSuiteVersion, &suite) !=
            kSPNoError ||
        suite == nullptr)
    {
        return;
    }
    const auto* scripting = static_cast<const PSJavaScriptScriptingSuite*>(suite);
    JSEngineRef engine = nullptr;
    if (scripting->CreateEngine(&engine) == kSPNoError)
    {
        const ASUnicode* result = nullptr;
        scripting->ExecuteScript(engine, script.data(), kPSScriptRunWithoutDebugger, &result);
        scripting->DeleteEngine(engine);
    }
    basic->ReleaseSuite(kPSJavaScriptScriptingSuite, kPSJavaScriptScriptingSuiteVersion);
}
