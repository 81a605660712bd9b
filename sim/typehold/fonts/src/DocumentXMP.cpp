#include "DocumentXMP.h"

#include "GDocumentFiles.h"
#include "GFileSystem.h"
#include "GFontText.h"
#include "GLogger.h"
#include "GPDFMetadata.h"
#include "GPhotoshopResources.h"
#include "GXMPPacket.h"

#include <algorithm>

namespace typehold
{
namespace
{
constexpr const char* kLogCategory = "TypeholdFonts";

std::string LowerCase(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; });
    return text;
}

// stFnt:fontType from the font manager's kind.
std::string FontTypeOf(const std::string& kind)
{
    const std::string lower = LowerCase(kind);
    if (lower.find("opentype") != std::string::npos)
    {
        return "OpenType";
    }
    if (lower.find("truetype") != std::string::npos)
    {
        return "TrueType";
    }
    if (lower == "postscript" || lower == "type 1" || lower == "type1")
    {
        return "Type 1";
    }
    return kind;
}

// stFnt:fontFace: the face's style when known, else the style part of the PostScript name.
std::string FaceOf(const FontUsageRecord& font)
{
    if (!font.faceStyle.empty())
    {
        return font.faceStyle;
    }
    const std::string name = font.Value("PostScriptName");
    const std::size_t hyphen = name.find('-');
    return hyphen == std::string::npos || hyphen + 1 == name.size() ? "Regular" : name.substr(hyphen + 1);
}

// A simple property on one line: line ends and tabs in the value are written as references, so
// that the element can be indented as a whole.
std::string Field(const std::string& qualifiedName, const std::string& value)
{
    return "<" + qualifiedName + ">" + xmp::EscapeAttribute(value) + "</" + qualifiedName + ">";
}

// The two properties of the slug, as element texts.
std::string PagedTextProperty(const std::vector<FontUsageRecord>& fonts)
{
    if (fonts.empty())
    {
        return "<xmpTPg:Fonts>\n <rdf:Bag/>\n</xmpTPg:Fonts>";
    }
    std::string text = "<xmpTPg:Fonts>\n <rdf:Bag>\n";
    for (const FontUsageRecord& font : fonts)
    {
        text += "  <rdf:li rdf:parseType=\"Resource\">\n";
        text += "   " + Field("stFnt:fontName", font.Value("PostScriptName")) + "\n";
        if (font.Has("Family"))
        {
            text += "   " + Field("stFnt:fontFamily", font.Value("Family")) + "\n";
        }
        text += "   " + Field("stFnt:fontFace", FaceOf(font)) + "\n";
        if (!FontTypeOf(font.Value("FontKind")).empty())
        {
            text += "   " + Field("stFnt:fontType", FontTypeOf(font.Value("FontKind"))) + "\n";
        }
        if (font.Has("Version"))
        {
            text += "   " + Field("stFnt:versionString", font.Value("Version")) + "\n";
        }
        text += "   " + Field("stFnt:composite", "False") + "\n";
        if (font.Has("OutlineFileName"))
        {
            text += "   " + Field("stFnt:fontFileName", font.Value("OutlineFileName")) + "\n";
        }
        text += "  </rdf:li>\n";
    }
    return text + " </rdf:Bag>\n</xmpTPg:Fonts>";
}

std::string FontUsageProperty(const std::vector<FontUsageRecord>& fonts)
{
    const std::string prefix = kFontUsagePrefix;
    if (fonts.empty())
    {
        return "<" + prefix + ":Fonts>\n <rdf:Seq/>\n</" + prefix + ":Fonts>";
    }
    std::string text = "<" + prefix + ":Fonts>\n <rdf:Seq>\n";
    for (const FontUsageRecord& font : fonts)
    {
        text += "  <rdf:li rdf:parseType=\"Resource\">\n";
        for (const auto& [key, value] : font.fields)
        {
            text += "   " + Field(prefix + ":" + key, value) + "\n";
        }
        text += "  </rdf:li>\n";
    }
    return text + " </rdf:Seq>\n</" + prefix + ":Fonts>";
}

