#include "DocumentSteps.h"

#include "AliasRecord.h"
#include "DocumentList.h"
#include "DocumentXMP.h"
#include "FontAlertWindow_Win.h"
#include "GStringEncodings.h"
#include "HostVersion.h"
#include "InstalledFonts.h"
#include "MainWindow.h"
#include "ScenarioValues.h"
#include "TypeholdFonts.h"

#include <windows.h>

#include <tlhelp32.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <cwchar>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <random>

namespace
{
using Step = ScenarioPlayer::Step;
using StepStatus = ScenarioPlayer::StepStatus;

constexpr DescriptorEventID kEventMake = FourCharCode("Mk  ");
constexpr DescriptorEventID kEventClose = FourCharCode("Cls ");
constexpr DescriptorEventID kEventSave = FourCharCode("save");
constexpr DescriptorClassID kClassDocument = FourCharCode("Dcmn");
constexpr DescriptorKeyID kKeyNew = FourCharCode("Nw  ");
constexpr DescriptorKeyID kKeyName = FourCharCode("Nm  ");
constexpr DescriptorKeyID kKeyDocumentID = FourCharCode("DocI");
constexpr DescriptorKeyID kKeyIn = FourCharCode("In  ");
constexpr const char* kFontTableVariable = "LUMORAND_SYSTEM_FONT_TABLE_DIR";
constexpr const char* kFontTableFile = "system-font-table.txt";
constexpr long long kDefaultWaitMs = 10000;

// --- Parameters, read from a step or from a wait-until condition -----------------------------------
// Each reader returns false with error set for a parameter of the wrong kind (or a required one
// that is absent); an absent optional parameter leaves the value alone.

bool Member(const JsonNode& node, const std::string& name, JsonNode& value)
{
    return node.find(name, value) && !value.is_null();
}

bool ReadString(const JsonNode& node, const std::string& name, std::string& value, bool required,
                std::string& error)
{
    JsonNode member;
    if (!Member(node, name, member))
    {
        if (required)
        {
            error = "needs \"" + name + "\"";
        }
        return !required;
    }
    if (!member.is_string())
    {
        error = "\"" + name + "\" is not a string";
        return false;
    }
    value = member.to_string();
    return true;
}

bool ReadBool(const JsonNode& node, const std::string& name, bool& value, std::string& error)
{
    JsonNode member;
    if (!Member(node, name, member))
    {
        return true;
    }
    if (!member.is_bool())
    {
        error = "\"" + name + "\" is not a boolean";
        return false;
    }
    value = member.to_bool();
    return true;
}

bool ReadCount(const JsonNode& node, const std::string& name, long long& value, bool required,
               std::string& error)
{
    JsonNode member;
    if (!Member(node, name, member))
    {
        if (required)
        {
            error = "needs \"" + name + "\"";
        }
        return !required;
    }
    if (!member.is_int() || member.to_int64() < 0)
    {
        error = "\"" + name + "\" is not a non-negative integer";
        return false;
    }
    value = member.to_int64();
    return true;
}

// A list of strings; present says whether the parameter was there.
bool ReadStrings(const JsonNode& node, const std::string& name, std::vector<std::string>& values,
                 bool& present, std::string& error)
{
    JsonNode member;
    present = Member(node, name, member);
    if (!present)
    {
        return true;
    }
    if (!member.is_array())
    {
        error = "\"" + name + "\" is not an array of strings";
        return false;
    }
    values.clear();
    for (const JsonNode& element : member.to_array())
    {
        if (!element.is_string())
        {
            error = "\"" + name + "\" is not an array of strings";
            return false;
        }
        values.push_back(element.to_string());
    }
    return true;
}

// A path parameter with ${VAR} expanded and made full (backslashes, no relative parts).
bool ReadPath(const JsonNode& node, const std::string& name, std::string& path, bool required,
              std::string& error)
{
    std::string pattern;
    if (!ReadString(node, name, pattern, required, error))
    {
        return false;
    }
    if (pattern.empty())
    {
        if (required)
        {
            error = "\"" + name + "\" is empty";
        }
        return !required;
    }
    std::string expanded;
    if (!ExpandEnvironment(pattern, expanded, error))
    {
        return false;
    }
    const std::wstring wide = OSMakeOSStringFromUTF8String(expanded);
    const DWORD size = wide.empty() ? 0 : GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    std::wstring full(size, L'\0');
    const DWORD length = size == 0 ? 0 : GetFullPathNameW(wide.c_str(), size, full.data(), nullptr);
    if (length == 0 || length >= size)
    {
        error = "\"" + name + "\" is not a usable path: '" + expanded + "'";
        return false;
    }
    full.resize(length);
    path = OSMakeUTF8StringFromOSString(full);
    return true;
}

std::filesystem::path FilePath(const std::string& utf8)
{
    return std::filesystem::path(OSMakeOSStringFromUTF8String(utf8));
}

std::string FileName(const std::string& path)
{
    const std::size_t separator = path.find_last_of("\\/");
    return separator == std::string::npos ? path : path.substr(separator + 1);
}

bool SamePath(const std::string& a, const std::string& b)
{
    const std::wstring wideA = OSMakeOSStringFromUTF8String(a);
    const std::wstring wideB = OSMakeOSStringFromUTF8String(b);
    return CompareStringOrdinal(wideA.c_str(), static_cast<int>(wideA.size()), wideB.c_str(),
                                static_cast<int>(wideB.size()), TRUE) == CSTR_EQUAL;
}

std::string Quoted(const std::string& text)
{
    return "\"" + text + "\"";
}

std::string DescribeNames(const std::vector<std::string>& names)
{
    std::string text = "[";
    for (std::size_t i = 0; i < names.size(); ++i)
    {
        text += (i == 0 ? "" : ", ") + names[i];
    }
    return text + "]";
}

std::vector<std::string> Sorted(std::vector<std::string> names)
{
    std::sort(names.begin(), names.end());
    return names;
}

bool Contains(const std::vector<std::string>& names, const std::string& name)
{
    return std::find(names.begin(), names.end(), name) != names.end();
}

std::string DescribeDocument(const SimDocument& document)
{
    return Quoted(document.mTitle) + " (" + std::to_string(document.mID) + ")";
}

// --- The documents of a run ------------------------------------------------------------------------

class DocumentStage
{
public:
    DocumentStage(PhotoshopHost& host, const std::vector<std::string>& machineFontFolders,
                  const std::map<std::string, SimSession::Condition>& conditions,
                  const AlertLanguage& language);
    ~DocumentStage();

