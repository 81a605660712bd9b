// portolan-fonts: lists the fonts that Photoshop, Illustrator, PDF and After Effects documents
// use, from the documents' bytes (the binary document font extractor). See kHelp.
#include "GBinaryDocumentFontExtractor.h"
#include "GFileLogDestination.h"
#include "GStringEncodings.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#ifdef _WIN32
#include <windows.h>

#include <shellapi.h>
#endif

namespace
{
namespace fs = std::filesystem;

constexpr const char* kHelp =
    R"(usage: portolan-fonts [--json] [--chunk-mib N] PATH...

Lists the PostScript names of the fonts a document uses, read from the document's bytes:
Photoshop (.psd, .psb), Illustrator and PDF (.ai, .ait, .pdf) and After Effects (.aep, .aet,
.aepx) files. A file of another type under 1 GiB is scanned for all three kinds of data; .eps
files are not scanned (they list no fonts).

Each PATH is a file, or a folder that is searched recursively for files with the extensions
above (.eps aside), in name order.

Output (standard output):
  one PATH that is a file   one font name per line
  anything else             for each file a line "PATH:" followed by its font names, each
                            indented by two spaces
  --json                    one JSON array:
                              [{"path": "...", "fonts": ["...", ...]}, ...]
                            a file that could not be read also has
                              "error": {"code": <unsigned>, "name": "<symbolic name>"}
                            and lists the fonts found before the error
Names are sorted byte-wise, without duplicates. In the plain output, control characters in a
name are written as \xNN.

Errors: one line per file that could not be read on standard error, for example
  portolan-fonts: cannot read 'x.psd': GFileSystem::kFileNotFound

Exit status: 0 when every file was scanned, 1 when any file could not be read, 2 for a usage
error.

Options:
  --json           JSON output
  --chunk-mib N    read and scan files N MiB at a time (1-512; default 4). The plug-in reads
                   512 MiB at a time; the names are the same unless a document holds a block
                   of font data longer than a chunk, which is then not found. --chunk-mib 512
                   reads exactly as the plug-in does (and needs that much memory per file).
  --help, -h       this text
  --               the arguments that follow are paths, even when they begin with "-"

Set PORTOLAN_LOG_FILE to a file path to have the extractor's log written there
(PORTOLAN_LOG_LEVEL 0-4 raises or lowers its detail; 4 shows every name found).
)";

constexpr const char* kUsage = "usage: portolan-fonts [--json] [--chunk-mib N] PATH...  (--help for more)\n";

// The extensions of the files a folder search lists.
const char* const kScannedExtensions[] = {"psd", "psb", "ai", "ait", "pdf", "aep", "aet", "aepx"};

std::string ToUtf8(const fs::path& path)
{
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

fs::path FromUtf8(const std::string& text)
{
    return fs::path(std::u8string(text.begin(), text.end()));
}

bool IsScannedExtension(const fs::path& path)
{
    std::string extension = ToUtf8(path.extension());
    if (extension.empty())
    {
        return false;
    }
    extension = OSMakeLowerCaseUTF8String(extension.substr(1));
    return std::find(std::begin(kScannedExtensions), std::end(kScannedExtensions), extension) !=
           std::end(kScannedExtensions);
}

// Appends a JSON string literal. Invalid UTF-8 (possible in POSIX file names) becomes U+FFFD.
void AppendJsonString(std::string& out, const std::string& text)
{
    out += '"';
    for (std::size_t i = 0; i < text.size();)
    {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '"' || c == '\\')
        {
            out += '\\';
            out += static_cast<char>(c);
            ++i;
        }
        else if (c < 0x20)
        {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
            out += escaped;
            ++i;
        }
        else if (c < 0x80)
        {
            out += static_cast<char>(c);
            ++i;
        }
        else
        {
            const std::size_t length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC2 ? 2 : 0;
            const std::string sequence =
                length != 0 && i + length <= text.size() ? text.substr(i, length) : "";
            if (!sequence.empty() && !UTF8ToUTF16(sequence).empty())
            {
                out += sequence;
                i += length;
            }
            else
            {
                out += "\\ufffd";
                ++i;
            }
        }
    }
    out += '"';
}

