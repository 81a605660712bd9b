#pragma once
// XMP packets: an existing packet is read with tinyxml2, properties are removed from its
// descriptions, new properties are added in a description of their own, and the packet is written
// out again as text (the wrapper, the padding, every other element, attribute, comment and
// processing instruction kept).
//
// Namespaces are told by their URIs, whatever prefixes a packet binds to them.

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace typehold
{
namespace xmp
{
constexpr const char* kNamespaceRDF = "http://www.w3.org/1999/02/22-rdf-syntax-ns#";
constexpr const char* kNamespaceMeta = "adobe:ns:meta/";
constexpr const char* kNamespaceXMP = "http://ns.adobe.com/xap/1.0/";
constexpr const char* kNamespaceXMPMM = "http://ns.adobe.com/xap/1.0/mm/";
constexpr const char* kNamespaceDC = "http://purl.org/dc/elements/1.1/";
constexpr const char* kNamespacePhotoshop = "http://ns.adobe.com/photoshop/1.0/";
constexpr const char* kNamespacePagedText = "http://ns.adobe.com/xap/1.0/t/pg/";
constexpr const char* kNamespaceFontType = "http://ns.adobe.com/xap/1.0/sType/Font#";

// Text escaped for element content and for attribute values in double quotes.
std::string EscapeText(const std::string& text);
std::string EscapeAttribute(const std::string& text);
// Whether the text can be written in XML 1.0 at all (no control characters other than tab,
// line feed and carriage return, valid UTF-8).
bool IsWritableText(const std::string& text);

// The fields of one structure: (local name, text) in document order.
using TStructFields = std::vector<std::pair<std::string, std::string>>;

class GXMPPacket
{
public:
    GXMPPacket();
    ~GXMPPacket();
    GXMPPacket(const GXMPPacket&) = delete;
    GXMPPacket& operator=(const GXMPPacket&) = delete;

    // Reads a packet (the <?xpacket?> wrapper is optional); an empty text (or only white space
    // and NULs) makes a new, empty packet. False with a one-line reason for anything else that is
    // not XMP: not UTF-8, not well-formed, a DOCTYPE, no rdf:RDF.
    bool Parse(const std::string& packet, std::string& error);

    // Removes every property, in element or attribute form, of every description for which the
    // predicate holds (namespace URI, local name); a description left without properties goes
    // too. Returns the number of properties removed.
    int RemoveProperties(const std::function<bool(const std::string& uri, const std::string& name)>& which);

    // The text of the first simple property of that name.
    bool FindSimple(const std::string& uri, const std::string& name, std::string& value) const;

    // The items of the first array property of that name (rdf:Seq, rdf:Bag or rdf:Alt) whose
    // items are structures: for each item, its simple fields of fieldURI in any of the RDF forms
    // (rdf:parseType="Resource", a nested rdf:Description with elements or attributes).
    // present tells whether there was such a property; false with a reason when it is there but
    // is not an array.
    bool ReadStructArray(const std::string& uri, const std::string& name, const std::string& fieldURI,
                         std::vector<TStructFields>& items, bool& present, std::string& error) const;

    // Adds a property to the description written after the existing ones: its element text,
    // using prefixes declared here (every line of it is indented: line ends inside values must
    // be written as character references).
    void DeclareNamespace(const std::string& prefix, const std::string& uri);
    void AddProperty(const std::string& elementText);

    // The packet: wrapper, the existing content with the removals, the new description, padding.
    std::string Serialize() const;

private:
    struct GState;
    std::unique_ptr<GState> mState;
};
} // namespace xmp
} // namespace typehold
