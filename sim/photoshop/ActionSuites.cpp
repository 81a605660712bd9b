#include "ActionSuites.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <new>
#include <unordered_set>

namespace
{
// What a Handle points to: the address of the first member, the block's pointer.
struct HandleRecord
{
    char* mData = nullptr;
    std::int32_t mSize = 0;
    bool mLocked = false;
};

struct Registry
{
    std::mutex mMutex;
    std::unordered_set<ActionDescriptorData*> mDescriptors;
    std::unordered_set<ActionReferenceData*> mReferences;
    std::unordered_set<ActionListData*> mLists;
    std::unordered_set<HandleRecord*> mHandles;
    ActionMisuseReporter mReporter;
};

// Never destroyed: a plug-in may still call into the suites while the process ends.
Registry& TheRegistry()
{
    static Registry* sRegistry = new Registry;
    return *sRegistry;
}

using Lock = std::lock_guard<std::mutex>;

// Runs a suite function's body under the registry lock; no exception leaves towards the plug-in.
template <typename Body>
OSErr Guarded(Body&& body) noexcept
{
    try
    {
        Lock lock(TheRegistry().mMutex);
        return body();
    }
    catch (const std::bad_alloc&)
    {
        return kActionOutOfMemory;
    }
    catch (...)
    {
        return kActionParamError;
    }
}

void Misuse(const char* suite, const char* function, const void* object)
{
    const ActionMisuseReporter& reporter = TheRegistry().mReporter;
    if (reporter)
    {
        reporter(std::string(suite) + " suite: " + function +
                     (object == nullptr ? " with a null object" : " with an unknown object"),
                 object != nullptr);
    }
}

// What each kind of pointer handed to plug-ins stands for, and where the live ones are kept.
template <typename Pointer>
struct Kind;

template <>
struct Kind<PIActionDescriptor>
{
    using Data = ActionDescriptorData;
    static constexpr const char* kSuite = "descriptor";
    static std::unordered_set<Data*>& LiveSet() { return TheRegistry().mDescriptors; }
};

template <>
struct Kind<PIActionReference>
{
    using Data = ActionReferenceData;
    static constexpr const char* kSuite = "reference";
    static std::unordered_set<Data*>& LiveSet() { return TheRegistry().mReferences; }
};

template <>
struct Kind<PIActionList>
{
    using Data = ActionListData;
    static constexpr const char* kSuite = "list";
    static std::unordered_set<Data*>& LiveSet() { return TheRegistry().mLists; }
};

template <>
struct Kind<Handle>
{
    using Data = HandleRecord;
    static constexpr const char* kSuite = "handle";
    static std::unordered_set<Data*>& LiveSet() { return TheRegistry().mHandles; }
};

// The live object behind a plug-in's pointer (under the lock), or null.
template <typename Pointer>
typename Kind<Pointer>::Data* Find(Pointer pointer)
{
    auto* data = reinterpret_cast<typename Kind<Pointer>::Data*>(pointer);
    return data != nullptr && Kind<Pointer>::LiveSet().count(data) != 0 ? data : nullptr;
}

// The same for a suite function: a pointer that is not live is reported as a misuse.
template <typename Pointer>
typename Kind<Pointer>::Data* Live(Pointer pointer, const char* function)
{
    auto* data = Find(pointer);
    if (data == nullptr)
    {
        Misuse(Kind<Pointer>::kSuite, function, pointer);
    }
    return data;
}

template <typename Pointer>
Pointer Register(const typename Kind<Pointer>::Data& data)
{
    auto owned = std::make_unique<typename Kind<Pointer>::Data>(data);
    Kind<Pointer>::LiveSet().insert(owned.get());
    return reinterpret_cast<Pointer>(owned.release());
}

// Make and Free of the descriptor, reference and list suites.
template <typename Pointer>
OSErr MakeObject(Pointer* pointer)
{
    return Guarded(
        [&]
        {
            if (pointer == nullptr)
            {
                return kActionParamError;
            }
            *pointer = Register<Pointer>({});
            return kActionNoError;
        });
}

template <typename Pointer>
OSErr FreeObject(Pointer pointer)
{
    return Guarded(
        [&]
        {
            auto* data = Live(pointer, "Free");
            if (data == nullptr)
            {
                return kActionParamError;
            }
            Kind<Pointer>::LiveSet().erase(data);
            delete data;
            return kActionNoError;
        });
}

Handle RegisterHandle(const void* bytes, std::size_t size)
{
    if (size > 0x7FFFFFFF)
    {
        return nullptr;
    }
    auto record = std::make_unique<HandleRecord>();
    record->mData = static_cast<char*>(std::calloc(size == 0 ? 1 : size, 1));
    if (record->mData == nullptr)
    {
        throw std::bad_alloc();
    }
    if (bytes != nullptr && size > 0)
    {
        std::memcpy(record->mData, bytes, size);
    }
    record->mSize = static_cast<std::int32_t>(size);
    TheRegistry().mHandles.insert(record.get());
    // The handle is the address of the record's data pointer, as a Photoshop handle is.
    return reinterpret_cast<Handle>(&record.release()->mData);
}

void Dispose(HandleRecord* record)
{
    TheRegistry().mHandles.erase(record);
    std::free(record->mData);
    delete record;
}

// --- Descriptor suite ------------------------------------------------------------------------------

// A key's value, for the Get and query members.
template <typename Body>
OSErr WithValue(PIActionDescriptor descriptor, DescriptorKeyID key, const char* function, Body&& body)
{
    return Guarded(
        [&]
        {
            const ActionDescriptorData* data = Live(descriptor, function);
            if (data == nullptr)
            {
                return kActionParamError;
            }
            const ActionValue* value = data->Find(key);
            return value == nullptr ? kActionKeyMissing : body(*value);
        });
}

// A key's value of one of two types (the same type twice for most).
template <typename Body>
OSErr GetTyped(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorTypeID type, const void* out,
               const char* function, Body&& body)
{
    if (out == nullptr)
    {
        return kActionParamError;
    }
    return WithValue(descriptor, key, function,
                     [&](const ActionValue& value)
                     { return value.mType == type ? body(value) : kActionWrongType; });
}

OSErr DescriptorGetType(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorTypeID* type)
{
    if (type == nullptr)
    {
        return kActionParamError;
    }
    return WithValue(descriptor, key, "GetType",
                     [&](const ActionValue& value)
                     {
                         *type = value.mType;
                         return kActionNoError;
                     });
}

OSErr DescriptorGetKey(PIActionDescriptor descriptor, std::uint32_t index, DescriptorKeyID* key)
{
    return Guarded(
        [&]
        {
            const ActionDescriptorData* data = Live(descriptor, "GetKey");
            if (data == nullptr || key == nullptr)
            {
                return kActionParamError;
            }
            if (index >= data->mItems.size())
            {
                return kActionBadIndex;
            }
            *key = data->mItems[index].first;
            return kActionNoError;
        });
}

OSErr DescriptorHasKey(PIActionDescriptor descriptor, DescriptorKeyID key, SPBoolean* hasKey)
{
    return Guarded(
        [&]
        {
            const ActionDescriptorData* data = Live(descriptor, "HasKey");
            if (data == nullptr || hasKey == nullptr)
            {
                return kActionParamError;
            }
            *hasKey = data->Find(key) != nullptr ? 1 : 0;
            return kActionNoError;
        });
}

OSErr DescriptorGetCount(PIActionDescriptor descriptor, std::uint32_t* count)
{
    return Guarded(
        [&]
        {
            const ActionDescriptorData* data = Live(descriptor, "GetCount");
            if (data == nullptr || count == nullptr)
            {
                return kActionParamError;
            }
            *count = static_cast<std::uint32_t>(data->mItems.size());
            return kActionNoError;
        });
}

OSErr DescriptorIsEqual(PIActionDescriptor descriptor, PIActionDescriptor other, SPBoolean* isEqual)
{
    return Guarded(
        [&]
        {
            const ActionDescriptorData* data = Live(descriptor, "IsEqual");
            const ActionDescriptorData* otherData = Live(other, "IsEqual");
            if (data == nullptr || otherData == nullptr || isEqual == nullptr)
            {
                return kActionParamError;
            }
            *isEqual = *data == *otherData ? 1 : 0;
            return kActionNoError;
        });
}

OSErr DescriptorErase(PIActionDescriptor descriptor, DescriptorKeyID key)
{
    return Guarded(
        [&]
        {
            ActionDescriptorData* data = Live(descriptor, "Erase");
            if (data == nullptr)
            {
                return kActionParamError;
            }
            return data->Erase(key) ? kActionNoError : kActionKeyMissing;
        });
}

OSErr DescriptorClear(PIActionDescriptor descriptor)
{
    return Guarded(
        [&]
        {
            ActionDescriptorData* data = Live(descriptor, "Clear");
            if (data == nullptr)
            {
                return kActionParamError;
            }
            data->mItems.clear();
            return kActionNoError;
        });
}

// Puts a value made under the lock (the maker may look up other live objects; null = refused).
template <typename Maker>
OSErr PutMade(PIActionDescriptor descriptor, DescriptorKeyID key, const char* function, Maker&& maker)
{
    return Guarded(
        [&]
        {
            ActionDescriptorData* data = Live(descriptor, function);
            if (data == nullptr)
            {
                return kActionParamError;
            }
            ActionValue value;
            if (!maker(value))
            {
                return kActionParamError;
            }
            data->Put(key, std::move(value));
            return kActionNoError;
        });
}

OSErr PutValue(PIActionDescriptor descriptor, DescriptorKeyID key, const char* function, ActionValue value)
{
    return PutMade(descriptor, key, function,
                   [&](ActionValue& made)
                   {
                       made = std::move(value);
                       return true;
                   });
}

OSErr DescriptorPutInteger(PIActionDescriptor descriptor, DescriptorKeyID key, std::int32_t value)
{
    return PutValue(descriptor, key, "PutInteger", ActionValue::Integer(value));
}

OSErr DescriptorPutFloat(PIActionDescriptor descriptor, DescriptorKeyID key, double value)
{
    return PutValue(descriptor, key, "PutFloat", ActionValue::Float(value));
}

OSErr DescriptorPutUnitFloat(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorUnitID unit,
                             double value)
{
    return PutValue(descriptor, key, "PutUnitFloat", ActionValue::UnitFloat(unit, value));
}

OSErr DescriptorPutString(PIActionDescriptor descriptor, DescriptorKeyID key, char* value)
{
    if (value == nullptr)
    {
        return kActionParamError;
    }
    return PutMade(descriptor, key, "PutString",
                   [&](ActionValue& made)
                   {
                       made = ActionValue::Text(value);
                       return true;
                   });
}

OSErr DescriptorPutBoolean(PIActionDescriptor descriptor, DescriptorKeyID key, SPBoolean value)
{
    return PutValue(descriptor, key, "PutBoolean", ActionValue::Boolean(value != 0));
}

OSErr DescriptorPutList(PIActionDescriptor descriptor, DescriptorKeyID key, PIActionList value)
{
    return PutMade(descriptor, key, "PutList",
                   [&](ActionValue& made)
                   {
                       const ActionListData* list = Live(value, "PutList");
                       if (list != nullptr)
                       {
                           made = ActionValue::List(*list);
                       }
                       return list != nullptr;
                   });
}

OSErr PutObjectOfType(DescriptorTypeID type, PIActionDescriptor descriptor, DescriptorKeyID key,
                      DescriptorClassID objectClass, PIActionDescriptor value, const char* function)
{
    return PutMade(descriptor, key, function,
                   [&](ActionValue& made)
                   {
                       const ActionDescriptorData* object = Live(value, function);
                       if (object != nullptr)
                       {
                           made = ActionValue::Object(type, objectClass, *object);
                       }
                       return object != nullptr;
                   });
}

OSErr DescriptorPutObject(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorClassID type,
                          PIActionDescriptor value)
{
    return PutObjectOfType(kTypeObject, descriptor, key, type, value, "PutObject");
}

OSErr DescriptorPutGlobalObject(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorClassID type,
                                PIActionDescriptor value)
{
    return PutObjectOfType(kTypeGlobalObject, descriptor, key, type, value, "PutGlobalObject");
}

OSErr DescriptorPutEnumerated(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorEnumTypeID type,
                              DescriptorEnumID value)
{
    return PutValue(descriptor, key, "PutEnumerated", ActionValue::Enumerated(type, value));
}

OSErr DescriptorPutReference(PIActionDescriptor descriptor, DescriptorKeyID key, PIActionReference value)
{
    return PutMade(descriptor, key, "PutReference",
                   [&](ActionValue& made)
                   {
                       const ActionReferenceData* reference = Live(value, "PutReference");
                       if (reference != nullptr)
                       {
                           made = ActionValue::Reference(*reference);
                       }
                       return reference != nullptr;
                   });
}

OSErr DescriptorPutClass(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorClassID value)
{
    return PutValue(descriptor, key, "PutClass", ActionValue::Class(kTypeClass, value));
}

OSErr DescriptorPutGlobalClass(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorClassID value)
{
    return PutValue(descriptor, key, "PutGlobalClass", ActionValue::Class(kTypeGlobalClass, value));
}

OSErr DescriptorPutAlias(PIActionDescriptor descriptor, DescriptorKeyID key, Handle value)
{
    return PutMade(descriptor, key, "PutAlias",
                   [&](ActionValue& made)
                   {
                       const HandleRecord* record = Live(value, "PutAlias");
                       if (record != nullptr)
                       {
                           made = ActionValue::Alias(
                               std::vector<std::uint8_t>(record->mData, record->mData + record->mSize));
                       }
                       return record != nullptr;
                   });
}

OSErr DescriptorGetInteger(PIActionDescriptor descriptor, DescriptorKeyID key, std::int32_t* value)
{
    return GetTyped(descriptor, key, kTypeInteger, value, "GetInteger",
                    [&](const ActionValue& stored)
                    {
                        *value = stored.mInteger;
                        return kActionNoError;
                    });
}

OSErr DescriptorGetFloat(PIActionDescriptor descriptor, DescriptorKeyID key, double* value)
{
    return GetTyped(descriptor, key, kTypeFloat, value, "GetFloat",
                    [&](const ActionValue& stored)
                    {
                        *value = stored.mFloat;
                        return kActionNoError;
                    });
}

OSErr DescriptorGetUnitFloat(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorUnitID* unit,
                             double* value)
{
    return GetTyped(descriptor, key, kTypeUnitFloat, value, "GetUnitFloat",
                    [&](const ActionValue& stored)
                    {
                        if (unit != nullptr)
                        {
                            *unit = stored.mCode;
                        }
                        *value = stored.mFloat;
                        return kActionNoError;
                    });
}

// The length in bytes, without the terminating NUL.
OSErr DescriptorGetStringLength(PIActionDescriptor descriptor, DescriptorKeyID key,
                                std::uint32_t* stringLength)
{
    return GetTyped(descriptor, key, kTypeText, stringLength, "GetStringLength",
                    [&](const ActionValue& stored)
                    {
                        *stringLength = static_cast<std::uint32_t>(stored.mText.size());
                        return kActionNoError;
                    });
}

// Copies at most maxLength - 1 bytes and always terminates.
OSErr DescriptorGetString(PIActionDescriptor descriptor, DescriptorKeyID key, char* cstrValue,
                          std::uint32_t maxLength)
{
    if (maxLength == 0)
    {
        return kActionParamError;
    }
    return GetTyped(descriptor, key, kTypeText, cstrValue, "GetString",
                    [&](const ActionValue& stored)
                    {
                        const std::size_t length = std::min<std::size_t>(stored.mText.size(), maxLength - 1);
                        std::memcpy(cstrValue, stored.mText.data(), length);
                        cstrValue[length] = '\0';
                        return kActionNoError;
                    });
}

OSErr DescriptorGetBoolean(PIActionDescriptor descriptor, DescriptorKeyID key, SPBoolean* value)
{
    return GetTyped(descriptor, key, kTypeBoolean, value, "GetBoolean",
                    [&](const ActionValue& stored)
                    {
                        *value = stored.mBoolean ? 1 : 0;
                        return kActionNoError;
                    });
}

OSErr DescriptorGetList(PIActionDescriptor descriptor, DescriptorKeyID key, PIActionList* value)
{
    return GetTyped(descriptor, key, kTypeList, value, "GetList",
                    [&](const ActionValue& stored)
                    {
                        *value = Register<PIActionList>(stored.mList ? *stored.mList : ActionListData{});
                        return kActionNoError;
                    });
}

OSErr GetObjectOfType(DescriptorTypeID type, PIActionDescriptor descriptor, DescriptorKeyID key,
                      DescriptorClassID* objectClass, PIActionDescriptor* value, const char* function)
{
    return GetTyped(descriptor, key, type, value, function,
                    [&](const ActionValue& stored)
                    {
                        if (objectClass != nullptr)
                        {
                            *objectClass = stored.mCode;
                        }
                        *value = Register<PIActionDescriptor>(stored.mObject ? *stored.mObject
                                                                             : ActionDescriptorData{});
                        return kActionNoError;
                    });
}

OSErr DescriptorGetObject(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorClassID* type,
                          PIActionDescriptor* value)
{
    return GetObjectOfType(kTypeObject, descriptor, key, type, value, "GetObject");
}

OSErr DescriptorGetGlobalObject(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorClassID* type,
                                PIActionDescriptor* value)
{
    return GetObjectOfType(kTypeGlobalObject, descriptor, key, type, value, "GetGlobalObject");
}

OSErr DescriptorGetEnumerated(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorEnumTypeID* type,
                              DescriptorEnumID* value)
{
    return GetTyped(descriptor, key, kTypeEnumerated, value, "GetEnumerated",
                    [&](const ActionValue& stored)
                    {
                        if (type != nullptr)
                        {
                            *type = stored.mCode;
                        }
                        *value = stored.mCode2;
                        return kActionNoError;
                    });
}

OSErr DescriptorGetReference(PIActionDescriptor descriptor, DescriptorKeyID key, PIActionReference* value)
{
    return GetTyped(descriptor, key, kTypeReference, value, "GetReference",
                    [&](const ActionValue& stored)
                    {
                        *value = Register<PIActionReference>(stored.mReference ? *stored.mReference
                                                                               : ActionReferenceData{});
                        return kActionNoError;
                    });
}

OSErr DescriptorGetClass(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorClassID* value)
{
    return GetTyped(descriptor, key, kTypeClass, value, "GetClass",
                    [&](const ActionValue& stored)
                    {
                        *value = stored.mCode;
                        return kActionNoError;
                    });
}

OSErr DescriptorGetGlobalClass(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorClassID* value)
{
    return GetTyped(descriptor, key, kTypeGlobalClass, value, "GetGlobalClass",
                    [&](const ActionValue& stored)
                    {
                        *value = stored.mCode;
                        return kActionNoError;
                    });
}

// A new handle with the alias bytes; the caller disposes it through the handle suite.
OSErr DescriptorGetAlias(PIActionDescriptor descriptor, DescriptorKeyID key, Handle* value)
{
    return GetTyped(descriptor, key, kTypeAlias, value, "GetAlias",
                    [&](const ActionValue& stored)
                    {
                        *value = RegisterHandle(stored.mBytes.data(), stored.mBytes.size());
                        return *value != nullptr ? kActionNoError : kActionOutOfMemory;
                    });
}

// --- Reference suite -------------------------------------------------------------------------------

// The first item (the object the reference names).
template <typename Body>
OSErr WithFirstItem(PIActionReference reference, const void* out, const char* function, Body&& body)
{
    return Guarded(
        [&]
        {
            const ActionReferenceData* data = Live(reference, function);
            if (data == nullptr || out == nullptr)
            {
                return kActionParamError;
            }
            if (data->mItems.empty())
            {
                return kActionBadIndex;
            }
            body(data->mItems.front());
            return kActionNoError;
        });
}

OSErr ReferenceGetForm(PIActionReference reference, DescriptorFormID* value)
{
    return WithFirstItem(reference, value, "GetForm",
                         [&](const ActionReferenceItem& item) { *value = item.mForm; });
}

OSErr ReferenceGetDesiredClass(PIActionReference reference, DescriptorClassID* value)
{
    return WithFirstItem(reference, value, "GetDesiredClass",
                         [&](const ActionReferenceItem& item) { *value = item.mDesiredClass; });
}

ActionReferenceItem MakeItem(DescriptorClassID desiredClass, DescriptorFormID form, std::uint32_t value = 0)
{
    ActionReferenceItem item;
    item.mDesiredClass = desiredClass;
    item.mForm = form;
    item.mValue = value;
    return item;
}

OSErr AddItem(PIActionReference reference, const char* function, ActionReferenceItem item)
{
    return Guarded(
        [&]
        {
            ActionReferenceData* data = Live(reference, function);
            if (data == nullptr)
            {
                return kActionParamError;
            }
            data->mItems.push_back(std::move(item));
            return kActionNoError;
        });
}

OSErr ReferencePutName(PIActionReference reference, DescriptorClassID desiredClass, char* cstrValue)
{
    if (cstrValue == nullptr)
    {
        return kActionParamError;
    }
    ActionReferenceItem item = MakeItem(desiredClass, kFormName);
    item.mName = cstrValue;
    return AddItem(reference, "PutName", std::move(item));
}

OSErr ReferencePutIndex(PIActionReference reference, DescriptorClassID desiredClass, std::uint32_t value)
{
    return AddItem(reference, "PutIndex", MakeItem(desiredClass, kFormIndex, value));
}

OSErr ReferencePutIdentifier(PIActionReference reference, DescriptorClassID desiredClass, std::uint32_t value)
{
    return AddItem(reference, "PutIdentifier", MakeItem(desiredClass, kFormIdentifier, value));
}

OSErr ReferencePutOffset(PIActionReference reference, DescriptorClassID desiredClass, std::int32_t value)
{
    ActionReferenceItem item = MakeItem(desiredClass, kFormOffset);
    item.mOffset = value;
    return AddItem(reference, "PutOffset", item);
}

OSErr ReferencePutEnumerated(PIActionReference reference, DescriptorClassID desiredClass,
                             DescriptorEnumTypeID type, DescriptorEnumID value)
{
    ActionReferenceItem item = MakeItem(desiredClass, kFormEnumerated, value);
    item.mEnumType = type;
    return AddItem(reference, "PutEnumerated", item);
}

OSErr ReferencePutProperty(PIActionReference reference, DescriptorClassID desiredClass, DescriptorKeyID value)
{
    return AddItem(reference, "PutProperty", MakeItem(desiredClass, kFormProperty, value));
}

OSErr ReferencePutClass(PIActionReference reference, DescriptorClassID desiredClass)
{
    return AddItem(reference, "PutClass", MakeItem(desiredClass, kFormClass));
}

// --- List suite ------------------------------------------------------------------------------------

// Lists count from 0.
OSErr ListGetType(PIActionList list, std::uint32_t index, DescriptorTypeID* value)
{
    return Guarded(
        [&]
        {
            const ActionListData* data = Live(list, "GetType");
            if (data == nullptr || value == nullptr)
            {
                return kActionParamError;
            }
            if (index >= data->mItems.size())
            {
                return kActionBadIndex;
            }
            *value = data->mItems[index].mType;
            return kActionNoError;
        });
}

OSErr ListGetCount(PIActionList list, std::uint32_t* value)
{
    return Guarded(
        [&]
        {
            const ActionListData* data = Live(list, "GetCount");
            if (data == nullptr || value == nullptr)
            {
                return kActionParamError;
            }
            *value = static_cast<std::uint32_t>(data->mItems.size());
            return kActionNoError;
        });
}

// --- Handle suite ----------------------------------------------------------------------------------

Handle HandleNew(std::int32_t size)
{
    Handle handle = nullptr;
    Guarded(
        [&]
        {
            handle = size < 0 ? nullptr : RegisterHandle(nullptr, static_cast<std::size_t>(size));
            return kActionNoError;
        });
    return handle;
}

void HandleDispose(Handle handle)
{
    if (handle == nullptr)
    {
        return;
    }
    Guarded(
        [&]
        {
            HandleRecord* record = Live(handle, "Dispose");
            if (record != nullptr)
            {
                Dispose(record);
            }
            return kActionNoError;
        });
}

void HandleSetLock(Handle handle, SPBoolean lock, char** address, SPBoolean* oldLock)
{
    Guarded(
        [&]
        {
            HandleRecord* record = Live(handle, "SetLock");
            if (record != nullptr)
            {
                if (oldLock != nullptr)
                {
                    *oldLock = record->mLocked ? 1 : 0;
                }
                record->mLocked = lock != 0;
                if (address != nullptr)
                {
                    *address = record->mData;
                }
            }
            else if (address != nullptr)
            {
                *address = nullptr;
            }
            return kActionNoError;
        });
}

std::int32_t HandleGetSize(Handle handle)
{
    std::int32_t size = 0;
    Guarded(
        [&]
        {
            const HandleRecord* record = Live(handle, "GetSize");
            size = record != nullptr ? record->mSize : 0;
            return kActionNoError;
        });
    return size;
}

// The served slots of each table; a null slot, and every slot after the table, answers as an
// unexpected call.
const ServedTable<ActionDescriptorTable, SuiteId::kActionDescriptor> sDescriptorSuite({
    .Make = MakeObject<PIActionDescriptor>,
    .Free = FreeObject<PIActionDescriptor>,
    .GetType = DescriptorGetType,
    .GetKey = DescriptorGetKey,
    .HasKey = DescriptorHasKey,
    .GetCount = DescriptorGetCount,
    .IsEqual = DescriptorIsEqual,
    .Erase = DescriptorErase,
    .Clear = DescriptorClear,
    .PutInteger = DescriptorPutInteger,
    .PutFloat = DescriptorPutFloat,
    .PutUnitFloat = DescriptorPutUnitFloat,
    .PutString = DescriptorPutString,
    .PutBoolean = DescriptorPutBoolean,
    .PutList = DescriptorPutList,
    .PutObject = DescriptorPutObject,
    .PutGlobalObject = DescriptorPutGlobalObject,
    .PutEnumerated = DescriptorPutEnumerated,
    .PutReference = DescriptorPutReference,
    .PutClass = DescriptorPutClass,
    .PutGlobalClass = DescriptorPutGlobalClass,
    .PutAlias = DescriptorPutAlias,
    .GetInteger = DescriptorGetInteger,
    .GetFloat = DescriptorGetFloat,
    .GetUnitFloat = DescriptorGetUnitFloat,
    .GetStringLength = DescriptorGetStringLength,
    .GetString = DescriptorGetString,
    .GetBoolean = DescriptorGetBoolean,
    .GetList = DescriptorGetList,
    .GetObject = DescriptorGetObject,
    .GetGlobalObject = DescriptorGetGlobalObject,
    .GetEnumerated = DescriptorGetEnumerated,
    .GetReference = DescriptorGetReference,
    .GetClass = DescriptorGetClass,
    .GetGlobalClass = DescriptorGetGlobalClass,
    .GetAlias = DescriptorGetAlias,
});

const ServedTable<ActionReferenceTable, SuiteId::kActionReference> sReferenceSuite({
    .Make = MakeObject<PIActionReference>,
    .Free = FreeObject<PIActionReference>,
    .GetForm = ReferenceGetForm,
    .GetDesiredClass = ReferenceGetDesiredClass,
    .PutName = ReferencePutName,
    .PutIndex = ReferencePutIndex,
    .PutIdentifier = ReferencePutIdentifier,
    .PutOffset = ReferencePutOffset,
    .PutEnumerated = ReferencePutEnumerated,
    .PutProperty = ReferencePutProperty,
    .PutClass = ReferencePutClass,
    .GetNameLength = nullptr,
    .GetName = nullptr,
    .GetIndex = nullptr,
    .GetIdentifier = nullptr,
    .GetOffset = nullptr,
    .GetEnumerated = nullptr,
    .GetProperty = nullptr,
    .GetContainer = nullptr,
});

const ServedTable<ActionListTable, SuiteId::kActionList> sListSuite({
    .Make = MakeObject<PIActionList>,
    .Free = FreeObject<PIActionList>,
    .GetType = ListGetType,
    .GetCount = ListGetCount,
});

// Resizing, recovering space and disposing of a regular handle are nothing a plug-in of ours asks for.
const ServedTable<HandleTable1, SuiteId::kHandle1> sHandleSuite1({
    .New = HandleNew,
    .Dispose = HandleDispose,
    .SetLock = HandleSetLock,
    .GetSize = HandleGetSize,
    .SetSize = nullptr,
    .RecoverSpace = nullptr,
});

const ServedTable<HandleTable2, SuiteId::kHandle2> sHandleSuite2({
    .New = HandleNew,
    .Dispose = HandleDispose,
    .DisposeRegularHandle = nullptr,
    .SetLock = HandleSetLock,
    .GetSize = HandleGetSize,
    .SetSize = nullptr,
    .RecoverSpace = nullptr,
});
} // namespace