    void Register(ScenarioPlayer& player, const std::shared_ptr<DocumentStage>& self);

private:
    // A check of the current state: false with error for an unreadable parameter; otherwise
    // problem is empty when the check holds.
    using Check = bool (DocumentStage::*)(const JsonNode& node, std::string& problem, std::string& error);

    StepStatus Open(Step& step);
    StepStatus New(Step& step);
    StepStatus Save(Step& step);
    StepStatus Close(Step& step);
    StepStatus Activate(Step& step);
    StepStatus KillProcess(Step& step);
    StepStatus RemoveFile(Step& step);
    StepStatus PostFontChange(Step& step);
    StepStatus FailNextPlay(Step& step);
    StepStatus Expect(Step& step, Check check);
    StepStatus WaitUntil(Step& step);

    bool CheckDocuments(const JsonNode& node, std::string& problem, std::string& error);
    bool CheckFonts(const JsonNode& node, std::string& problem, std::string& error);
    bool CheckPlays(const JsonNode& node, std::string& problem, std::string& error);
    bool CheckInstalled(const JsonNode& node, std::string& problem, std::string& error);
    bool CheckDialogs(const JsonNode& node, std::string& problem, std::string& error);
    bool CheckDialogKeys(const JsonNode& node, std::string& problem, std::string& error);

    // The document a "document" parameter names (title, path or ID), or the active one when
    // the parameter is absent and not required. Null with error when there is none.
    SimDocument* DocumentParameter(const JsonNode& node, bool required, std::string& error);
    // Reads the system font table again; a new problem reading it goes into the transcript.
    void RefreshFontTable();
    std::string FontTablePath() const;
    // The document's font names from its file, with a note when they cannot be read.
    std::vector<std::string> ReadFonts(const std::string& path, std::string& note);
    void OpenAlert(FontAlertWindow::Kind kind, const SimDocument& document, const AlertLanguage& language);
    OSErr ReplaceSubstitutes();

