#include "GXMPPacket.h"

#include "GFontText.h"

#include <tinyxml2.h>

#include <cstring>

namespace typehold
{
namespace xmp
{
namespace
{
using tinyxml2::XMLAttribute;
using tinyxml2::XMLDocument;
using tinyxml2::XMLElement;
using tinyxml2::XMLNode;

constexpr const char* kPacketHeader = "<?xpacket begin=\"\xEF\xBB\xBF\" id=\"W5M0MpCehiHzreSzNTczkc9d\"?>\n";
constexpr const char* kPacketTrailer = "<?xpacket end=\"w\"?>";
constexpr const char* kToolkit = "Lumorand Typehold XMP 1.0";
constexpr const char* kNamespaceXML = "http://www.w3.org/XML/1998/namespace";
// Room for editors that rewrite the packet in place: 2 KB of white space.
constexpr int kPaddingLines = 20;
constexpr int kPaddingWidth = 100;

std::string PrefixOf(const char* qualifiedName)
{
    const char* colon = std::strchr(qualifiedName, ':');
    return colon == nullptr ? std::string() : std::string(qualifiedName, colon);
}

std::string LocalNameOf(const char* qualifiedName)
{
    const char* colon = std::strchr(qualifiedName, ':');
    return colon == nullptr ? std::string(qualifiedName) : std::string(colon + 1);
}

// The URI bound to the prefix in scope at the element ("" for none).
std::string LookUpPrefix(const XMLElement* element, const std::string& prefix)
{
    if (prefix == "xml")
    {
        return kNamespaceXML;
    }
    const std::string attribute = prefix.empty() ? "xmlns" : "xmlns:" + prefix;
    for (const XMLNode* node = element; node != nullptr; node = node->Parent())
    {
        const XMLElement* scope = node->ToElement();
        if (scope == nullptr)
        {
            break;
        }
        const char* uri = scope->Attribute(attribute.c_str());
        if (uri != nullptr)
        {
            return uri;
        }
    }
    return std::string();
}

std::string ElementNamespace(const XMLElement* element)
{
    return LookUpPrefix(element, PrefixOf(element->Name()));
}

// Unprefixed attributes belong to no namespace.
std::string AttributeNamespace(const XMLElement* element, const XMLAttribute* attribute)
{
    const std::string prefix = PrefixOf(attribute->Name());
    return prefix.empty() ? std::string() : LookUpPrefix(element, prefix);
}

bool IsNamespaceDeclaration(const XMLAttribute* attribute)
{
    return std::strcmp(attribute->Name(), "xmlns") == 0 || std::strncmp(attribute->Name(), "xmlns:", 6) == 0;
}

bool Is(const XMLElement* element, const char* uri, const char* name)
{
    return element != nullptr && LocalNameOf(element->Name()) == name && ElementNamespace(element) == uri;
}

bool IsWhiteSpace(const char* text)
{
    for (; text != nullptr && *text != '\0'; ++text)
    {
        if (*text != ' ' && *text != '\t' && *text != '\n' && *text != '\r')
        {
            return false;
        }
    }
    return true;
}

const char* AttributeIn(const XMLElement* element, const char* uri, const char* name)
{
    for (const XMLAttribute* attribute = element->FirstAttribute(); attribute != nullptr;
         attribute = attribute->Next())
    {
        if (!IsNamespaceDeclaration(attribute) && LocalNameOf(attribute->Name()) == name &&
            AttributeNamespace(element, attribute) == uri)
        {
            return attribute->Value();
        }
    }
    return nullptr;
}

// The text of an element that holds text only; false when it holds elements.
bool SimpleText(const XMLElement* element, std::string& text)
{
    text.clear();
    for (const XMLNode* child = element->FirstChild(); child != nullptr; child = child->NextSibling())
    {
        if (child->ToElement() != nullptr)
        {
            return false;
        }
        if (child->ToText() != nullptr)
        {
            text += child->Value();
        }
    }
    return AttributeIn(element, kNamespaceRDF, "resource") == nullptr;
}

// A description that says nothing: no property elements, no property attributes.
bool IsEmptyDescription(const XMLElement* description)
{
    for (const XMLNode* child = description->FirstChild(); child != nullptr; child = child->NextSibling())
    {
        if (child->ToElement() != nullptr || (child->ToText() != nullptr && !IsWhiteSpace(child->Value())))
        {
            return false;
        }
    }
    for (const XMLAttribute* attribute = description->FirstAttribute(); attribute != nullptr;
         attribute = attribute->Next())
    {
        const std::string uri = AttributeNamespace(description, attribute);
        const std::string name = LocalNameOf(attribute->Name());
        if (!IsNamespaceDeclaration(attribute) &&
            !(uri == kNamespaceRDF && (name == "about" || name == "ID")))
        {
            return false;
        }
    }
    return true;
}

// The simple fields of fieldURI of a structure node: its child elements and its attributes.
void CollectFields(const XMLElement* node, const std::string& fieldURI, TStructFields& fields)
{
    for (const XMLAttribute* attribute = node->FirstAttribute(); attribute != nullptr;
         attribute = attribute->Next())
    {
        if (!IsNamespaceDeclaration(attribute) && AttributeNamespace(node, attribute) == fieldURI)
        {
            fields.emplace_back(LocalNameOf(attribute->Name()), attribute->Value());
        }
    }
    for (const XMLElement* field = node->FirstChildElement(); field != nullptr;
         field = field->NextSiblingElement())
    {
        std::string text;
        if (ElementNamespace(field) == fieldURI && SimpleText(field, text))
        {
            fields.emplace_back(LocalNameOf(field->Name()), text);
        }
    }
}

void Indent(std::string& out, int depth)
{
    out.append(static_cast<std::size_t>(depth), ' ');
}

void WriteStartTag(const XMLElement* element, std::string& out)
{
    out += '<';
    out += element->Name();
    for (const XMLAttribute* attribute = element->FirstAttribute(); attribute != nullptr;
         attribute = attribute->Next())
    {
        out += ' ';
        out += attribute->Name();
        out += "=\"";
        out += EscapeAttribute(attribute->Value());
        out += '"';
    }
}

bool IsPacketInstruction(const XMLNode* node)
{
    const char* value = node->Value();
    return node->ToDeclaration() != nullptr && value != nullptr &&
           (std::strncmp(value, "xpacket", 7) == 0 || std::strncmp(value, "xml ", 4) == 0);
}
} // namespace

namespace
{
// Markup characters as entities; in attribute values also quotes, tabs and line ends, which a
// parser would otherwise normalise.
std::string Escape(const std::string& text, bool attribute)
{
    std::string out;
    out.reserve(text.size());
    for (const char c : text)
    {
        switch (c)
        {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        case '\r':
            out += "&#xD;";
            break;
        case '"':
            out += attribute ? "&quot;" : "\"";
            break;
        case '\t':
            out += attribute ? "&#x9;" : "\t";
            break;
        case '\n':
            out += attribute ? "&#xA;" : "\n";
            break;
        default:
            out += c;
        }
    }
    return out;
}
} // namespace

std::string EscapeText(const std::string& text)
{
    return Escape(text, false);
}

std::string EscapeAttribute(const std::string& text)
{
    return Escape(text, true);
}

bool IsWritableText(const std::string& text)
{
    for (const char c : text)
    {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && byte != '\t' && byte != '\n' && byte != '\r')
        {
            return false;
        }
    }
    return GFontText::IsValidUTF8(reinterpret_cast<const TUInt8*>(text.data()), text.size());
}

struct GXMPPacket::GState
{
    XMLDocument document{true, tinyxml2::PRESERVE_WHITESPACE};
    bool parsed = false;        // an existing packet was read
    XMLElement* meta = nullptr; // x:xmpmeta, when the packet has one
    XMLElement* rdf = nullptr;
    std::vector<std::pair<std::string, std::string>> namespaces; // of the new description
    std::vector<std::string> properties;