void SetActionMisuseReporter(ActionMisuseReporter reporter)
{
    Lock lock(TheRegistry().mMutex);
    TheRegistry().mReporter = std::move(reporter);
}

namespace
{
template <typename Pointer>
Pointer NewLive(const typename Kind<Pointer>::Data& data)
{
    Lock lock(TheRegistry().mMutex);
    return Register<Pointer>(data);
}

template <typename Pointer>
bool CopyLive(Pointer pointer, typename Kind<Pointer>::Data& copy)
{
    Lock lock(TheRegistry().mMutex);
    const auto* data = Find(pointer);
    if (data != nullptr)
    {
        copy = *data;
    }
    return data != nullptr;
}

template <typename Pointer>
bool FreeLive(Pointer pointer)
{
    Lock lock(TheRegistry().mMutex);
    auto* data = Find(pointer);
    if (data != nullptr)
    {
        Kind<Pointer>::LiveSet().erase(data);
        delete data;
    }
    return data != nullptr;
}
} // namespace

PIActionDescriptor ActionObjects::NewDescriptor(const ActionDescriptorData& data)
{
    return NewLive<PIActionDescriptor>(data);
}

PIActionReference ActionObjects::NewReference(const ActionReferenceData& data)
{
    return NewLive<PIActionReference>(data);
}