    PhotoshopHost& mHost;
    Transcript& mTranscript;
    DocumentList mDocuments;
    InstalledFonts mFonts;
    std::string mTableProblem;
    const AlertLanguage& mLanguage;
    std::vector<std::unique_ptr<FontAlertWindow>> mAlerts;
    // Copies of the fonts of documents with alert windows, as they were when the window opened
    // (the document may be closed before its window).
    std::map<std::uint32_t, std::vector<std::string>> mAlertFonts;
    int mUntitledCount = 0;
    std::map<std::string, Check> mChecks;
    // The conditions of wait-until that other steps add (SimSession::mConditions).
    const std::map<std::string, SimSession::Condition>& mConditions;
};

DocumentStage::DocumentStage(PhotoshopHost& host, const std::vector<std::string>& machineFontFolders,
                             const std::map<std::string, SimSession::Condition>& conditions,
                             const AlertLanguage& language)
    : mHost(host), mTranscript(host.GetTranscript()),
      mDocuments([](const SimDocument& document)
                 { return MakeFileAlias(document.mPath, document.mStaleAlias); }),
      mLanguage(language), mConditions(conditions)
{
    mFonts.ScanMachineFonts(machineFontFolders);
    std::string folders;
    for (const std::string& folder : machineFontFolders)
    {
        folders += (folders.empty() ? "" : ", ") + folder;
    }
    mTranscript.Line("machine fonts: " + std::to_string(mFonts.MachineFontCount()) +
                     " PostScript name(s) from " + std::to_string(mFonts.MachineFileCount()) +
                     " font file(s) in " + folders);

    mChecks = {{"expect-documents", &DocumentStage::CheckDocuments},
               {"expect-fonts", &DocumentStage::CheckFonts},
               {"expect-plays", &DocumentStage::CheckPlays},
               {"expect-installed", &DocumentStage::CheckInstalled},
               {"expect-dialogs", &DocumentStage::CheckDialogs},
               {"expect-dialog-keys", &DocumentStage::CheckDialogKeys}};

    mHost.SetGetHandler([this](const ActionReferenceData& reference, ActionDescriptorData& result,
                               std::string& why) { return mDocuments.Get(reference, result, why); });
    mHost.SetPlayHandler(mHost.StringIDs().ToTypeID("replaceSubstitutes"),
                         [this](const ActionDescriptorData*, std::int32_t, ActionDescriptorData&)
                         { return ReplaceSubstitutes(); });
    mHost.SetScriptHandler(
        [this](const std::string&)
        {
            if (SimDocument* active = mDocuments.Active())
            {
                active->mXMPReserialised = true;
            }
        });
    SetFontChangeHandler(
        [this]
        {
            RefreshFontTable();
            mTranscript.Line("WM_FONTCHANGE: system font table re-read: " +
                             std::to_string(mFonts.TableFontCount()) + " font(s)");
        });
}

DocumentStage::~DocumentStage()
{
    SetFontChangeHandler(nullptr);
    mHost.SetScriptHandler(nullptr);
    mHost.SetGetHandler(nullptr);
}

void DocumentStage::Register(ScenarioPlayer& player, const std::shared_ptr<DocumentStage>& self)
{
    using Member = StepStatus (DocumentStage::*)(Step&);
    const std::pair<const char*, Member> actions[] = {
        {"open", &DocumentStage::Open},
        {"new", &DocumentStage::New},
        {"save", &DocumentStage::Save},
        {"close", &DocumentStage::Close},
        {"activate", &DocumentStage::Activate},
        {"kill-process", &DocumentStage::KillProcess},
        {"delete-file", &DocumentStage::RemoveFile},
        {"post-font-change", &DocumentStage::PostFontChange},
        {"fail-next-play", &DocumentStage::FailNextPlay},
        {"wait-until", &DocumentStage::WaitUntil},
    };
    // Made, saved and closed documents are announced to the plug-ins.
    for (const auto& [name, handler] : actions)
    {
        const bool notifies =
            std::string(name) == "new" || std::string(name) == "save" || std::string(name) == "close";
        player.AddStep(
            name, [self, handler = handler](Step& step) { return ((*self).*handler)(step); },
            notifies ? ScenarioPlayer::kCallsPlugins : ScenarioPlayer::kNoFlags);
    }
    for (const auto& [name, check] : mChecks)
    {
        player.AddStep(name, [self, check = check](Step& step) { return self->Expect(step, check); });
    }
    // A closed alert window goes at the next tick, once the keys still queued for it have come.
    player.AddTickHook(
        [self]
        {
            for (const auto& alert : self->mAlerts)
            {
                alert->DestroyIfClosed();
            }
        });
    player.AddFinisher(
        [self]
        {
            for (const auto& alert : self->mAlerts)
            {
                if (alert->IsOpen())
                {
                    self->mTranscript.Line(alert->Describe() + " for " + Quoted(alert->DocumentTitle()) +
                                           " (" + std::to_string(alert->DocumentID()) +
                                           ") still open at the end");
                }
            }
        });
}

std::string DocumentStage::FontTablePath() const
{
    std::string folder;
    if (!GetEnvironment(kFontTableVariable, folder) || folder.empty())
    {
        return {};
    }
    return folder + (folder.back() == '\\' || folder.back() == '/' ? "" : "\\") + kFontTableFile;
}

void DocumentStage::RefreshFontTable()
{
    const std::string path = FontTablePath();
    std::string problem;
    if (!mFonts.ReadTable(path, problem))
    {
        problem = "system font table: " + problem;
    }
    else if (path.empty())
    {
        problem = std::string(kFontTableVariable) + " is not set: no font manager fonts";
    }
    else if (std::error_code ignored;
             mFonts.TableFontCount() == 0 && !std::filesystem::exists(FilePath(path), ignored))
    {
        problem = "no system font table at '" + path + "' yet";
    }
    if (problem != mTableProblem)
    {
        mTableProblem = problem;
        if (!problem.empty())
        {
            mTranscript.Line(problem);
        }
    }
}

std::vector<std::string> DocumentStage::ReadFonts(const std::string& path, std::string& note)
{
    std::vector<std::string> names;
    std::string error;
    if (!typehold::ReadDocumentFontNames(path, names, error))
    {
        names.clear();
        note = " (cannot read its fonts: " + error + ")";
    }
    return names;
}

SimDocument* DocumentStage::DocumentParameter(const JsonNode& node, bool required, std::string& error)
{
    JsonNode member;
    if (!Member(node, "document", member))
    {
        if (required)
        {
            error = "needs \"document\"";
            return nullptr;
        }
        SimDocument* active = mDocuments.Active();
        if (active == nullptr)
        {
            error = "no document is open";
        }
        return active;
    }
    std::string what;
    if (member.is_int())
    {
        what = std::to_string(member.to_int64());
    }
    else if (member.is_string())
    {
        what = member.to_string();
    }
    else
    {
        error = "\"document\" is neither a title, a path nor an ID";
        return nullptr;
    }
    SimDocument* document = mDocuments.Find(what);
    if (document == nullptr)
    {
        // A path may be written another way than Photoshop keeps it.
        std::string path;
        std::string ignored;
        if (member.is_string() && ReadPath(node, "document", path, false, ignored))
        {
            for (const auto& candidate : mDocuments.Documents())
            {
                if (!candidate->mPath.empty() && SamePath(candidate->mPath, path))
                {
                    return candidate.get();
                }
            }
        }
        error = "no open document is " + Quoted(what);
    }
    return document;
}

void DocumentStage::OpenAlert(FontAlertWindow::Kind kind, const SimDocument& document,
                              const AlertLanguage& language)
{
    mAlertFonts[document.mID] = document.mFonts;
    std::string error;
    auto alert = FontAlertWindow::Open(
        kind, language, document.mID, document.mTitle, document.mMissingAtOpen,
        [this](const FontAlertWindow& window, const std::string& how)
        {
            RefreshFontTable();
            const bool installed = mFonts.Missing(mAlertFonts[window.DocumentID()]).empty();
            mTranscript.Line(window.Describe() + " for " + Quoted(window.DocumentTitle()) + " (" +
                             std::to_string(window.DocumentID()) + ") closed by " + how +
                             "; fonts all installed: " + (installed ? "yes" : "no"));
        },
        [this](const FontAlertWindow& window, bool toButton, const std::string& key)
        {
            mTranscript.Line("key message to the " + window.Describe() + " for " +
                             Quoted(window.DocumentTitle()) + " (" + std::to_string(window.DocumentID()) +
                             ")" +
                             (toButton ? ", its button " + Quoted(window.ButtonText()) : std::string()) +
                             ": " + key + (window.IsOpen() ? "" : " (closed by then)"));
        },
        error);
    if (alert == nullptr)
    {
        mHost.Fail("cannot open the window for " + DescribeDocument(document) + ": " + error);
        return;
    }
    mTranscript.Line(alert->Describe() + " for " + DescribeDocument(document) + " opened");
    mTranscript.Line(alert->Describe() + " for " + DescribeDocument(document) + ": title " +
                     Quoted(alert->Title()) + ", button " + Quoted(alert->ButtonText()));
    mAlerts.push_back(std::move(alert));
}

// --- Actions ---------------------------------------------------------------------------------------

StepStatus DocumentStage::Open(Step& step)
{
    const JsonNode& node = step.Node();
    std::string path;
    std::string title;
    std::string error;
    bool stale = false;
    bool dialog = true;
    bool messageBox = false;
    std::string languageCode = mLanguage.mCode;
    if (!ReadPath(node, "path", path, true, error) || !ReadString(node, "title", title, false, error) ||
        !ReadString(node, "language", languageCode, false, error) ||
        !ReadBool(node, "staleAlias", stale, error) || !ReadBool(node, "missingFontsDialog", dialog, error) ||
        !ReadBool(node, "missingFontsMessageBox", messageBox, error))
    {
        step.Error(error);
        return StepStatus::kDone;
    }
    // The dialog's language for this document only (--language for the others).
    const AlertLanguage* language = FindAlertLanguage(languageCode);
    if (language == nullptr)
    {
        step.Error("\"language\" is one of " + AlertLanguageCodes() + ", not " + Quoted(languageCode));
        return StepStatus::kDone;
    }
    std::error_code code;
    if (!std::filesystem::is_regular_file(FilePath(path), code))
    {
        step.Error("there is no file '" + path + "' to open");
        return StepStatus::kDone;
    }
    for (const auto& open : mDocuments.Documents())
    {
        if (!open->mPath.empty() && SamePath(open->mPath, path))
        {
            mDocuments.Activate(open->mID);
            mTranscript.Line("open " + Quoted(path) + ": already open as " + std::to_string(open->mID) +
                             ", activated");
            return StepStatus::kDone;
        }
    }
    SimDocument document;
    document.mPath = path;
    document.mTitle = title.empty() ? FileName(path) : title;
    document.mStaleAlias = stale;
    std::string note;
    document.mFonts = ReadFonts(path, note);
    RefreshFontTable();
    document.mMissingAtOpen = mFonts.Missing(document.mFonts);
    const SimDocument& added = mDocuments.Add(std::move(document));
    mTranscript.Line("open " + Quoted(path) + " as " + std::to_string(added.mID) + ": fonts " +
                     DescribeNames(added.mFonts) + "; missing " + DescribeNames(added.mMissingAtOpen) + note);
    if (!added.mMissingAtOpen.empty())
    {
        if (dialog)
        {
            OpenAlert(FontAlertWindow::Kind::kMissingFonts, added, *language);
        }
        if (messageBox)
        {
            OpenAlert(FontAlertWindow::Kind::kMessageBox, added, *language);
        }
    }
    return StepStatus::kDone;
}

StepStatus DocumentStage::New(Step& step)
{
    const JsonNode& node = step.Node();
    std::string title;
    std::string content;
    std::string error;
    if (!ReadString(node, "title", title, false, error) || !ReadPath(node, "content", content, false, error))
    {
        step.Error(error);
        return StepStatus::kDone;
    }
    SimDocument document;
    document.mTitle = title.empty() ? "Untitled-" + std::to_string(++mUntitledCount) : title;
    std::string note;
    if (!content.empty())
    {
        std::ifstream in(FilePath(content), std::ios::binary);
        if (!in)
        {
            step.Error("cannot read the content file '" + content + "'");
            return StepStatus::kDone;
        }
        document.mContent.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        document.mFonts = ReadFonts(content, note);
    }
    RefreshFontTable();
    document.mMissingAtOpen = mFonts.Missing(document.mFonts);
    const SimDocument& added = mDocuments.Add(std::move(document));
    mTranscript.Line("new " + Quoted(added.mTitle) + " as " + std::to_string(added.mID) + ": fonts " +
                     DescribeNames(added.mFonts) + "; missing " + DescribeNames(added.mMissingAtOpen) + note);

    ActionDescriptorData made;
    made.Put(kKeyName, ActionValue::Text(added.mTitle));
    ActionDescriptorData event;
    event.Put(kKeyNew, ActionValue::Object(kTypeObject, kClassDocument, made));
    event.Put(kKeyDocumentID, ActionValue::Integer(static_cast<std::int32_t>(added.mID)));
    mHost.Notify(kEventMake, event);
    return StepStatus::kDone;
}

namespace
{
// An XMP identifier: a prefix and 32 random hexadecimal digits in the usual groups.
std::string NewXMPIdentifier(const char* prefix)
{
    static std::mt19937_64 sGenerator{std::random_device{}()};
    char text[64];
    const std::uint64_t high = sGenerator();
    const std::uint64_t low = sGenerator();
    std::snprintf(text, sizeof text, "%s%08x-%04x-%04x-%04x-%012llx", prefix,
                  static_cast<unsigned>(high >> 32), static_cast<unsigned>((high >> 16) & 0xFFFF),
                  static_cast<unsigned>(high & 0xFFFF), static_cast<unsigned>(low >> 48),
                  static_cast<unsigned long long>(low & 0xFFFFFFFFFFFFull));
    return text;
}

// Puts the XMP packet Photoshop writes with a saved document into the file (image resource 1060
// of a Photoshop document, the metadata stream of a PDF), keeping what the document's packet
// already says. Returns what the transcript says about it.
std::string WriteSavedDocumentXMP(const std::string& path)
{
    VersionNumbers version{};
    ReadFileVersion(ExecutablePath(), version);
    typehold::GSavedDocumentXMP saved;
    saved.creatorTool =
        "Adobe Photoshop " + std::to_string(version[0]) + "." + std::to_string(version[1]) + " (Windows)";
    const bool photoshop = typehold::DocumentKindOfPath(path) == typehold::DocumentKind::kPhotoshop;
    saved.format = photoshop ? "image/vnd.adobe.photoshop" : "application/pdf";
    saved.colorMode = "3";
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_s(&utc, &now);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%dT%H:%M:%S+00:00", &utc);
    saved.date = date;
    saved.instanceID = NewXMPIdentifier("xmp.iid:");
    saved.documentID = NewXMPIdentifier("xmp.did:");
    std::string error;
    const TErrorCode code = typehold::UpdateDocumentXMP(
        path,
        [&saved](const typehold::GExistingXMP& existing, std::string& packet, std::string& why)
        {
            return typehold::MergeSavedDocumentProperties(existing.readable ? existing.packet : std::string(),
                                                          saved, packet, why)
                       ? CoreErrorCodes::kSuccess
                       : CoreErrorCodes::kError;
        },
        nullptr, error);
    return code == CoreErrorCodes::kSuccess ? std::string("; XMP written") : "; XMP not written: " + error;
}
} // namespace

StepStatus DocumentStage::Save(Step& step)
{
    const JsonNode& node = step.Node();
    std::string path;
    std::string error;
    SimDocument* document = DocumentParameter(node, false, error);
    if (document == nullptr || !ReadPath(node, "path", path, false, error))
    {
        step.Error(error);
        return StepStatus::kDone;
    }
    const bool untitled = document->mPath.empty();
    if (path.empty() && untitled)
    {
        step.Error("the untitled document " + DescribeDocument(*document) + " needs \"path\" to be saved");
        return StepStatus::kDone;
    }
    const std::string target = path.empty() ? document->mPath : path;
    std::string how;
    std::string xmp; // a save in place leaves the file as it is
    if (untitled)
    {
        std::ofstream out(FilePath(target), std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(document->mContent.data()),
                  static_cast<std::streamsize>(document->mContent.size()));
        if (!out)
        {
            step.Fail("cannot write '" + target + "'");
            return StepStatus::kDone;
        }
        out.close();
        how = " (its content, " + std::to_string(document->mContent.size()) + " bytes)";
        // A new document has a packet once its XMP was re-serialised.
        if (document->mXMPReserialised)
        {
            xmp = WriteSavedDocumentXMP(target);
        }
    }
    else if (!SamePath(target, document->mPath))
    {
        if (!CopyFileW(OSMakeOSStringFromUTF8String(document->mPath).c_str(),
                       OSMakeOSStringFromUTF8String(target).c_str(), FALSE))
        {
            step.Fail("cannot copy '" + document->mPath + "' to '" + target + "': error " +
                      std::to_string(GetLastError()));
            return StepStatus::kDone;
        }
        how = " (a copy of " + Quoted(document->mPath) + ")";
        xmp = WriteSavedDocumentXMP(target);
    }
    if (!SamePath(target, document->mPath))
    {
        document->mPath = target;
        document->mTitle = FileName(target);
        document->mStaleAlias = false;
        document->mContent.clear();
    }
    mTranscript.Line("save " + DescribeDocument(*document) + " to " + Quoted(target) + how +
                     (document->mXMPReserialised ? "; its XMP was re-serialised" : "") + xmp);

    ActionDescriptorData event;
    event.Put(kKeyIn, mDocuments.Alias(*document));
    event.Put(kKeyDocumentID, ActionValue::Integer(static_cast<std::int32_t>(document->mID)));
    mHost.Notify(kEventSave, event);
    return StepStatus::kDone;
}

StepStatus DocumentStage::Close(Step& step)
{
    std::string error;
    SimDocument* document = DocumentParameter(step.Node(), false, error);
    if (document == nullptr)
    {
        step.Error(error);
        return StepStatus::kDone;
    }
    const std::uint32_t id = document->mID;
    mTranscript.Line("close " + DescribeDocument(*document));
    mDocuments.Remove(id);
    ActionDescriptorData event;
    event.Put(kKeyDocumentID, ActionValue::Integer(static_cast<std::int32_t>(id)));
    mHost.Notify(kEventClose, event);
    return StepStatus::kDone;
}

StepStatus DocumentStage::Activate(Step& step)
{
    std::string error;
    SimDocument* document = DocumentParameter(step.Node(), true, error);
    if (document == nullptr)
    {
        step.Error(error);
        return StepStatus::kDone;
    }
    mDocuments.Activate(document->mID);
    mTranscript.Line("activate " + DescribeDocument(*document));
    return StepStatus::kDone;
}

// Removes a file behind Photoshop's back (a document that vanishes while it is open).
StepStatus DocumentStage::RemoveFile(Step& step)
{
    std::string path;
    std::string error;
    if (!ReadPath(step.Node(), "path", path, true, error))
    {
        step.Error(error);
        return StepStatus::kDone;
    }
    const bool removed = DeleteFileW(OSMakeOSStringFromUTF8String(path).c_str()) != 0;
    mTranscript.Line("delete-file " + Quoted(path) + (removed ? ": removed" : ": not removed"));
    if (!removed)
    {
        step.Fail("could not remove " + path);
    }
    return StepStatus::kDone;
}

// Posts WM_FONTCHANGE to this Photoshop's main window, as the system does to every top-level
// window when fonts come or go.
StepStatus DocumentStage::PostFontChange(Step& step)
{
    HWND mainWindow = nullptr;
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND window, LPARAM found) -> BOOL
        {
            wchar_t className[64] = {};
            GetClassNameW(window, className, 64);
            if (std::wcscmp(className, L"Photoshop") == 0)
            {
                *reinterpret_cast<HWND*>(found) = window;
                return FALSE;
            }
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&mainWindow));
    if (mainWindow == nullptr || !PostMessageW(mainWindow, WM_FONTCHANGE, 0, 0))
    {
        step.Fail("no main window to post WM_FONTCHANGE to");
        return StepStatus::kDone;
    }
    mTranscript.Line("post-font-change: WM_FONTCHANGE posted to the main window");
    return StepStatus::kDone;
}

