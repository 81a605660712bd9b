// Documents' XMP and the font-usage slug: packets merged and read back, Photoshop image resources
// and PDF incremental updates rewritten from real documents (ag-psd, ghostscript) and from broken
// ones, and the crash-safe rewrite on disk. (Independent readers judge the documents the core
// writes: tests/sim/typehold/TypeholdSlugTest.cpp.)
#include "DocumentXMP.h"
#include "GByteStreams.h"
#include "GFileSystem.h"
#include "GPDFMetadata.h"
#include "GPhotoshopResources.h"
#include "ScratchFolder.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <iostream>
#include <map>

using namespace typehold;

namespace
{
std::string Document(const std::string& name)
{
#ifdef _WIN32
    return "Z:" + std::string(TYPEHOLD_TEST_DOCUMENTS_DIR) + "/" + name;
#else
    return std::string(TYPEHOLD_TEST_DOCUMENTS_DIR) + "/" + name;
#endif
}

FontUsageRecord Font(const std::string& name, const std::string& version, const std::string& checksum)
{
    FontUsageRecord font;
    const std::string family = name.substr(0, name.find('-'));
    for (const auto& [key, value] :
         std::map<std::string, std::string>{{"PostScriptName", name},
                                            {"FontKind", "TrueType"},
                                            {"Foundry", "tyPoland"},
                                            {"Version", version},
                                            {"KerningChecksum", "0"},
                                            {"Checksum", checksum},
                                            {"FaceTrace_1.2_Checksum", "77" + checksum},
                                            {"OutlineFileSize", "634184"},
                                            {"OutlineFileName", name + ".ttf"},
                                            {"Family", family}})
    {
        font.Set(key, value);
    }
    return font;
}

std::vector<FontUsageRecord> Fonts()
{
    return {Font("Carlito-Bold", "1.103", "3735928559"), Font("LiberationSerif-Italic", "2.00.1", "12")};
}

bool SameFonts(const std::vector<FontUsageRecord>& a, const std::vector<FontUsageRecord>& b)
{
    if (a.size() != b.size())
    {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i)
    {
        if (a[i].fields != b[i].fields)
        {
            return false;
        }
    }
    return true;
}

std::size_t Count(const std::string& text, const std::string& what)
{
    std::size_t count = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
    {
        ++count;
    }
    return count;
}

// A maker that merges the fonts into whatever packet the document has.
TPacketMaker SlugMaker(const std::vector<FontUsageRecord>& fonts, GExistingXMP* seen = nullptr)
{
    return [fonts, seen](const GExistingXMP& existing, std::string& packet, std::string& error)
    {
        if (seen != nullptr)
        {
            *seen = existing;
        }
        return MergeFontUsage(existing.readable ? existing.packet : "", fonts, packet, error)
                   ? CoreErrorCodes::kSuccess
                   : CoreErrorCodes::kError;
    };
}

TErrorCode Rewrite(DocumentKind kind, const std::string& in, std::string& out,
                   const std::vector<FontUsageRecord>& fonts, GExistingXMP* seen = nullptr)
{
    GMemorySource source(in);
    GStringSink sink;
    std::string error;
    const TErrorCode code = RewriteDocumentXMP(kind, source, sink, SlugMaker(fonts, seen), nullptr, error);
    EXPECT_TRUE(code == CoreErrorCodes::kSuccess || !error.empty()) << "a failure says why";
    if (code != CoreErrorCodes::kSuccess)
    {
        std::cout << "rewrite refused (" << code << "): " << error << std::endl;
    }
    out = sink.Bytes();
    return code;
}

// The slug read back from document bytes.
std::vector<FontUsageRecord> SlugOf(DocumentKind kind, const std::string& bytes)
{
    std::vector<FontUsageRecord> fonts;
    GMemorySource source(bytes);
    GStringSink sink;
    std::string error;
    GExistingXMP existing;
    EXPECT_EQ(RewriteDocumentXMP(kind, source, sink, SlugMaker({}, &existing), nullptr, error), 0u) << error;
    bool present = false;
    EXPECT_TRUE(ReadFontUsage(existing.packet, fonts, present, error)) << error;
    EXPECT_TRUE(present);
    return fonts;
}

// A Photoshop document's parts, read here without the code under test.
struct GPhotoshopParts
{
    std::string head; // header and color mode data
    std::vector<std::pair<TUInt16, std::string>> blocks;
    std::string rest;
};

GPhotoshopParts Split(const std::string& bytes)
{
    GPhotoshopParts parts;
    const std::size_t colorMode = BigEndian32(bytes, 26);
    const std::size_t start = 30 + colorMode + 4;
    const std::size_t end = start + BigEndian32(bytes, 30 + colorMode);
    parts.head = bytes.substr(0, 30 + colorMode);
    for (std::size_t at = start; at < end;)
    {
        const std::size_t size =
            BigEndian32(bytes, at + 6 + ((2 + static_cast<unsigned char>(bytes[at + 6])) & ~1u));
        const std::size_t next = std::min(
            end, at + 6 + ((2 + static_cast<unsigned char>(bytes[at + 6])) & ~1u) + 4 + size + size % 2);
        parts.blocks.emplace_back(BigEndian16(bytes, at + 4), bytes.substr(at, next - at));
        at = next;
    }
    parts.rest = bytes.substr(end);
    return parts;
}

std::vector<std::pair<TUInt16, std::string>> OtherBlocks(const GPhotoshopParts& parts)
{
    std::vector<std::pair<TUInt16, std::string>> others;
    for (const auto& block : parts.blocks)
    {
        if (block.first != GPhotoshopResources::kXMPResourceID)
        {
            others.push_back(block);
        }
    }
    return others;
}

// A PDF of the given objects ("N 0 obj ... endobj" bodies by number, from 1), a classic table
// and a trailer with the extra entries.
std::string MakePDF(const std::vector<std::string>& objects, const std::string& trailerExtra)
{
    std::string pdf = "%PDF-1.4\n";
    std::vector<std::size_t> offsets;
    for (std::size_t i = 0; i < objects.size(); ++i)
    {
        offsets.push_back(pdf.size());
        pdf += std::to_string(i + 1) + " 0 obj\n" + objects[i] + "\nendobj\n";
    }
    const std::size_t xref = pdf.size();
    pdf += "xref\n0 " + std::to_string(objects.size() + 1) + "\n0000000000 65535 f\r\n";
    for (const std::size_t offset : offsets)
    {
        char entry[24];
        std::snprintf(entry, sizeof entry, "%010zu 00000 n\r\n", offset);
        pdf += entry;
    }
    pdf += "trailer\n<< /Size " + std::to_string(objects.size() + 1) + " /Root 1 0 R" + trailerExtra +
           " >>\nstartxref\n" + std::to_string(xref) + "\n%%EOF\n";
    return pdf;
}

const char* const kGhostscriptPacket =
    "<?xpacket begin='\xEF\xBB\xBF' id='W5M0MpCehiHzreSzNTczkc9d'?>\n"
    "<?adobe-xap-filters esc=\"CRLF\"?>\n"
    "<x:xmpmeta xmlns:x='adobe:ns:meta/' x:xmptk='XMP toolkit 2.9.1-13, framework 1.6'>\n"
    "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#' "
    "xmlns:iX='http://ns.adobe.com/iX/1.0/'>\n"
    "<rdf:Description rdf:about=\"\" xmlns:pdf='http://ns.adobe.com/pdf/1.3/' pdf:Producer='GPL Ghostscript "
    "10.00.0'/>\n"
    "<rdf:Description rdf:about=\"\" "
    "xmlns:xmp='http://ns.adobe.com/xap/1.0/'><xmp:ModifyDate>2024-05-01T10:00:"
    "00Z</xmp:ModifyDate>\n<xmp:CreatorTool>UnknownApplication</xmp:CreatorTool></rdf:Description>\n"
    "<rdf:Description rdf:about=\"\" xmlns:dc='http://purl.org/dc/elements/1.1/' dc:format='application/pdf'>"
    "<dc:title><rdf:Alt><rdf:li xml:lang='x-default'>Harbours &amp; capes</rdf:li></rdf:Alt></dc:title>"
    "</rdf:Description>\n</rdf:RDF>\n</x:xmpmeta>\n"
    "                                                                        \n"
    "<?xpacket end='w'?>";
} // namespace

