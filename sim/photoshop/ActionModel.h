#pragma once
// The values of Photoshop's action system as the stand-in keeps them: descriptors (key/value
// maps in insertion order), references (chains of items that name an object) and lists.
//
// A value put into a container is a snapshot: containers hold their children as shared,
// immutable copies, so a plug-in that changes or frees what it put cannot reach into the
// container, and what it gets out is a fresh copy again (ActionSuites makes those copies).

#include "HostInterface.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

// Type codes of descriptor and list values, as GetType answers them.
constexpr DescriptorTypeID kTypeInteger = FourCharCode("long");
constexpr DescriptorTypeID kTypeFloat = FourCharCode("doub");
constexpr DescriptorTypeID kTypeUnitFloat = FourCharCode("UntF");
constexpr DescriptorTypeID kTypeText = FourCharCode("TEXT");
constexpr DescriptorTypeID kTypeBoolean = FourCharCode("bool");
constexpr DescriptorTypeID kTypeList = FourCharCode("VlLs");
constexpr DescriptorTypeID kTypeObject = FourCharCode("Objc");
constexpr DescriptorTypeID kTypeGlobalObject = FourCharCode("GlbO");
constexpr DescriptorTypeID kTypeEnumerated = FourCharCode("enum");
constexpr DescriptorTypeID kTypeReference = FourCharCode("obj ");
constexpr DescriptorTypeID kTypeClass = FourCharCode("type");
constexpr DescriptorTypeID kTypeGlobalClass = FourCharCode("GlbC");
constexpr DescriptorTypeID kTypeAlias = FourCharCode("alis");

// Forms of reference items.
constexpr DescriptorFormID kFormProperty = FourCharCode("Prpr");
constexpr DescriptorFormID kFormEnumerated = FourCharCode("Ordn");
constexpr DescriptorFormID kFormIndex = FourCharCode("indx");
constexpr DescriptorFormID kFormIdentifier = FourCharCode("Idnt");
constexpr DescriptorFormID kFormName = FourCharCode("name");
constexpr DescriptorFormID kFormOffset = FourCharCode("rele");
constexpr DescriptorFormID kFormClass = FourCharCode("Clss");

// Results of the action suites (OSErr, Mac heritage). One code per kind of failure, used the
// same way by every suite function.
constexpr OSErr kActionNoError = 0;
constexpr OSErr kActionParamError = -50;        // null or unknown object, bad argument
constexpr OSErr kActionOutOfMemory = -108;      // memFullErr
constexpr OSErr kActionWrongType = -1703;       // the key holds a value of another type
constexpr OSErr kActionEventNotHandled = -1708; // Play of an event nobody handles
constexpr OSErr kActionKeyMissing = -1715;      // no such key (errAEParamMissed)
constexpr OSErr kActionBadIndex = -1719;        // index out of range
constexpr OSErr kActionNoSuchObject = -1728;    // a reference names nothing
// What the members beyond the declared part of a suite answer: kHostUnimplemented cut to
// the suite's 16-bit result.
constexpr OSErr kActionUnimplemented = static_cast<OSErr>(kHostUnimplemented & 0xFFFF);

struct ActionDescriptorData;
struct ActionReferenceData;
struct ActionListData;

// One value: mType says which of the fields are meaningful.
//   long: mInteger; doub: mFloat; UntF: mCode (unit), mFloat; TEXT: mText; bool: mBoolean;
//   VlLs: mList; Objc/GlbO: mCode (class), mObject; enum: mCode (type), mCode2 (value);
//   obj : mReference; type/GlbC: mCode (class); alis: mBytes.
struct ActionValue
{
    DescriptorTypeID mType = 0;
    std::int32_t mInteger = 0;
    double mFloat = 0.0;
    std::uint32_t mCode = 0;
    std::uint32_t mCode2 = 0;
    bool mBoolean = false;
    std::string mText;
    std::vector<std::uint8_t> mBytes;
    std::shared_ptr<const ActionDescriptorData> mObject;
    std::shared_ptr<const ActionReferenceData> mReference;
    std::shared_ptr<const ActionListData> mList;

    static ActionValue Integer(std::int32_t value);
    static ActionValue Float(double value);
    static ActionValue UnitFloat(DescriptorUnitID unit, double value);
    static ActionValue Text(std::string value);
    static ActionValue Boolean(bool value);
    static ActionValue Enumerated(DescriptorEnumTypeID type, DescriptorEnumID value);
    static ActionValue Class(DescriptorTypeID type, DescriptorClassID value); // type or GlbC
    static ActionValue Object(DescriptorTypeID type, DescriptorClassID objectClass,
                              const ActionDescriptorData& value); // Objc or GlbO
    static ActionValue Reference(const ActionReferenceData& value);
    static ActionValue List(const ActionListData& value);
    static ActionValue Alias(std::vector<std::uint8_t> bytes);
};

bool operator==(const ActionValue& a, const ActionValue& b);

struct ActionDescriptorData
{
    std::vector<std::pair<DescriptorKeyID, ActionValue>> mItems;

    // The value of a key, or null.
    const ActionValue* Find(DescriptorKeyID key) const;
    // Replaces the value of an existing key in place, or appends the key.
    void Put(DescriptorKeyID key, ActionValue value);
    // False when the key was not there.
    bool Erase(DescriptorKeyID key);
};

bool operator==(const ActionDescriptorData& a, const ActionDescriptorData& b);

struct ActionReferenceItem
{
    DescriptorClassID mDesiredClass = 0;
    DescriptorFormID mForm = 0;
    // Prpr: the property key; indx: the 1-based index; Idnt: the identifier; Ordn: the enum value.
    std::uint32_t mValue = 0;
    DescriptorEnumTypeID mEnumType = 0; // Ordn
    std::int32_t mOffset = 0;           // rele
    std::string mName;                  // name
};

bool operator==(const ActionReferenceItem& a, const ActionReferenceItem& b);

// Items in the order they were put: the first is the object itself, the ones after it its
// containers ("property 'DocI' of the target document" is Prpr 'DocI', then Ordn 'Trgt').
struct ActionReferenceData
{
    std::vector<ActionReferenceItem> mItems;
};

bool operator==(const ActionReferenceData& a, const ActionReferenceData& b);

struct ActionListData
{
    std::vector<ActionValue> mItems;
};

bool operator==(const ActionListData& a, const ActionListData& b);

// 'abcd' as text with its quotes when all four characters are printable ASCII, otherwise the
// number in hexadecimal (0x00001234).
std::string FormatCode(std::uint32_t code);
// A four-character code from exactly four characters; false for any other length.
bool ParseCode(const std::string& text, std::uint32_t& code);

// One-line renderings for the transcript: {'SPor': long 8080, 'Nm  ': TEXT "name"}.
std::string DescribeValue(const ActionValue& value);
std::string DescribeDescriptor(const ActionDescriptorData& descriptor);
std::string DescribeReference(const ActionReferenceData& reference);
std::string DescribeList(const ActionListData& list);
