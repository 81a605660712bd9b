#include "DocumentList.h"

#include <algorithm>

namespace
{
constexpr DescriptorClassID kClassDocument = FourCharCode("Dcmn");
constexpr DescriptorClassID kClassApplication = FourCharCode("capp");
constexpr DescriptorEnumTypeID kEnumOrdinal = FourCharCode("Ordn");
constexpr DescriptorEnumID kEnumTarget = FourCharCode("Trgt");
constexpr DescriptorKeyID kKeyDocumentID = FourCharCode("DocI");
constexpr DescriptorKeyID kKeyTitle = FourCharCode("Ttl ");
constexpr DescriptorKeyID kKeyItemIndex = FourCharCode("ItmI");
constexpr DescriptorKeyID kKeyFile = FourCharCode("FilR");
constexpr DescriptorKeyID kKeyDocumentCount = FourCharCode("NmbD");
constexpr DescriptorKeyID kKeyName = FourCharCode("Nm  ");

bool IsTarget(const ActionReferenceItem& item)
{
    return item.mForm == kFormEnumerated && item.mEnumType == kEnumOrdinal && item.mValue == kEnumTarget;
}
} // namespace

DocumentList::DocumentList(AliasMaker aliasMaker) : mAliasMaker(std::move(aliasMaker))
{
}

SimDocument& DocumentList::Add(SimDocument document)
{
    document.mID = mNextID++;
    mDocuments.push_back(std::make_unique<SimDocument>(std::move(document)));
    mActiveID = mDocuments.back()->mID;
    return *mDocuments.back();
}

bool DocumentList::Remove(std::uint32_t id)
{
    const auto found = std::find_if(mDocuments.begin(), mDocuments.end(),
                                    [id](const auto& document) { return document->mID == id; });
    if (found == mDocuments.end())
    {
        return false;
    }
    mDocuments.erase(found);
    if (mActiveID == id)
    {
        mActiveID = mDocuments.empty() ? 0 : mDocuments.back()->mID;
    }
    return true;
}

bool DocumentList::Activate(std::uint32_t id)
{
    if (FindByID(id) == nullptr)
    {
        return false;
    }
    mActiveID = id;
    return true;
}

SimDocument* DocumentList::Active() const
{
    return FindByID(mActiveID);
}

SimDocument* DocumentList::FindByID(std::uint32_t id) const
{
    for (const auto& document : mDocuments)
    {
        if (document->mID == id)
        {
            return document.get();
        }
    }
    return nullptr;
}

SimDocument* DocumentList::Find(const std::string& what) const
{
    if (!what.empty() && what.size() <= 10 &&
        std::all_of(what.begin(), what.end(), [](char c) { return c >= '0' && c <= '9'; }))
    {
        const unsigned long long id = std::stoull(what);
        if (SimDocument* document = id <= UINT32_MAX ? FindByID(static_cast<std::uint32_t>(id)) : nullptr)
        {
            return document;
        }
    }
    for (const auto& document : mDocuments)
    {
        if (!document->mPath.empty() && document->mPath == what)
        {
            return document.get();
        }
    }
    for (const auto& document : mDocuments)
    {
        if (document->mTitle == what)
        {
            return document.get();
        }
    }
    return nullptr;
}

std::size_t DocumentList::IndexOf(std::uint32_t id) const
{
    for (std::size_t i = 0; i < mDocuments.size(); ++i)
    {
        if (mDocuments[i]->mID == id)
        {
            return i + 1;
        }
    }
    return 0;
}

ActionValue DocumentList::Alias(const SimDocument& document) const
{
    return ActionValue::Alias(mAliasMaker ? mAliasMaker(document) : std::vector<std::uint8_t>());
}

ActionDescriptorData DocumentList::DescribeDocument(const SimDocument& document) const
{
    ActionDescriptorData object;
    object.Put(kKeyTitle, ActionValue::Text(document.mTitle));
    object.Put(kKeyDocumentID, ActionValue::Integer(static_cast<std::int32_t>(document.mID)));
    object.Put(kKeyItemIndex, ActionValue::Integer(static_cast<std::int32_t>(IndexOf(document.mID))));
    if (!document.mPath.empty())
    {
        object.Put(kKeyFile, Alias(document));
    }
    return object;
}

OSErr DocumentList::Get(const ActionReferenceData& reference, ActionDescriptorData& result,
                        std::string& why) const
{
    result.mItems.clear();
    const std::vector<ActionReferenceItem>& items = reference.mItems;
    if (items.empty())
    {
        why = "an empty reference";
        return kActionParamError;
    }
    const bool hasProperty = items.front().mForm == kFormProperty;
    const DescriptorKeyID property = hasProperty ? items.front().mValue : 0;
    if (hasProperty && items.size() < 2)
    {
        why = "a property of no object";
        return kActionNoSuchObject;
    }
    const ActionReferenceItem& target = items[hasProperty ? 1 : 0];

    ActionDescriptorData object;
    if (target.mDesiredClass == kClassApplication)
    {
        if (!IsTarget(target))
        {
            why = "the application is only known as the target";
            return kActionNoSuchObject;
        }
        object.Put(kKeyDocumentCount, ActionValue::Integer(static_cast<std::int32_t>(mDocuments.size())));
        object.Put(kKeyName, ActionValue::Text("Adobe Photoshop"));
    }
    else if (target.mDesiredClass == kClassDocument)
    {
        const SimDocument* document = nullptr;
        if (IsTarget(target))
        {
            document = Active();
            why = "no document is open";
        }
        else if (target.mForm == kFormIndex)
        {
            document = target.mValue >= 1 && target.mValue <= mDocuments.size()
                           ? mDocuments[target.mValue - 1].get()
                           : nullptr;
            why = "no document has index " + std::to_string(target.mValue) + " (" +
                  std::to_string(mDocuments.size()) + " open)";
        }
        else if (target.mForm == kFormIdentifier)
        {
            document = FindByID(target.mValue);
            why = "no open document has ID " + std::to_string(target.mValue);
        }
        else
        {
            why = "documents are not known by " + FormatCode(target.mForm);
        }
        if (document == nullptr)
        {
            return kActionNoSuchObject;
        }
        why.clear();
        if (property == kKeyFile && document->mPath.empty())
        {
            why = "an untitled document has no file";
            return kActionKeyMissing;
        }
        object = DescribeDocument(*document);
    }
    else
    {
        why = "no object of class " + FormatCode(target.mDesiredClass);
        return kActionNoSuchObject;
    }

    if (!hasProperty)
    {
        result = std::move(object);
        return kActionNoError;
    }
    const ActionValue* value = object.Find(property);
    if (value == nullptr)
    {
        why = "no property " + FormatCode(property);
        return kActionNoSuchObject;
    }
    result.Put(property, *value);
    return kActionNoError;
}