TEST(XMPPacketTest, SlugReplacesAnEarlierOneAndKeepsTheRestOfThePacket)
{
    std::string packet;
    std::string error;
    ASSERT_TRUE(MergeFontUsage(kGhostscriptPacket, Fonts(), packet, error)) << error;
    EXPECT_EQ(packet.rfind("<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>", 0), 0u);
    EXPECT_EQ(packet.substr(packet.size() - 19), "<?xpacket end=\"w\"?>");
    const std::size_t content = packet.find("</x:xmpmeta>\n") + 13;
    EXPECT_GE(packet.size() - 19 - content, 2000u) << "padding for in-place editors";
    EXPECT_EQ(packet.find_first_not_of(" \n", content), packet.size() - 19);
    EXPECT_NE(packet.find("<?adobe-xap-filters esc=\"CRLF\"?>"), std::string::npos);
    EXPECT_NE(packet.find("pdf:Producer=\"GPL Ghostscript 10.00.0\""), std::string::npos);
    EXPECT_NE(packet.find("<rdf:li xml:lang=\"x-default\">Harbours &amp; capes</rdf:li>"), std::string::npos);
    EXPECT_NE(packet.find("<stFnt:fontFace>Bold</stFnt:fontFace>"), std::string::npos) << "from the name";
    EXPECT_NE(packet.find("<stFnt:composite>False</stFnt:composite>"), std::string::npos);

    std::vector<FontUsageRecord> read;
    bool present = false;
    ASSERT_TRUE(ReadFontUsage(packet, read, present, error)) << error;
    EXPECT_TRUE(present);
    EXPECT_TRUE(SameFonts(read, Fonts()));

    // Written again with other fonts, then with none: one slug each time, nothing stale.
    std::string again;
    ASSERT_TRUE(MergeFontUsage(packet, {Font("Caladea-Bold", "1.001", "5")}, again, error)) << error;
    ASSERT_TRUE(ReadFontUsage(again, read, present, error));
    ASSERT_EQ(read.size(), 1u);
    EXPECT_EQ(read[0].Value("PostScriptName"), "Caladea-Bold");
    EXPECT_EQ(Count(again, "<lmfu:Fonts>"), 1u);
    EXPECT_EQ(Count(again, "<xmpTPg:Fonts>"), 1u);
    EXPECT_EQ(again.find("Carlito"), std::string::npos);
    std::string cleared;
    ASSERT_TRUE(MergeFontUsage(again, {}, cleared, error)) << error;
    ASSERT_TRUE(ReadFontUsage(cleared, read, present, error));
    EXPECT_TRUE(present) << "an empty slug is still a slug";
    EXPECT_TRUE(read.empty());
    EXPECT_EQ(cleared.find("Caladea"), std::string::npos);
    EXPECT_NE(cleared.find("pdf:Producer"), std::string::npos);
    EXPECT_EQ(Count(cleared, "rdf:Description rdf:about"), 4u)
        << "the emptied description of the slug is gone";

    // A new packet from nothing.
    ASSERT_TRUE(MergeFontUsage("", Fonts(), packet, error)) << error;
    ASSERT_TRUE(ReadFontUsage(packet, read, present, error)) << error;
    EXPECT_TRUE(SameFonts(read, Fonts()));
}