StepStatus DocumentStage::KillProcess(Step& step)
{
    std::string name;
    std::string error;
    long long expected = -1;
    JsonNode expect;
    if (!ReadString(step.Node(), "name", name, true, error) ||
        (step.Node().find("expect", expect) && !ReadCount(expect, "count", expected, false, error)))
    {
        step.Error(error);
        return StepStatus::kDone;
    }
    const std::wstring wideName = OSMakeOSStringFromUTF8String(name);
    int killed = 0;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    PROCESSENTRY32W entry = {};
    entry.dwSize = sizeof entry;
    for (BOOL more = snapshot != INVALID_HANDLE_VALUE && Process32FirstW(snapshot, &entry); more;
         more = Process32NextW(snapshot, &entry))
    {
        if (entry.th32ProcessID == GetCurrentProcessId() ||
            CompareStringOrdinal(entry.szExeFile, -1, wideName.c_str(), -1, TRUE) != CSTR_EQUAL)
        {
            continue;
        }
        HANDLE process = OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, entry.th32ProcessID);
        if (process != nullptr && TerminateProcess(process, 1))
        {
            WaitForSingleObject(process, 5000);
            ++killed;
        }
        if (process != nullptr)
        {
            CloseHandle(process);
        }
    }
    if (snapshot != INVALID_HANDLE_VALUE)
    {
        CloseHandle(snapshot);
    }
    mTranscript.Line("kill-process " + name + ": " + std::to_string(killed) + " process(es) terminated");
    if (expected >= 0 && killed != expected)
    {
        step.Fail(std::to_string(killed) + " process(es) named " + name + " terminated, expected " +
                  std::to_string(expected));
    }
    return StepStatus::kDone;
}