    std::string About() const
    {
        for (const XMLElement* child = rdf == nullptr ? nullptr : rdf->FirstChildElement(); child != nullptr;
             child = child->NextSiblingElement())
        {
            if (Is(child, kNamespaceRDF, "Description"))
            {
                const char* about = AttributeIn(child, kNamespaceRDF, "about");
                return about == nullptr ? std::string() : about;
            }
        }
        return std::string();
    }

    std::string NewDescription(int depth) const
    {
        if (properties.empty())
        {
            return std::string();
        }
        std::string out;
        Indent(out, depth);
        out += "<rdf:Description rdf:about=\"" + EscapeAttribute(About()) + "\"";
        out += "\n";
        Indent(out, depth + 4);
        out += "xmlns:rdf=\"" + std::string(kNamespaceRDF) + "\"";
        for (const auto& [prefix, uri] : namespaces)
        {
            out += "\n";
            Indent(out, depth + 4);
            out += "xmlns:" + prefix + "=\"" + EscapeAttribute(uri) + "\"";
        }
        out += ">\n";
        for (const std::string& property : properties)
        {
            std::size_t start = 0;
            while (start < property.size())
            {
                std::size_t end = property.find('\n', start);
                end = end == std::string::npos ? property.size() : end;
                Indent(out, depth + 1);
                out.append(property, start, end - start);
                out += '\n';
                start = end + 1;
            }
        }
        Indent(out, depth);
        out += "</rdf:Description>\n";
        return out;
    }