TEST(XMPPacketTest, SlugsAreFoundWhateverTheirPrefixesAndRDFForms)
{
    // Another writer's serialisation: other prefixes, a nested description, attribute fields.
    const std::string packet =
        "<x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF "
        "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>"
        "<rdf:Description rdf:about='uuid:1' xmlns:fu='http://ns.lumorand.com/portolan/fontusage/1.0/' "
        "xmlns:tpg='http://ns.adobe.com/xap/1.0/t/pg/' fu:Note='old'>"
        "<tpg:Fonts><rdf:Bag><rdf:li>Old</rdf:li></rdf:Bag></tpg:Fonts>"
        "<fu:Fonts><rdf:Seq>"
        "<rdf:li><rdf:Description fu:PostScriptName='A-Bold' fu:Version='2.0'><fu:Checksum>7</fu:Checksum>"
        "<fu:DatabaseID>1001</fu:DatabaseID></rdf:Description></rdf:li>"
        "<rdf:li rdf:parseType='Resource'><fu:PostScriptName>B &lt;&amp;&gt;</fu:PostScriptName></rdf:li>"
        "</rdf:Seq></fu:Fonts></rdf:Description>"
        "<rdf:Description rdf:about='uuid:1' xmlns:dc='http://purl.org/dc/elements/1.1/' "
        "dc:format='image/x'/>"
        "</rdf:RDF></x:xmpmeta>";
    std::vector<FontUsageRecord> read;
    bool present = false;
    std::string error;
    ASSERT_TRUE(ReadFontUsage(packet, read, present, error)) << error;
    ASSERT_EQ(read.size(), 2u);
    EXPECT_EQ(read[0].fields, (std::vector<std::pair<std::string, std::string>>{
                                  {"PostScriptName", "A-Bold"}, {"Version", "2.0"}, {"Checksum", "7"}}))
        << "sluggable keys only, in their order";
    EXPECT_EQ(read[1].Value("PostScriptName"), "B <&>");

    std::string merged;
    ASSERT_TRUE(MergeFontUsage(packet, Fonts(), merged, error)) << error;
    for (const char* old : {"<fu:", " fu:", "xmlns:fu="})
    {
        EXPECT_EQ(merged.find(old), std::string::npos) << "every property of the old slug is gone: " << old;
    }
    EXPECT_EQ(merged.find("tpg:Fonts"), std::string::npos);
    EXPECT_NE(merged.find("dc:format=\"image/x\""), std::string::npos);
    EXPECT_NE(merged.find("rdf:Description rdf:about=\"uuid:1\"\n"), std::string::npos)
        << "the new description is about the same resource";
    ASSERT_TRUE(ReadFontUsage(merged, read, present, error)) << error;
    EXPECT_TRUE(SameFonts(read, Fonts()));

    // Text beside the elements (not XMP's own layout, but well-formed) is kept as it is.
    const std::string mixed = "<x:xmpmeta xmlns:x='adobe:ns:meta/'>note<rdf:RDF "
                              "xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>more<rdf:Description "
                              "rdf:about=''/></rdf:RDF></x:xmpmeta>";
    ASSERT_TRUE(MergeFontUsage(mixed, Fonts(), merged, error)) << error;
    EXPECT_NE(merged.find(">note<rdf:RDF"), std::string::npos) << merged;
    ASSERT_TRUE(ReadFontUsage(merged, read, present, error)) << error;
    EXPECT_TRUE(SameFonts(read, Fonts()));
}