StepStatus DocumentStage::FailNextPlay(Step& step)
{
    long long count = 0;
    std::string error;
    JsonNode member;
    std::int32_t result = -128;
    if (!ReadCount(step.Node(), "count", count, true, error))
    {
        step.Error(error);
        return StepStatus::kDone;
    }
    if (Member(step.Node(), "error", member) && (!ScenarioPlayer::ParseResult(member, result) ||
                                                 result < INT16_MIN || result > INT16_MAX || result == 0))
    {
        step.Error("\"error\" is not a non-zero 16-bit result");
        return StepStatus::kDone;
    }
    mHost.FailNextPlays(static_cast<int>(std::min<long long>(count, INT32_MAX)), static_cast<OSErr>(result));
    mTranscript.Line("fail-next-play: the next " + std::to_string(count) + " play(s) answer " +
                     FormatResult(result));
    return StepStatus::kDone;
}

OSErr DocumentStage::ReplaceSubstitutes()
{
    RefreshFontTable();
    for (const auto& document : mDocuments.Documents())
    {
        std::vector<std::string> replaced;
        std::vector<std::string> stillMissing;
        for (const std::string& font : document->mMissingAtOpen)
        {
            if (Contains(document->mReplaced, font))
            {
                continue;
            }
            (mFonts.IsInstalled(font) ? replaced : stillMissing).push_back(font);
        }
        document->mReplaced.insert(document->mReplaced.end(), replaced.begin(), replaced.end());
        mTranscript.Line("replaceSubstitutes: " + Quoted(document->mTitle) + " replaced " +
                         DescribeNames(replaced) + "; still missing " + DescribeNames(stillMissing));
    }
    return kActionNoError;
}