    // Content written exactly as it was (mixed content, text-only elements).
    void WriteInline(const XMLNode* node, std::string& out) const
    {
        if (const XMLElement* element = node->ToElement())
        {
            WriteStartTag(element, out);
            if (element->FirstChild() == nullptr && (element != rdf || properties.empty()))
            {
                out += "/>";
                return;
            }
            out += '>';
            for (const XMLNode* child = element->FirstChild(); child != nullptr; child = child->NextSibling())
            {
                WriteInline(child, out);
            }
            if (element == rdf && !properties.empty())
            {
                out += '\n' + NewDescription(0);
            }
            out += "</";
            out += element->Name();
            out += '>';
        }
        else if (const tinyxml2::XMLText* text = node->ToText())
        {
            if (text->CData())
            {
                out += "<![CDATA[";
                out += text->Value();
                out += "]]>";
            }
            else
            {
                out += EscapeText(text->Value());
            }
        }
        else if (node->ToComment() != nullptr)
        {
            out += "<!--";
            out += node->Value();
            out += "-->";
        }
        else if (node->ToDeclaration() != nullptr)
        {
            out += "<?";
            out += node->Value();
            out += "?>";
        }
    }

    void WriteElement(const XMLElement* element, int depth, std::string& out) const
    {
        Indent(out, depth);
        const bool isRDF = element == rdf;
        bool hasElements = false;
        bool hasText = false;
        for (const XMLNode* child = element->FirstChild(); child != nullptr; child = child->NextSibling())
        {
            hasElements = hasElements || child->ToElement() != nullptr;
            const tinyxml2::XMLText* text = child->ToText();
            hasText = hasText || (text != nullptr && (text->CData() || !IsWhiteSpace(text->Value())));
        }
        if ((!isRDF && !hasElements) || hasText)
        {
            WriteInline(element, out);
            out += '\n';
            return;
        }
        WriteStartTag(element, out);
        out += ">\n";
        for (const XMLNode* child = element->FirstChild(); child != nullptr; child = child->NextSibling())
        {
            if (const XMLElement* childElement = child->ToElement())
            {
                WriteElement(childElement, depth + 1, out);
            }
            else if (child->ToComment() != nullptr || child->ToDeclaration() != nullptr)
            {
                Indent(out, depth + 1);
                WriteInline(child, out);
                out += '\n';
            }
        }
        if (isRDF)
        {
            out += NewDescription(depth + 1);
        }
        Indent(out, depth);
        out += "</";
        out += element->Name();
        out += ">\n";
    }
};

GXMPPacket::GXMPPacket() : mState(std::make_unique<GState>())
{
}

GXMPPacket::~GXMPPacket() = default;

bool GXMPPacket::Parse(const std::string& packet, std::string& error)
{
    mState = std::make_unique<GState>();
    std::size_t end = packet.size();
    while (end > 0 && (packet[end - 1] == '\0' || packet[end - 1] == ' ' || packet[end - 1] == '\n' ||
                       packet[end - 1] == '\r' || packet[end - 1] == '\t'))
    {
        --end;
    }
    if (end == 0)
    {
        return true;
    }
    if (packet.compare(0, 2, "\xFE\xFF") == 0 || packet.compare(0, 2, "\xFF\xFE") == 0 ||
        packet.find('\0') < end)
    {
        error = "the XMP packet is not UTF-8 text (UTF-16 and UTF-32 packets are not read)";
        return false;
    }
    std::size_t start = 0;
    const std::size_t header = packet.find("<?xpacket begin");
    if (header != std::string::npos && header < end)
    {
        const std::size_t headerEnd = packet.find("?>", header);
        const std::size_t trailer = packet.rfind("<?xpacket end", end);
        if (headerEnd == std::string::npos || trailer == std::string::npos || trailer < headerEnd + 2)
        {
            error = "the XMP packet has no end marker (<?xpacket end?>): it is cut short";
            return false;
        }
        start = headerEnd + 2;
        end = trailer;
    }
    if (!GFontText::IsValidUTF8(reinterpret_cast<const TUInt8*>(packet.data() + start), end - start))
    {
        error = "the XMP packet is not valid UTF-8";
        return false;
    }
    XMLDocument& document = mState->document;
    if (document.Parse(packet.data() + start, end - start) != tinyxml2::XML_SUCCESS)
    {
        error = std::string("the XMP packet is not well-formed XML: ") +
                (document.ErrorStr() != nullptr ? document.ErrorStr() : "parse error");
        return false;
    }
    for (const XMLNode* node = document.FirstChild(); node != nullptr; node = node->NextSibling())
    {
        if (node->ToUnknown() != nullptr)
        {
            error = "the XMP packet holds a document type declaration, which XMP does not allow";
            return false;
        }
    }
    XMLElement* root = document.RootElement();
    if (root == nullptr)
    {
        error = "the XMP packet holds no XML element";
        return false;
    }
    if (Is(root, kNamespaceMeta, "xmpmeta") || Is(root, kNamespaceMeta, "xapmeta"))
    {
        mState->meta = root;
        for (XMLElement* child = root->FirstChildElement(); child != nullptr;
             child = child->NextSiblingElement())
        {
            if (Is(child, kNamespaceRDF, "RDF"))
            {
                mState->rdf = child;
                break;
            }
        }
        if (mState->rdf == nullptr)
        {
            error = "the XMP packet's x:xmpmeta holds no rdf:RDF";
            return false;
        }
    }
    else if (Is(root, kNamespaceRDF, "RDF"))
    {
        mState->rdf = root;
    }
    else
    {
        error = std::string("the XMP packet's root element <") + root->Name() +
                "> is neither x:xmpmeta nor rdf:RDF";
        return false;
    }
    mState->parsed = true;
    return true;
}

int GXMPPacket::RemoveProperties(
    const std::function<bool(const std::string& uri, const std::string& name)>& which)
{
    if (mState->rdf == nullptr)
    {
        return 0;
    }
    int removed = 0;
    std::vector<XMLElement*> emptied;
    for (XMLElement* description = mState->rdf->FirstChildElement(); description != nullptr;
         description = description->NextSiblingElement())
    {
        if (!Is(description, kNamespaceRDF, "Description"))
        {
            continue;
        }
        std::vector<XMLElement*> elements;
        for (XMLElement* property = description->FirstChildElement(); property != nullptr;
             property = property->NextSiblingElement())
        {
            if (which(ElementNamespace(property), LocalNameOf(property->Name())))
            {
                elements.push_back(property);
            }
        }
        std::vector<std::string> attributes;
        for (const XMLAttribute* attribute = description->FirstAttribute(); attribute != nullptr;
             attribute = attribute->Next())
        {
            const std::string uri = AttributeNamespace(description, attribute);
            if (!IsNamespaceDeclaration(attribute) && !uri.empty() && uri != kNamespaceRDF &&
                which(uri, LocalNameOf(attribute->Name())))
            {
                attributes.emplace_back(attribute->Name());
            }
        }
        for (XMLElement* property : elements)
        {
            description->DeleteChild(property);
        }
        for (const std::string& attribute : attributes)
        {
            description->DeleteAttribute(attribute.c_str());
        }
        const int here = static_cast<int>(elements.size() + attributes.size());
        if (here > 0 && IsEmptyDescription(description))
        {
            emptied.push_back(description);
        }
        removed += here;
    }
    for (XMLElement* description : emptied)
    {
        mState->rdf->DeleteChild(description);
    }
    return removed;
}

bool GXMPPacket::FindSimple(const std::string& uri, const std::string& name, std::string& value) const
{
    for (const XMLElement* description = mState->rdf == nullptr ? nullptr : mState->rdf->FirstChildElement();
         description != nullptr; description = description->NextSiblingElement())
    {
        if (!Is(description, kNamespaceRDF, "Description"))
        {
            continue;
        }
        const char* attribute = AttributeIn(description, uri.c_str(), name.c_str());
        if (attribute != nullptr)
        {
            value = attribute;
            return true;
        }
        for (const XMLElement* property = description->FirstChildElement(); property != nullptr;
             property = property->NextSiblingElement())
        {
            if (Is(property, uri.c_str(), name.c_str()) && SimpleText(property, value))
            {
                return true;
            }
        }
    }
    return false;
}

bool GXMPPacket::ReadStructArray(const std::string& uri, const std::string& name, const std::string& fieldURI,
                                 std::vector<TStructFields>& items, bool& present, std::string& error) const
{
    items.clear();
    present = false;
    for (const XMLElement* description = mState->rdf == nullptr ? nullptr : mState->rdf->FirstChildElement();
         description != nullptr; description = description->NextSiblingElement())
    {
        if (!Is(description, kNamespaceRDF, "Description"))
        {
            continue;
        }
        for (const XMLElement* property = description->FirstChildElement(); property != nullptr;
             property = property->NextSiblingElement())
        {
            if (!Is(property, uri.c_str(), name.c_str()))
            {
                continue;
            }
            present = true;
            const XMLElement* array = property->FirstChildElement();
            if (array == nullptr || !(Is(array, kNamespaceRDF, "Seq") || Is(array, kNamespaceRDF, "Bag") ||
                                      Is(array, kNamespaceRDF, "Alt")))
            {
                if (array == nullptr && IsWhiteSpace(property->GetText()))
                {
                    return true; // an empty value: no items
                }
                error = "the property " + std::string(property->Name()) + " is not an array";
                return false;
            }
            for (const XMLElement* item = array->FirstChildElement(); item != nullptr;
                 item = item->NextSiblingElement())
            {
                if (!Is(item, kNamespaceRDF, "li"))
                {
                    continue;
                }
                TStructFields fields;
                const char* parseType = AttributeIn(item, kNamespaceRDF, "parseType");
                if (parseType != nullptr && std::strcmp(parseType, "Resource") == 0)
                {
                    CollectFields(item, fieldURI, fields);
                }
                else
                {
                    const XMLElement* node = item->FirstChildElement();
                    CollectFields(Is(node, kNamespaceRDF, "Description") ? node : item, fieldURI, fields);
                }
                items.push_back(std::move(fields));
            }
            return true;
        }
    }
    return true;
}

void GXMPPacket::DeclareNamespace(const std::string& prefix, const std::string& uri)
{
    for (const auto& declared : mState->namespaces)
    {
        if (declared.first == prefix)
        {
            return;
        }
    }
    mState->namespaces.emplace_back(prefix, uri);
}

void GXMPPacket::AddProperty(const std::string& elementText)
{
    mState->properties.push_back(elementText);
}

std::string GXMPPacket::Serialize() const
{
    std::string out = kPacketHeader;
    const GState& state = *mState;
    const XMLElement* root = state.parsed ? state.document.RootElement() : nullptr;
    auto writeOthers = [&](bool beforeRoot)
    {
        bool seenRoot = false;
        for (const XMLNode* node = state.document.FirstChild(); state.parsed && node != nullptr;
             node = node->NextSibling())
        {
            if (node == root)
            {
                seenRoot = true;
                continue;
            }
            if (seenRoot != beforeRoot &&
                (node->ToComment() != nullptr || node->ToDeclaration() != nullptr) &&
                !IsPacketInstruction(node))
            {
                state.WriteInline(node, out);
                out += '\n';
            }
        }
    };
    writeOthers(true);
    if (state.meta != nullptr)
    {
        state.WriteElement(state.meta, 0, out);
    }
    else
    {
        out += "<x:xmpmeta xmlns:x=\"" + std::string(kNamespaceMeta) + "\" x:xmptk=\"" + kToolkit + "\">\n";
        if (state.rdf != nullptr)
        {
            state.WriteElement(state.rdf, 1, out);
        }
        else
        {
            out += " <rdf:RDF xmlns:rdf=\"" + std::string(kNamespaceRDF) + "\">\n";
            out += state.NewDescription(2);
            out += " </rdf:RDF>\n";
        }
        out += "</x:xmpmeta>\n";
    }
    writeOthers(false);
    for (int line = 0; line < kPaddingLines; ++line)
    {
        out.append(kPaddingWidth, ' ');
        out += '\n';
    }
    out += kPacketTrailer;
    return out;
}
} // namespace xmp
} // namespace typehold