TEST(XMPPacketTest, HostilePacketsAndValuesAreRefusedWithAReason)
{
    const std::string rdf = "<rdf:RDF xmlns:rdf='http://www.w3.org/1999/02/22-rdf-syntax-ns#'>";
    const std::map<std::string, std::string> packets = {
        {"cut short", std::string(kGhostscriptPacket).substr(0, 300)},
        {"not XML",
         "<?xpacket begin=''?><x:xmpmeta xmlns:x='adobe:ns:meta/'><rdf:RDF></x:xmpmeta><?xpacket end='w'?>"},
        {"DOCTYPE", "<!DOCTYPE x [<!ENTITY a 'aaaa'>]>" + rdf + "</rdf:RDF>"},
        {"UTF-16", std::string("\xFF\xFE<\0?\0x\0", 8)},
        {"foreign root", "<html><body/></html>"},
        {"no RDF", "<x:xmpmeta xmlns:x='adobe:ns:meta/'><other/></x:xmpmeta>"},
        {"not an array",
         rdf + "<rdf:Description xmlns:l='http://ns.lumorand.com/portolan/fontusage/1.0/'>"
               "<l:Fonts><l:PostScriptName>A</l:PostScriptName></l:Fonts></rdf:Description></rdf:RDF>"},
        {"bad UTF-8", rdf + "<rdf:Description dc:title='\xC3\x28' xmlns:dc='dc'/></rdf:RDF>"},
    };
    for (const auto& [what, packet] : packets)
    {
        std::vector<FontUsageRecord> read;
        bool present = false;
        std::string error;
        EXPECT_FALSE(ReadFontUsage(packet, read, present, error)) << what;
        EXPECT_FALSE(error.empty()) << what;
        // A packet that cannot be read is not replaced; a malformed slug of our own is.
        std::string merged;
        EXPECT_EQ(MergeFontUsage(packet, Fonts(), merged, error), what == "not an array") << what;
    }

    // Values: exact, or refused when XML cannot carry them.
    std::vector<FontUsageRecord> fonts = Fonts();
    fonts[0].Set("Family", "Tab\tquote\" apostrophe' <&> \xE3\x82\xAB line\nend");
    std::string packet;
    std::string error;
    ASSERT_TRUE(MergeFontUsage("", fonts, packet, error)) << error;
    std::vector<FontUsageRecord> read;
    bool present = false;
    ASSERT_TRUE(ReadFontUsage(packet, read, present, error)) << error;
    EXPECT_TRUE(SameFonts(read, fonts));
    fonts[1].Set("Foundry", std::string("bell\x07", 5));
    EXPECT_FALSE(MergeFontUsage("", fonts, packet, error));
    EXPECT_NE(error.find("Foundry of font 2"), std::string::npos) << error;
    EXPECT_FALSE(MergeFontUsage("", {FontUsageRecord()}, packet, error));
}