// A name for the plain output: control characters as \xNN.
std::string PlainName(const std::string& name)
{
    std::string out;
    for (char ch : name)
    {
        const unsigned char c = static_cast<unsigned char>(ch);
        if (c < 0x20 || c == 0x7F)
        {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02X", c);
            out += escaped;
        }
        else
        {
            out += ch;
        }
    }
    return out;
}

struct Document
{
    std::string displayPath; // as the user gave it, or found under a folder the user gave
    fs::path path;
};

constexpr TUInt64 kDefaultChunkMiB = 4;
constexpr TUInt64 kMaxChunkMiB = GBinaryDocumentFontExtractor::kDefaultChunkSize >> 20;

// The extractor with the tool's chunk size. Small chunks are read and scanned while they are in
// the processor's cache, and need little memory.
class ChunkedExtractor : public GBinaryDocumentFontExtractor
{
public:
    ChunkedExtractor(const TUTF8String& path, TUInt64 chunkSize)
        : GBinaryDocumentFontExtractor(path), mChunkSize(chunkSize)
    {
    }
    TUInt64 GetChunkSize() const override { return mChunkSize; }

private:
    TUInt64 mChunkSize;
};

struct Options
{
    bool json = false;
    bool help = false;
    TUInt64 chunkMiB = kDefaultChunkMiB;
    std::vector<std::string> paths;
};

bool ParseChunkMiB(const std::string& text, TUInt64& chunkMiB)
{
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, 10);
    if (text.empty() || *end != '\0' || value < 1 || value > kMaxChunkMiB)
    {
        std::fprintf(stderr, "portolan-fonts: --chunk-mib takes a number from 1 to %llu\n",
                     static_cast<unsigned long long>(kMaxChunkMiB));
        return false;
    }
    chunkMiB = value;
    return true;
}

bool ParseArguments(const std::vector<std::string>& arguments, Options& options)
{
    bool optionsEnded = false;
    for (std::size_t index = 0; index < arguments.size(); ++index)
    {
        const std::string& argument = arguments[index];
        if (optionsEnded || argument.empty() || argument[0] != '-' || argument == "-")
        {
            options.paths.push_back(argument);
        }
        else if (argument == "--")
        {
            optionsEnded = true;
        }
        else if (argument == "--json")
        {
            options.json = true;
        }
        else if (argument == "--help" || argument == "-h")
        {
            options.help = true;
        }
        else if (argument == "--chunk-mib" || argument.rfind("--chunk-mib=", 0) == 0)
        {
            const bool separate = argument == "--chunk-mib";
            if (separate && index + 1 == arguments.size())
            {
                std::fprintf(stderr, "portolan-fonts: --chunk-mib needs a number\n");
                return false;
            }
            if (!ParseChunkMiB(separate ? arguments[++index] : argument.substr(12), options.chunkMiB))
            {
                return false;
            }
        }
        else
        {
            std::fprintf(stderr, "portolan-fonts: unknown option '%s'\n", argument.c_str());
            return false;
        }
    }
    return true;
}

// The files to scan: each file argument as it is, each folder searched recursively.
std::vector<Document> CollectDocuments(const std::vector<std::string>& paths, bool& sawFolder)
{
    std::vector<Document> documents;
    for (const std::string& argument : paths)
    {
        const fs::path path = FromUtf8(argument);
        std::error_code error;
        if (!fs::is_directory(path, error))
        {
            documents.push_back({argument, path});
            continue;
        }
        sawFolder = true;
        std::vector<fs::path> found;
        for (fs::recursive_directory_iterator it(path, fs::directory_options::skip_permission_denied, error),
             end;
             !error && it != end; it.increment(error))
        {
            if (it->is_regular_file(error) && IsScannedExtension(it->path()))
            {
                found.push_back(it->path());
            }
        }
        if (error)
        {
            std::fprintf(stderr, "portolan-fonts: cannot search the folder '%s' completely: %s\n",
                         argument.c_str(), error.message().c_str());
        }
        std::sort(found.begin(), found.end());
        for (const fs::path& file : found)
        {
            documents.push_back({ToUtf8(file), file});
        }
    }
    return documents;
}