bool Log(TSInt32 level, const char* format, const std::string& a, const std::string& b)
{
    GLogger::GetInstance().Log(kLogCategory, level, format, a.c_str(), b.c_str());
    return false;
}
} // namespace

const std::vector<std::string>& SluggableKeys()
{
    static const std::vector<std::string> sKeys = {"PostScriptName",
                                                   "FontKind",
                                                   "Foundry",
                                                   "Version",
                                                   "KerningChecksum",
                                                   "Checksum",
                                                   "FaceTrace_1.2_Checksum",
                                                   "OutlineFileSize",
                                                   "OutlineFileName",
                                                   "Family"};
    return sKeys;
}

bool IsSluggableKey(const std::string& key)
{
    const auto& keys = SluggableKeys();
    return std::find(keys.begin(), keys.end(), key) != keys.end();
}

std::string FontUsageRecord::Value(const std::string& key) const
{
    for (const auto& [name, value] : fields)
    {
        if (name == key)
        {
            return value;
        }
    }
    return std::string();
}

bool FontUsageRecord::Has(const std::string& key) const
{
    return std::any_of(fields.begin(), fields.end(),
                       [&key](const auto& field) { return field.first == key; });
}

void FontUsageRecord::Set(const std::string& key, const std::string& value)
{
    const auto& keys = SluggableKeys();
    const auto rank = [&keys](const std::string& name)
    { return std::find(keys.begin(), keys.end(), name) - keys.begin(); };
    if (!IsSluggableKey(key))
    {
        return;
    }
    for (auto& field : fields)
    {
        if (field.first == key)
        {
            field.second = value;
            return;
        }
    }
    auto at = fields.begin();
    while (at != fields.end() && rank(at->first) < rank(key))
    {
        ++at;
    }
    fields.insert(at, {key, value});
}

bool ReadFontUsage(const std::string& packet, std::vector<FontUsageRecord>& fonts, bool& present,
                   std::string& error)
{
    fonts.clear();
    present = false;
    xmp::GXMPPacket parsed;
    std::vector<xmp::TStructFields> items;
    if (!parsed.Parse(packet, error) ||
        !parsed.ReadStructArray(kFontUsageNamespace, "Fonts", kFontUsageNamespace, items, present, error))
    {
        return false;
    }
    for (const xmp::TStructFields& item : items)
    {
        FontUsageRecord font;
        for (const auto& [key, value] : item)
        {
            font.Set(key, value);
        }
        fonts.push_back(std::move(font));
    }
    return true;
}

bool MergeFontUsage(const std::string& existing, const std::vector<FontUsageRecord>& fonts,
                    std::string& packet, std::string& error)
{
    for (std::size_t i = 0; i < fonts.size(); ++i)
    {
        if (fonts[i].Value("PostScriptName").empty())
        {
            error = "font " + std::to_string(i + 1) + " of the list has no PostScript name";
            return false;
        }
        for (const auto& [key, value] : fonts[i].fields)
        {
            if (!xmp::IsWritableText(value) || !xmp::IsWritableText(fonts[i].faceStyle))
            {
                error = "the " + key + " of font " + std::to_string(i + 1) +
                        " holds characters XML cannot carry (control characters or invalid UTF-8)";
                return false;
            }
        }
    }
    xmp::GXMPPacket edited;
    if (!edited.Parse(existing, error))
    {
        return false;
    }
    edited.RemoveProperties(
        [](const std::string& uri, const std::string& name)
        { return uri == kFontUsageNamespace || (uri == xmp::kNamespacePagedText && name == "Fonts"); });
    edited.DeclareNamespace("xmpTPg", xmp::kNamespacePagedText);
    edited.DeclareNamespace("stFnt", xmp::kNamespaceFontType);
    edited.DeclareNamespace(kFontUsagePrefix, kFontUsageNamespace);
    edited.AddProperty(PagedTextProperty(fonts));
    edited.AddProperty(FontUsageProperty(fonts));
    packet = edited.Serialize();
    return true;
}