// --- Checks ----------------------------------------------------------------------------------------

StepStatus DocumentStage::Expect(Step& step, Check check)
{
    std::string problem;
    std::string error;
    const bool made = (this->*check)(step.Node(), problem, error);
    return step.Conclude(made, problem, error);
}

StepStatus DocumentStage::WaitUntil(Step& step)
{
    JsonNode condition;
    std::string kind;
    std::string error;
    long long timeoutMs = kDefaultWaitMs;
    if (!Member(step.Node(), "condition", condition) || !condition.is_map() ||
        !ReadString(condition, "do", kind, true, error) ||
        (mChecks.count(kind) == 0 && mConditions.count(kind) == 0))
    {
        std::string names = "expect-documents, expect-fonts, expect-plays, expect-installed, expect-dialogs, "
                            "expect-dialog-keys";
        for (const auto& [name, check] : mConditions)
        {
            names += ", " + name;
        }
        step.Error("\"condition\" is not an object whose \"do\" names one of " + names);
        return StepStatus::kDone;
    }
    if (!ReadCount(step.Node(), "timeoutMs", timeoutMs, false, error))
    {
        step.Error(error);
        return StepStatus::kDone;
    }
    std::string problem;
    const bool readable = mChecks.count(kind) != 0 ? (this->*mChecks[kind])(condition, problem, error)
                                                   : mConditions.at(kind)(condition, problem, error);
    if (!readable)
    {
        step.Error(error);
        return StepStatus::kDone;
    }
    if (problem.empty())
    {
        mTranscript.Line("wait-until: " + kind + " held after " + std::to_string(step.ElapsedMs()) + " ms");
        return StepStatus::kDone;
    }
    if (step.ElapsedMs() >= timeoutMs)
    {
        step.Fail("still not after " + std::to_string(timeoutMs) + " ms: " + problem);
        return StepStatus::kDone;
    }
    return StepStatus::kAgain;
}