TEST(XMPPacketTest, SavedDocumentPropertiesKeepTheSlugAndTheDocumentIdentity)
{
    std::string packet;
    std::string error;
    ASSERT_TRUE(MergeFontUsage(kGhostscriptPacket, Fonts(), packet, error)) << error;
    GSavedDocumentXMP saved{"Adobe Photoshop 21.2 (Windows)",
                            "image/vnd.adobe.photoshop",
                            "3",
                            "2024-06-01T12:00:00Z",
                            "xmp.iid:2",
                            "xmp.did:2"};
    for (const char* instance : {"xmp.iid:2", "xmp.iid:3"})
    {
        saved.instanceID = instance;
        saved.documentID = std::string("xmp.did:") + instance[8];
        ASSERT_TRUE(MergeSavedDocumentProperties(packet, saved, packet, error)) << error;
    }
    std::vector<FontUsageRecord> read;
    bool present = false;
    ASSERT_TRUE(ReadFontUsage(packet, read, present, error)) << error;
    EXPECT_TRUE(SameFonts(read, Fonts()));
    EXPECT_NE(packet.find("<xmp:CreatorTool>UnknownApplication</xmp:CreatorTool>"), std::string::npos);
    EXPECT_EQ(Count(packet, "ModifyDate>2024-06-01T12:00:00Z</xmp:ModifyDate>"), 1u)
        << "one ModifyDate, the save's";
    EXPECT_NE(packet.find("<dc:format>image/vnd.adobe.photoshop</dc:format>"), std::string::npos);
    EXPECT_EQ(packet.find("application/pdf"), std::string::npos);
    EXPECT_NE(packet.find("<xmpMM:DocumentID>xmp.did:2</xmpMM:DocumentID>"), std::string::npos) << "kept";
    EXPECT_NE(packet.find("<xmpMM:InstanceID>xmp.iid:3</xmpMM:InstanceID>"), std::string::npos);
    EXPECT_EQ(packet.find("xmp.iid:2"), std::string::npos);
}

TEST(PhotoshopXMPTest, TheSlugReplacesResource1060AndNothingElse)
{
    for (const char* name : {"poster.psd", "large.psb"})
    {
        SCOPED_TRACE(name);
        const std::string original = ReadWholeFile(Document(name));
        const GPhotoshopParts before = Split(original);
        ASSERT_FALSE(before.blocks.empty());
        std::string first;
        ASSERT_EQ(Rewrite(DocumentKind::kPhotoshop, original, first, Fonts()), 0u);
        const GPhotoshopParts added = Split(first);
        EXPECT_EQ(added.head, before.head);
        EXPECT_EQ(added.rest, before.rest);
        EXPECT_EQ(OtherBlocks(added), before.blocks) << "ag-psd writes no XMP: the resource is added";
        ASSERT_EQ(added.blocks.back().first, 1060);
        EXPECT_TRUE(SameFonts(SlugOf(DocumentKind::kPhotoshop, first), Fonts()));

        std::string second;
        ASSERT_EQ(Rewrite(DocumentKind::kPhotoshop, first, second, {Font("Caladea-Bold", "1.001", "5")}), 0u);
        const GPhotoshopParts replaced = Split(second);
        EXPECT_EQ(replaced.blocks.size(), added.blocks.size());
        EXPECT_EQ(OtherBlocks(replaced), before.blocks);
        EXPECT_EQ(replaced.rest, before.rest);
        ASSERT_EQ(SlugOf(DocumentKind::kPhotoshop, second).size(), 1u);
    }

    // Resource 1060 first, with a name: replaced where it is, the blocks after it moved but
    // unchanged. Data that is not XMP is not replaced.
    const std::string original = ReadWholeFile(Document("poster.psd"));
    const GPhotoshopParts parts = Split(original);
    auto withFirstBlock = [&parts](const std::string& data)
    {
        std::string section = "8BIM";
        AppendBigEndian16(section, 1060);
        section += std::string("\x03xmp", 4);
        AppendBigEndian32(section, static_cast<TUInt32>(data.size()));
        section += data + std::string(data.size() % 2, '\0');
        for (const auto& other : parts.blocks)
        {
            section += other.second;
        }
        std::string document = parts.head;
        AppendBigEndian32(document, static_cast<TUInt32>(section.size()));
        return document + section + parts.rest;
    };
    GExistingXMP seen;
    std::string rewritten;
    ASSERT_EQ(Rewrite(DocumentKind::kPhotoshop, withFirstBlock("<x/> "), rewritten, Fonts(), &seen),
              CoreErrorCodes::kError);
    EXPECT_EQ(seen.packet, "<x/> ") << "odd data, read without its pad byte";
    std::string packet;
    std::string error;
    ASSERT_TRUE(MergeFontUsage("", {}, packet, error));
    ASSERT_EQ(Rewrite(DocumentKind::kPhotoshop, withFirstBlock(packet), rewritten, Fonts()), 0u);
    const GPhotoshopParts result = Split(rewritten);
    ASSERT_EQ(result.blocks.front().first, 1060);
    EXPECT_EQ(result.blocks.front().second.substr(6, 4), std::string("\x03xmp", 4)) << "its name is kept";
    EXPECT_EQ(OtherBlocks(result), parts.blocks);
    EXPECT_EQ(result.rest, parts.rest);
}