bool MergeSavedDocumentProperties(const std::string& existing, const GSavedDocumentXMP& saved,
                                  std::string& packet, std::string& error)
{
    xmp::GXMPPacket edited;
    if (!edited.Parse(existing, error))
    {
        return false;
    }
    std::string creatorTool = saved.creatorTool;
    std::string createDate = saved.date;
    std::string documentID = saved.documentID;
    std::string originalID;
    edited.FindSimple(xmp::kNamespaceXMP, "CreatorTool", creatorTool);
    edited.FindSimple(xmp::kNamespaceXMP, "CreateDate", createDate);
    edited.FindSimple(xmp::kNamespaceXMPMM, "DocumentID", documentID);
    if (!edited.FindSimple(xmp::kNamespaceXMPMM, "OriginalDocumentID", originalID))
    {
        originalID = documentID;
    }
    for (const std::string* value : std::initializer_list<const std::string*>{
             &creatorTool, &createDate, &documentID, &originalID, &saved.format, &saved.colorMode,
             &saved.date, &saved.instanceID})
    {
        if (!xmp::IsWritableText(*value))
        {
            error = "a property holds characters XML cannot carry";
            return false;
        }
    }
    edited.RemoveProperties(
        [](const std::string& uri, const std::string& name)
        {
            return (uri == xmp::kNamespaceXMP && (name == "CreatorTool" || name == "CreateDate" ||
                                                  name == "ModifyDate" || name == "MetadataDate")) ||
                   (uri == xmp::kNamespaceDC && name == "format") ||
                   (uri == xmp::kNamespacePhotoshop && name == "ColorMode") ||
                   (uri == xmp::kNamespaceXMPMM &&
                    (name == "InstanceID" || name == "DocumentID" || name == "OriginalDocumentID"));
        });
    edited.DeclareNamespace("xmp", xmp::kNamespaceXMP);
    edited.DeclareNamespace("dc", xmp::kNamespaceDC);
    edited.DeclareNamespace("xmpMM", xmp::kNamespaceXMPMM);
    edited.AddProperty(Field("xmp:CreatorTool", creatorTool));
    edited.AddProperty(Field("xmp:CreateDate", createDate));
    edited.AddProperty(Field("xmp:ModifyDate", saved.date));
    edited.AddProperty(Field("xmp:MetadataDate", saved.date));
    edited.AddProperty(Field("dc:format", saved.format));
    if (!saved.colorMode.empty())
    {
        edited.DeclareNamespace("photoshop", xmp::kNamespacePhotoshop);
        edited.AddProperty(Field("photoshop:ColorMode", saved.colorMode));
    }
    edited.AddProperty(Field("xmpMM:InstanceID", saved.instanceID));
    edited.AddProperty(Field("xmpMM:DocumentID", documentID));
    edited.AddProperty(Field("xmpMM:OriginalDocumentID", originalID));
    packet = edited.Serialize();
    return true;
}

DocumentKind DocumentKindOfPath(const std::string& path)
{
    const std::size_t dot = path.find_last_of('.');
    const std::size_t slash = path.find_last_of("/\\");
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
    {
        return DocumentKind::kUnknown;
    }
    const std::string extension = LowerCase(path.substr(dot));
    if (extension == ".psd" || extension == ".psb")
    {
        return DocumentKind::kPhotoshop;
    }
    if (extension == ".pdf" || extension == ".ai" || extension == ".ait")
    {
        return DocumentKind::kPDF;
    }
    return DocumentKind::kUnknown;
}