bool DocumentStage::CheckDocuments(const JsonNode& node, std::string& problem, std::string& error)
{
    JsonNode expected;
    JsonNode active;
    const bool checkList = Member(node, "documents", expected);
    const bool checkActive = node.find("active", active);
    if (!checkList && !checkActive)
    {
        error = "needs \"documents\" or \"active\"";
        return false;
    }
    const auto& documents = mDocuments.Documents();
    std::string actual = "[";
    for (std::size_t i = 0; i < documents.size(); ++i)
    {
        actual += (i == 0 ? "" : ", ") + DescribeDocument(*documents[i]);
    }
    actual += "]";
    if (checkList)
    {
        if (!expected.is_array())
        {
            error = "\"documents\" is not an array";
            return false;
        }
        const std::vector<JsonNode> entries = expected.to_array();
        if (entries.size() != documents.size())
        {
            problem = "expected " + std::to_string(entries.size()) + " open document(s), found " + actual;
            return true;
        }
        for (std::size_t i = 0; i < entries.size(); ++i)
        {
            const SimDocument& document = *documents[i];
            const JsonNode& entry = entries[i];
            std::string title = document.mTitle;
            long long id = document.mID;
            std::string path = document.mPath;
            bool xmp = document.mXMPReserialised;
            if (entry.is_string())
            {
                title = entry.to_string();
            }
            else if (!entry.is_map() || !ReadString(entry, "title", title, false, error) ||
                     !ReadCount(entry, "id", id, false, error) ||
                     !ReadPath(entry, "path", path, false, error) || !ReadBool(entry, "xmp", xmp, error))
            {
                error = "\"documents\" entry " + std::to_string(i + 1) +
                        ": a title, or {\"title\", \"id\", \"path\", \"xmp\"}" +
                        (error.empty() ? "" : ": " + error);
                return false;
            }
            const bool samePath = path == document.mPath || (!path.empty() && SamePath(path, document.mPath));
            if (title != document.mTitle || id != document.mID || !samePath ||
                xmp != document.mXMPReserialised)
            {
                problem = "document " + std::to_string(i + 1) + " is " + DescribeDocument(document) + " at " +
                          Quoted(document.mPath) +
                          (document.mXMPReserialised ? " with re-serialised XMP" : "") + ", expected " +
                          Quoted(title) + " (" + std::to_string(id) + ") at " + Quoted(path) +
                          (xmp ? " with re-serialised XMP" : "") + "; open: " + actual;
                return true;
            }
        }
    }
    if (checkActive)
    {
        const SimDocument* current = mDocuments.Active();
        const SimDocument* wanted = nullptr;
        if (!active.is_null())
        {
            const std::string what = active.is_int()      ? std::to_string(active.to_int64())
                                     : active.is_string() ? active.to_string()
                                                          : "";
            if (what.empty())
            {
                error = "\"active\" is neither a title, a path, an ID nor null";
                return false;
            }
            wanted = mDocuments.Find(what);
            if (wanted == nullptr)
            {
                problem = "no open document is " + Quoted(what) + " (expected active); open: " + actual;
                return true;
            }
        }
        if (wanted != current)
        {
            problem = "the active document is " + (current != nullptr ? DescribeDocument(*current) : "none") +
                      ", expected " + (wanted != nullptr ? DescribeDocument(*wanted) : "none");
        }
    }
    return true;
}

bool DocumentStage::CheckFonts(const JsonNode& node, std::string& problem, std::string& error)
{
    SimDocument* document = DocumentParameter(node, true, error);
    if (document == nullptr)
    {
        if (error.rfind("no open document", 0) == 0)
        {
            problem = error;
            error.clear();
            return true;
        }
        return false;
    }
    RefreshFontTable();
    const std::pair<const char*, std::vector<std::string>> lists[] = {
        {"missing", mFonts.Missing(document->mFonts)},
        {"missingAtOpen", document->mMissingAtOpen},
        {"replaced", document->mReplaced},
        {"fonts", document->mFonts},
    };
    bool any = false;
    for (const auto& [name, actual] : lists)
    {
        std::vector<std::string> expected;
        bool present = false;
        if (!ReadStrings(node, name, expected, present, error))
        {
            return false;
        }
        any = any || present;
        if (present && problem.empty() && Sorted(expected) != Sorted(actual))
        {
            problem = DescribeDocument(*document) + ": " + name + " " + DescribeNames(actual) +
                      ", expected " + DescribeNames(expected);
        }
    }
    if (!any)
    {
        error = "needs \"missing\", \"missingAtOpen\", \"replaced\" or \"fonts\"";
        return false;
    }
    return true;
}

bool DocumentStage::CheckPlays(const JsonNode& node, std::string& problem, std::string& error)
{
    std::string event;
    long long count = 0;
    if (!ReadString(node, "event", event, true, error) || !ReadCount(node, "count", count, true, error))
    {
        return false;
    }
    DescriptorEventID id = 0;
    if (!KeyFromText(event, mHost.StringIDs(), id))
    {
        error = "\"event\" is empty";
        return false;
    }
    const int actual = mHost.PlayCount(id);
    if (actual != count)
    {
        problem = event + " played " + std::to_string(actual) + " time(s), expected " + std::to_string(count);
    }
    return true;
}