TEST(PhotoshopXMPTest, CutAndCorruptDocumentsAreRefused)
{
    const std::string original = ReadWholeFile(Document("poster.psd"));
    const GPhotoshopParts parts = Split(original);
    std::size_t sectionEnd = original.size() - parts.rest.size();
    const std::size_t layersEnd = sectionEnd + 4 + BigEndian32(original, sectionEnd);
    std::string out;
    for (std::size_t cut = 0; cut < layersEnd; cut += cut < 200 ? 1 : 97)
    {
        EXPECT_EQ(Rewrite(DocumentKind::kPhotoshop, original.substr(0, cut), out, Fonts()),
                  CoreErrorCodes::kError)
            << "cut at " << cut;
    }
    auto corrupt = [&](std::size_t offset, const std::string& bytes)
    {
        std::string copy = original;
        copy.replace(offset, bytes.size(), bytes);
        return Rewrite(DocumentKind::kPhotoshop, copy, out, Fonts());
    };
    const std::size_t colorMode = BigEndian32(original, 26);
    const std::size_t section = 30 + colorMode + 4;
    EXPECT_EQ(corrupt(0, "8BPX"), CoreErrorCodes::kError);
    EXPECT_EQ(corrupt(4, std::string("\0\3", 2)), CoreErrorCodes::kError) << "version 3";
    EXPECT_EQ(corrupt(26, "\xFF\xFF\xFF\xF0"), CoreErrorCodes::kError) << "color mode data past the end";
    EXPECT_EQ(corrupt(30 + colorMode, "\x7F\xFF\xFF\xFF"), CoreErrorCodes::kError)
        << "resources past the end";
    EXPECT_EQ(corrupt(section, "8BIX"), CoreErrorCodes::kError) << "a block without signature";
    const std::size_t nameLength = static_cast<unsigned char>(original[section + 6]);
    EXPECT_EQ(corrupt(section + 6 + ((2 + nameLength) & ~1u), "\xFF\xFF\xFF\xFF"), CoreErrorCodes::kError)
        << "a block's data past the section";
    EXPECT_EQ(corrupt(sectionEnd, "\x7F\xFF\xFF\xFF"), CoreErrorCodes::kError) << "layers past the end";
    EXPECT_EQ(Rewrite(DocumentKind::kPhotoshop, original, out, Fonts()), 0u) << "and the intact one is fine";
}