namespace
{
// The packet of a document read from the source.
TErrorCode ReadExisting(DocumentKind kind, GByteSource& source, GExistingXMP& existing,
                        GPhotoshopResources& photoshop, GPDFMetadata& pdf, std::string& error)
{
    existing = GExistingXMP();
    if (kind == DocumentKind::kPhotoshop)
    {
        if (!photoshop.Read(source, error))
        {
            return CoreErrorCodes::kError;
        }
        existing.present = photoshop.FindXMP(existing.packet);
        existing.readable = existing.present;
        existing.note = existing.present ? "image resource 1060" : "no image resource 1060";
        return CoreErrorCodes::kSuccess;
    }
    if (kind == DocumentKind::kPDF)
    {
        const TErrorCode code = pdf.Read(source, error);
        if (code != CoreErrorCodes::kSuccess)
        {
            return code;
        }
        existing.present = pdf.Metadata() != GPDFMetadata::EMetadata::kNone;
        existing.readable = pdf.Metadata() == GPDFMetadata::EMetadata::kReadable;
        existing.packet = pdf.Packet();
        existing.note = pdf.Note();
        return CoreErrorCodes::kSuccess;
    }
    error = "not a kind of document whose XMP can be read (.psd, .psb, .pdf, .ai, .ait)";
    return CoreErrorCodes::kNotSupported;
}
} // namespace

TErrorCode ReadDocumentXMP(const std::string& path, GExistingXMP& existing, std::string& error)
{
    const DocumentKind kind = DocumentKindOfPath(path);
    if (kind == DocumentKind::kUnknown)
    {
        error = "not a kind of document whose XMP can be read (.psd, .psb, .pdf, .ai, .ait)";
        return CoreErrorCodes::kNotSupported;
    }
    GDocumentFile file;
    const TErrorCode opened = file.Open(path, error);
    if (opened != CoreErrorCodes::kSuccess)
    {
        return opened;
    }
    GPhotoshopResources photoshop;
    GPDFMetadata pdf;
    return ReadExisting(kind, file, existing, photoshop, pdf, error);
}

TErrorCode RewriteDocumentXMP(DocumentKind kind, GByteSource& source, GByteSink& sink,
                              const TPacketMaker& maker, const TRewritePause& pause, std::string& error)
{
    GExistingXMP existing;
    GPhotoshopResources photoshop;
    GPDFMetadata pdf;
    TErrorCode code = ReadExisting(kind, source, existing, photoshop, pdf, error);
    if (code != CoreErrorCodes::kSuccess)
    {
        return code;
    }
    std::string packet;
    code = maker(existing, packet, error);
    if (code != CoreErrorCodes::kSuccess)
    {
        return code;
    }
    const auto copying = [&pause]
    {
        if (pause)
        {
            pause("copying");
        }
    };
    const bool written = kind == DocumentKind::kPhotoshop
                             ? photoshop.Write(source, sink, packet, copying, error)
                             : pdf.Write(source, sink, packet, copying, error);
    return written ? CoreErrorCodes::kSuccess : CoreErrorCodes::kError;
}

TErrorCode UpdateDocumentXMP(const std::string& path, const TPacketMaker& maker, const TRewritePause& pause,
                             std::string& error)
{
    const DocumentKind kind = DocumentKindOfPath(path);
    if (kind == DocumentKind::kUnknown)
    {
        error = "not a kind of document whose XMP can be written (.psd, .psb, .pdf, .ai, .ait)";
        return CoreErrorCodes::kNotSupported;
    }
    const int leftovers = RemoveLeftoverReplacements(path);
    if (leftovers > 0)
    {
        Log(GLogger::kInfo, "Removed %s temporary file(s) an earlier rewrite of '%s' left behind",
            std::to_string(leftovers), path);
    }
    GDocumentFile file;
    TErrorCode code = file.Open(path, error);
    if (code != CoreErrorCodes::kSuccess)
    {
        return code;
    }
    GReplacementFile replacement;
    code = replacement.Create(path, error);
    if (code == CoreErrorCodes::kSuccess)
    {
        code = RewriteDocumentXMP(kind, file, replacement, maker, pause, error);
    }
    file.Close();
    if (code == CoreErrorCodes::kSuccess)
    {
        code = replacement.Finish(error);
    }
    if (code != CoreErrorCodes::kSuccess)
    {
        return code;
    }
    if (pause)
    {
        pause("replacing");
    }
    code = replacement.Replace(error);
    if (code == CoreErrorCodes::kSuccess && pause)
    {
        pause("replaced");
    }
    return code;
}
} // namespace typehold