bool DocumentStage::CheckInstalled(const JsonNode& node, std::string& problem, std::string& error)
{
    std::vector<std::string> fonts;
    bool present = false;
    bool installed = true;
    JsonNode flag;
    if (!ReadStrings(node, "fonts", fonts, present, error) || !ReadBool(node, "installed", installed, error))
    {
        return false;
    }
    if (!present || !Member(node, "installed", flag))
    {
        error = "needs \"fonts\" and \"installed\"";
        return false;
    }
    RefreshFontTable();
    std::vector<std::string> wrong;
    for (const std::string& font : fonts)
    {
        if (mFonts.IsInstalled(font) != installed)
        {
            wrong.push_back(font);
        }
    }
    if (!wrong.empty())
    {
        problem = DescribeNames(wrong) + (installed ? " not installed" : " installed") +
                  " (system font table: " + std::to_string(mFonts.TableFontCount()) + " font(s))";
    }
    return true;
}

bool DocumentStage::CheckDialogs(const JsonNode& node, std::string& problem, std::string& error)
{
    long long dialogs = -1;
    long long messageBoxes = -1;
    if (!ReadCount(node, "open", dialogs, false, error) ||
        !ReadCount(node, "messageBoxes", messageBoxes, false, error))
    {
        return false;
    }
    if (dialogs < 0 && messageBoxes < 0)
    {
        error = "needs \"open\" or \"messageBoxes\"";
        return false;
    }
    long long openDialogs = 0;
    long long openBoxes = 0;
    for (const auto& alert : mAlerts)
    {
        if (alert->IsOpen())
        {
            ++(alert->GetKind() == FontAlertWindow::Kind::kMissingFonts ? openDialogs : openBoxes);
        }
    }
    if ((dialogs >= 0 && dialogs != openDialogs) || (messageBoxes >= 0 && messageBoxes != openBoxes))
    {
        problem = std::to_string(openDialogs) + " missing-fonts dialog(s) and " + std::to_string(openBoxes) +
                  " message box(es) open, expected " + (dialogs >= 0 ? std::to_string(dialogs) : "any") +
                  " and " + (messageBoxes >= 0 ? std::to_string(messageBoxes) : "any");
    }
    return true;
}

// The key messages that reached one alert window and its button, and how it closed.
bool DocumentStage::CheckDialogKeys(const JsonNode& node, std::string& problem, std::string& error)
{
    std::string document;
    std::string kind = "dialog";
    std::vector<std::string> windowKeys;
    std::vector<std::string> buttonKeys;
    bool windowGiven = false;
    bool buttonGiven = false;
    if (!ReadString(node, "document", document, true, error) ||
        !ReadString(node, "kind", kind, false, error) ||
        !ReadStrings(node, "window", windowKeys, windowGiven, error) ||
        !ReadStrings(node, "button", buttonKeys, buttonGiven, error))
    {
        return false;
    }
    if (kind != "dialog" && kind != "messageBox")
    {
        error = "\"kind\" is \"dialog\" or \"messageBox\", not " + Quoted(kind);
        return false;
    }
    // "closedBy": how it closed, or null for a window still open; absent: not checked.
    JsonNode closedBy;
    const bool closedGiven = node.find("closedBy", closedBy);
    if (closedGiven && !closedBy.is_null() && !closedBy.is_string())
    {
        error = "\"closedBy\" is not a string or null";
        return false;
    }
    const FontAlertWindow::Kind wanted =
        kind == "dialog" ? FontAlertWindow::Kind::kMissingFonts : FontAlertWindow::Kind::kMessageBox;
    const FontAlertWindow* found = nullptr;
    for (const auto& alert : mAlerts)
    {
        if (alert->GetKind() == wanted && alert->DocumentTitle() == document)
        {
            found = alert.get(); // the latest one
        }
    }
    if (found == nullptr)
    {
        problem = "no " + std::string(kind == "dialog" ? "missing-fonts dialog" : "message box") + " for " +
                  Quoted(document) + " was opened";
        return true;
    }
    const auto describe = [](const std::vector<std::string>& keys)
    {
        std::string text = "[";
        for (std::size_t i = 0; i < keys.size(); ++i)
        {
            text += (i == 0 ? "" : ", ") + keys[i];
        }
        return text + "]";
    };
    std::string wrong;
    if (windowGiven && windowKeys != found->WindowKeys())
    {
        wrong +=
            "; keys to the window " + describe(found->WindowKeys()) + ", expected " + describe(windowKeys);
    }
    if (buttonGiven && buttonKeys != found->ButtonKeys())
    {
        wrong +=
            "; keys to the button " + describe(found->ButtonKeys()) + ", expected " + describe(buttonKeys);
    }
    if (closedGiven)
    {
        const std::string expected = closedBy.is_null() ? std::string() : closedBy.to_string();
        if (expected != found->ClosedBy())
        {
            wrong += "; " + (found->IsOpen() ? std::string("still open") : "closed by " + found->ClosedBy()) +
                     ", expected " + (expected.empty() ? std::string("open") : "closed by " + expected);
        }
    }
    if (!wrong.empty())
    {
        problem = found->Describe() + " for " + Quoted(document) + wrong;
    }
    return true;
}
} // namespace

void RegisterDocumentSteps(ScenarioPlayer& player, SimSession& session,
                           const std::vector<std::string>& machineFontFolders, const AlertLanguage& language)
{
    auto stage =
        std::make_shared<DocumentStage>(session.mHost, machineFontFolders, session.mConditions, language);
    stage->Register(player, stage);
}