TEST(PDFXMPTest, TheUpdateIsAppendedAndMergedWithTheDocumentsMetadata)
{
    for (const char* name : {"letter.pdf", "catalog.pdf", "letter.ai"})
    {
        SCOPED_TRACE(name);
        const std::string original = ReadWholeFile(Document(name));
        GExistingXMP seen;
        std::string first;
        ASSERT_EQ(Rewrite(DocumentKind::kPDF, original, first, Fonts(), &seen), 0u);
        EXPECT_TRUE(seen.readable) << "ghostscript writes its metadata uncompressed";
        EXPECT_NE(seen.packet.find("GPL Ghostscript"), std::string::npos);
        ASSERT_GT(first.size(), original.size());
        EXPECT_EQ(first.substr(0, original.size()), original);
        const std::string update = first.substr(original.size());
        const std::size_t startxref = std::stoul(original.substr(original.rfind("startxref") + 10));
        EXPECT_NE(update.find("/Prev " + std::to_string(startxref) + " >>"), std::string::npos)
            << update.substr(0, 200);
        EXPECT_NE(update.find("/Type /Metadata /Subtype /XML /Length "), std::string::npos);
        EXPECT_NE(update.find("/Pages 3 0 R"), std::string::npos) << "the catalog's other entries are kept";
        EXPECT_NE(update.find("/ID [<"), std::string::npos);
        EXPECT_NE(update.find("\nxref\n"), std::string::npos);
        // Every offset of the new table points at its object.
        const std::size_t xref = std::stoul(update.substr(update.rfind("startxref") + 10));
        ASSERT_EQ(first.compare(xref, 5, "xref\n"), 0);
        for (std::size_t at = first.find(" 1\n", xref);
             at != std::string::npos && at < first.find("trailer", xref); at = first.find(" 1\n", at + 1))
        {
            const std::size_t lineStart = first.rfind('\n', at) + 1;
            const std::string number = first.substr(lineStart, at - lineStart);
            const std::size_t offset = std::stoul(first.substr(at + 3, 10));
            EXPECT_EQ(first.compare(offset, number.size() + 1, number + " "), 0) << number;
        }
        std::vector<FontUsageRecord> slug = SlugOf(DocumentKind::kPDF, first);
        EXPECT_TRUE(SameFonts(slug, Fonts()));

        // A second update chains to the first and reads the first's metadata.
        std::string second;
        ASSERT_EQ(Rewrite(DocumentKind::kPDF, first, second, {}, &seen), 0u);
        EXPECT_EQ(second.substr(0, first.size()), first);
        EXPECT_NE(seen.packet.find("Carlito-Bold"), std::string::npos);
        EXPECT_NE(second.find("/Prev " + std::to_string(xref) + " >>", first.size()), std::string::npos);
        EXPECT_TRUE(SlugOf(DocumentKind::kPDF, second).empty());
    }
}

TEST(PDFXMPTest, DocumentsThisWriterCannotUpdateAreRefused)
{
    const std::string catalog = "<< /Type /Catalog /Pages 2 0 R >>";
    const std::string pages = "<< /Type /Pages /Kids [] /Count 0 >>";
    std::string out;
    // A cross-reference stream.
    std::string xrefStream = "%PDF-1.5\n1 0 obj\n" + catalog + "\nendobj\n";
    const std::size_t streamAt = xrefStream.size();
    xrefStream +=
        "2 0 obj\n<< /Type /XRef /Size 3 /Root 1 0 R /W [1 2 1] /Length 0 >>\nstream\n\nendstream\nendobj\n"
        "startxref\n" +
        std::to_string(streamAt) + "\n%%EOF\n";
    EXPECT_EQ(Rewrite(DocumentKind::kPDF, xrefStream, out, Fonts()), CoreErrorCodes::kNotSupported);
    EXPECT_EQ(Rewrite(DocumentKind::kPDF,
                      MakePDF({catalog, pages, "<< /Filter /Standard >>"}, " /Encrypt 3 0 R"), out, Fonts()),
              CoreErrorCodes::kNotSupported);

    const std::string base = MakePDF({catalog, pages}, "");
    std::string rootless = base;
    rootless.erase(rootless.find(" /Root 1 0 R"), 12);
    const std::map<std::string, std::string> broken = {
        {"not a catalog", MakePDF({pages, pages}, "")},
        {"no root", rootless},
        {"a loop", MakePDF({catalog, pages}, " /Prev " + std::to_string(base.find("xref\n0 ")))},
        {"garbage", "%PDF-1.4\nstartxref\n5\n%%EOF"},
        {"no header", "GIF89a"},
    };
    for (const auto& [what, bytes] : broken)
    {
        EXPECT_EQ(Rewrite(DocumentKind::kPDF, bytes, out, Fonts()), CoreErrorCodes::kError) << what;
    }
    const std::string letter = ReadWholeFile(Document("letter.pdf"));
    for (std::size_t cut = 0; cut < letter.rfind("startxref") + 10; cut += 211)
    {
        EXPECT_NE(Rewrite(DocumentKind::kPDF, letter.substr(0, cut), out, Fonts()), 0u) << "cut at " << cut;
    }
}