PIActionList ActionObjects::NewList(const ActionListData& data)
{
    return NewLive<PIActionList>(data);
}

Handle ActionObjects::NewHandle(const void* bytes, std::size_t size)
{
    Lock lock(TheRegistry().mMutex);
    return RegisterHandle(bytes, size);
}

bool ActionObjects::CopyDescriptor(PIActionDescriptor descriptor, ActionDescriptorData& data)
{
    return CopyLive(descriptor, data);
}

bool ActionObjects::CopyReference(PIActionReference reference, ActionReferenceData& data)
{
    return CopyLive(reference, data);
}

bool ActionObjects::CopyList(PIActionList list, ActionListData& data)
{
    return CopyLive(list, data);
}

bool ActionObjects::CopyHandle(Handle handle, std::vector<std::uint8_t>& bytes)
{
    Lock lock(TheRegistry().mMutex);
    const HandleRecord* record = Find(handle);
    if (record != nullptr)
    {
        bytes.assign(record->mData, record->mData + record->mSize);
    }
    return record != nullptr;
}

bool ActionObjects::FreeDescriptor(PIActionDescriptor descriptor)
{
    return FreeLive(descriptor);
}

bool ActionObjects::FreeReference(PIActionReference reference)
{
    return FreeLive(reference);
}

bool ActionObjects::FreeList(PIActionList list)
{
    return FreeLive(list);
}

bool ActionObjects::DisposeHandle(Handle handle)
{
    Lock lock(TheRegistry().mMutex);
    HandleRecord* record = Find(handle);
    if (record != nullptr)
    {
        Dispose(record);
    }
    return record != nullptr;
}

ActionObjects::LiveCounts ActionObjects::CountLive()
{
    Lock lock(TheRegistry().mMutex);
    const Registry& registry = TheRegistry();
    return LiveCounts{registry.mDescriptors.size(), registry.mReferences.size(), registry.mLists.size(),
                      registry.mHandles.size()};
}

const ActionDescriptorTable* ActionDescriptorSuite()
{
    return sDescriptorSuite.Get();
}

const ActionReferenceTable* ActionReferenceSuite()
{
    return sReferenceSuite.Get();
}

const ActionListTable* ActionListSuite()
{
    return sListSuite.Get();
}

const HandleTable1* HandleSuite1()
{
    return sHandleSuite1.Get();
}

const HandleTable2* HandleSuite2()
{
    return sHandleSuite2.Get();
}