TErrorCode Extract(const Document& document, TUInt64 chunkSize,
                   GBinaryDocumentFontExtractor::TFontNameSet& names)
{
    names.clear();
    std::error_code error;
    if (!fs::exists(document.path, error))
    {
        return GFileSystem::kFileNotFound;
    }
    const fs::path full = fs::absolute(document.path, error);
    ChunkedExtractor extractor(ToUtf8(error ? document.path : full), chunkSize);
    return extractor.ExtractFontNames(names);
}

int Run(const std::vector<std::string>& arguments)
{
    Options options;
    if (!ParseArguments(arguments, options))
    {
        std::fputs(kUsage, stderr);
        return 2;
    }
    if (options.help)
    {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (options.paths.empty())
    {
        std::fputs(kUsage, stderr);
        return 2;
    }
    EnableFileLoggingFromEnvironment();

    bool sawFolder = false;
    const std::vector<Document> documents = CollectDocuments(options.paths, sawFolder);
    const bool blocks = options.paths.size() > 1 || sawFolder;
    int status = 0;
    if (options.json)
    {
        std::fputs("[", stdout);
    }
    for (std::size_t index = 0; index < documents.size(); ++index)
    {
        const Document& document = documents[index];
        GBinaryDocumentFontExtractor::TFontNameSet names;
        const TErrorCode code = Extract(document, options.chunkMiB << 20, names);
        names.erase(""); // a name cut off by the end of the data is no font name
        if (code != CoreErrorCodes::kSuccess)
        {
            status = 1;
            std::fprintf(stderr, "portolan-fonts: cannot read '%s': %s\n", document.displayPath.c_str(),
                         ErrorCodeToString(code).c_str());
        }
        std::string out;
        if (options.json)
        {
            out += index == 0 ? "\n  {\"path\": " : ",\n  {\"path\": ";
            AppendJsonString(out, document.displayPath);
            out += ", \"fonts\": [";
            bool first = true;
            for (const std::string& name : names)
            {
                out += first ? "" : ", ";
                AppendJsonString(out, name);
                first = false;
            }
            out += "]";
            if (code != CoreErrorCodes::kSuccess)
            {
                out += ", \"error\": {\"code\": " + std::to_string(code) + ", \"name\": ";
                AppendJsonString(out, ErrorCodeToString(code));
                out += "}";
            }
            out += "}";
        }
        else
        {
            if (blocks)
            {
                out += document.displayPath + ":\n";
            }
            for (const std::string& name : names)
            {
                out += (blocks ? "  " : "") + PlainName(name) + "\n";
            }
        }
        std::fwrite(out.data(), 1, out.size(), stdout);
        std::fflush(stdout);
    }
    if (options.json)
    {
        std::fputs(documents.empty() ? "]\n" : "\n]\n", stdout);
    }
    return status;
}
} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> arguments;
#ifdef _WIN32
    // The command line in UTF-16, so paths outside the ANSI code page survive.
    static_cast<void>(argv);
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    for (int i = 1; wide != nullptr && i < count; ++i)
    {
        arguments.push_back(UTF16ToUTF8(TUTF16String(reinterpret_cast<const char16_t*>(wide[i]))));
    }
    LocalFree(wide);
#else
    arguments.assign(argv + std::min(argc, 1), argv + argc);
#endif
    static_cast<void>(argc);
    return Run(arguments);
}