TEST(PDFXMPTest, CompressedMetadataIsReplacedWithoutBeingMerged)
{
    const std::string pdf = MakePDF(
        {"<< /Type /Catalog /Pages 2 0 R /Metadata 3 0 R >>", "<< /Type /Pages /Kids [4 0 R] /Count 1 >>",
         "<< /Type /Metadata /Subtype /XML /Filter /FlateDecode /Length 4 >>\nstream\n"
         "x\x9C"
         "AB\nendstream",
         "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 72 72] >>"},
        "");
    GExistingXMP seen;
    std::string out;
    ASSERT_EQ(Rewrite(DocumentKind::kPDF, pdf, out, Fonts(), &seen), 0u);
    EXPECT_TRUE(seen.present);
    EXPECT_FALSE(seen.readable);
    EXPECT_NE(seen.note.find("/FlateDecode"), std::string::npos) << seen.note;
    EXPECT_NE(out.find("/Metadata 5 0 R"), std::string::npos) << "a new object, numbered from /Size";
    EXPECT_NE(out.find("/Size 6 "), std::string::npos);
    EXPECT_TRUE(SameFonts(SlugOf(DocumentKind::kPDF, out), Fonts()));

    // A /Size below the numbers in use does not make the new object take one of them.
    std::string small = pdf;
    small.replace(small.find("/Size 5"), 7, "/Size 1");
    ASSERT_EQ(Rewrite(DocumentKind::kPDF, small, out, Fonts()), 0u);
    EXPECT_NE(out.find("/Metadata 5 0 R"), std::string::npos);
    EXPECT_TRUE(SameFonts(SlugOf(DocumentKind::kPDF, out), Fonts()));
}

TEST(DocumentFilesTest, RewritesReplaceTheDocumentInOneStepOrLeaveIt)
{
    ScratchFolder scratch("document-xmp files");
    const std::string original = ReadWholeFile(Document("poster.psd"));
    const std::string path = scratch.WriteFile("poster \xE3\x82\xAB.psd", original);
    const std::string leftover = scratch.WriteFile("poster \xE3\x82\xAB.psd.xmp-4242-7.tmp", "half");
    const std::string unrelated = scratch.WriteFile("poster.psd.xmp-notes.txt", "mine");
    std::vector<std::string> moments;
    std::string error;
    const TErrorCode code = UpdateDocumentXMP(
        path, SlugMaker(Fonts()),
        [&](const char* moment)
        {
            moments.push_back(moment);
            const std::string now = ReadWholeFile(path);
            if (moments.back() != "replaced")
            {
                EXPECT_EQ(now, original) << "the document is untouched until it is replaced";
            }
            std::size_t temporaries = 0;
            for (const auto& entry : std::filesystem::directory_iterator(scratch.Path()))
            {
                temporaries += entry.path().extension() == ".tmp" ? 1 : 0;
            }
            EXPECT_EQ(temporaries, moments.back() == "replaced" ? 0u : 1u) << moment;
        },
        error);
    ASSERT_EQ(code, 0u) << error;
    EXPECT_EQ(moments, (std::vector<std::string>{"copying", "replacing", "replaced"}));
    EXPECT_FALSE(std::filesystem::exists(PathFromUTF8(leftover))) << "the earlier leftover was removed";
    EXPECT_TRUE(std::filesystem::exists(PathFromUTF8(unrelated)));
    const std::string written = ReadWholeFile(path);
    EXPECT_TRUE(SameFonts(SlugOf(DocumentKind::kPhotoshop, written), Fonts()));

    // Failures leave the document as it was, and no temporary file.
    const auto refuse = [](const GExistingXMP&, std::string&, std::string& why)
    {
        why = "refused";
        return CoreErrorCodes::kNotSupported;
    };
    EXPECT_EQ(UpdateDocumentXMP(path, refuse, nullptr, error), CoreErrorCodes::kNotSupported);
    EXPECT_EQ(ReadWholeFile(path), written);
    const std::string cut = scratch.WriteFile("cut.psb", original.substr(0, 100));
    EXPECT_EQ(UpdateDocumentXMP(cut, SlugMaker(Fonts()), nullptr, error), CoreErrorCodes::kError);
    EXPECT_EQ(ReadWholeFile(cut), original.substr(0, 100));
    EXPECT_EQ(UpdateDocumentXMP(scratch.Child("missing.pdf"), SlugMaker(Fonts()), nullptr, error),
              GFileSystem::kFileNotFound);
    EXPECT_EQ(UpdateDocumentXMP(scratch.WriteFile("notes.txt", "x"), SlugMaker(Fonts()), nullptr, error),
              CoreErrorCodes::kNotSupported);
    std::size_t files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(scratch.Path()))
    {
        EXPECT_NE(entry.path().extension(), ".tmp");
        ++files;
    }
    EXPECT_EQ(files, 4u);

    GExistingXMP existing;
    ASSERT_EQ(ReadDocumentXMP(path, existing, error), 0u) << error;
    EXPECT_TRUE(existing.readable);
}
