// The action descriptor, reference, list and handle suites, called through their tables as a
// plug-in calls them.

#include "ActionSuites.h"

#include <gtest/gtest.h>

#include <cstring>

namespace
{
constexpr DescriptorKeyID Key(const char (&code)[5])
{
    return FourCharCode(code);
}

class ActionSuitesTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        SetActionMisuseReporter(
            [this](const std::string& line, bool isFault)
            {
                mMisuses.push_back(line);
                mFaults += isFault ? 1 : 0;
            });
        mBefore = ActionObjects::CountLive();
        ASSERT_EQ(0, mDescriptors->Make(&mDescriptor));
    }
    void TearDown() override
    {
        mDescriptors->Free(mDescriptor);
        SetActionMisuseReporter(nullptr);
        const ActionObjects::LiveCounts after = ActionObjects::CountLive();
        EXPECT_EQ(mBefore.mDescriptors, after.mDescriptors) << "a descriptor handed out was not freed";
        EXPECT_EQ(mBefore.mReferences, after.mReferences);
        EXPECT_EQ(mBefore.mLists, after.mLists);
        EXPECT_EQ(mBefore.mHandles, after.mHandles);
    }

    const ActionDescriptorTable* mDescriptors = ActionDescriptorSuite();
    const ActionReferenceTable* mReferences = ActionReferenceSuite();
    PIActionDescriptor mDescriptor = nullptr;
    std::vector<std::string> mMisuses;
    int mFaults = 0;
    ActionObjects::LiveCounts mBefore;
};
} // namespace

TEST_F(ActionSuitesTest, EveryTypeGoesInAndComesOutWithItsTypeCode)
{
    const HandleTable2* handles = HandleSuite2();
    PIActionDescriptor object = nullptr;
    PIActionReference reference = nullptr;
    PIActionList list = nullptr;
    ASSERT_EQ(0, mDescriptors->Make(&object));
    ASSERT_EQ(0, mReferences->Make(&reference));
    ASSERT_EQ(0, ActionListSuite()->Make(&list));
    ASSERT_EQ(0, mDescriptors->PutInteger(object, Key("DocI"), 7));
    ASSERT_EQ(0, mReferences->PutProperty(reference, Key("Dcmn"), Key("DocI")));
    Handle alias = handles->New(3);
    char* data = nullptr;
    handles->SetLock(alias, 1, &data, nullptr);
    std::memcpy(data, "C:\\", 3);
    char text[] = "Tr\xC3\xA8s";

    const PIActionDescriptor d = mDescriptor;
    ASSERT_EQ(0, mDescriptors->PutInteger(d, Key("long"), -5));
    ASSERT_EQ(0, mDescriptors->PutFloat(d, Key("doub"), 1.25));
    ASSERT_EQ(0, mDescriptors->PutUnitFloat(d, Key("UntF"), Key("#Pxl"), 2.5));
    ASSERT_EQ(0, mDescriptors->PutString(d, Key("TEXT"), text));
    ASSERT_EQ(0, mDescriptors->PutBoolean(d, Key("bool"), 1));
    ASSERT_EQ(0, mDescriptors->PutList(d, Key("VlLs"), list));
    ASSERT_EQ(0, mDescriptors->PutObject(d, Key("Objc"), Key("Dcmn"), object));
    ASSERT_EQ(0, mDescriptors->PutGlobalObject(d, Key("GlbO"), Key("capp"), object));
    ASSERT_EQ(0, mDescriptors->PutEnumerated(d, Key("enum"), Key("Ordn"), Key("Trgt")));
    ASSERT_EQ(0, mDescriptors->PutReference(d, Key("obj "), reference));
    ASSERT_EQ(0, mDescriptors->PutClass(d, Key("type"), Key("Dcmn")));
    ASSERT_EQ(0, mDescriptors->PutGlobalClass(d, Key("GlbC"), Key("capp")));
    ASSERT_EQ(0, mDescriptors->PutAlias(d, Key("alis"), alias));
    handles->Dispose(alias);
    mDescriptors->Free(object);
    mReferences->Free(reference);
    ActionListSuite()->Free(list);

    // Each value was put under the key that names its type.
    std::uint32_t count = 0;
    ASSERT_EQ(0, mDescriptors->GetCount(d, &count));
    ASSERT_EQ(13u, count);
    for (std::uint32_t index = 0; index < count; ++index)
    {
        DescriptorKeyID key = 0;
        DescriptorTypeID type = 0;
        ASSERT_EQ(0, mDescriptors->GetKey(d, index, &key));
        ASSERT_EQ(0, mDescriptors->GetType(d, key, &type));
        EXPECT_EQ(key, type) << FormatCode(key);
    }

    std::int32_t integer = 0;
    double number = 0;
    DescriptorUnitID unit = 0;
    SPBoolean flag = 0;
    std::uint32_t length = 0;
    char buffer[16];
    EXPECT_EQ(0, mDescriptors->GetInteger(d, Key("long"), &integer));
    EXPECT_EQ(-5, integer);
    EXPECT_EQ(0, mDescriptors->GetFloat(d, Key("doub"), &number));
    EXPECT_EQ(1.25, number);
    EXPECT_EQ(0, mDescriptors->GetUnitFloat(d, Key("UntF"), &unit, &number));
    EXPECT_EQ(Key("#Pxl"), unit);
    EXPECT_EQ(2.5, number);
    EXPECT_EQ(0, mDescriptors->GetStringLength(d, Key("TEXT"), &length));
    EXPECT_EQ(std::strlen(text), length);
    EXPECT_EQ(0, mDescriptors->GetString(d, Key("TEXT"), buffer, sizeof buffer));
    EXPECT_STREQ(text, buffer);
    EXPECT_EQ(0, mDescriptors->GetString(d, Key("TEXT"), buffer, 3)); // cut, still terminated
    EXPECT_STREQ("Tr", buffer);
    EXPECT_EQ(0, mDescriptors->GetBoolean(d, Key("bool"), &flag));
    EXPECT_EQ(1, flag);

    DescriptorClassID objectClass = 0;
    PIActionDescriptor inner = nullptr;
    EXPECT_EQ(0, mDescriptors->GetObject(d, Key("Objc"), &objectClass, &inner));
    EXPECT_EQ(Key("Dcmn"), objectClass);
    EXPECT_EQ(0, mDescriptors->GetInteger(inner, Key("DocI"), &integer));
    EXPECT_EQ(7, integer);
    mDescriptors->Free(inner);
    EXPECT_EQ(0, mDescriptors->GetGlobalObject(d, Key("GlbO"), &objectClass, &inner));
    EXPECT_EQ(Key("capp"), objectClass);
    mDescriptors->Free(inner);

    DescriptorEnumTypeID enumType = 0;
    DescriptorEnumID enumValue = 0;
    EXPECT_EQ(0, mDescriptors->GetEnumerated(d, Key("enum"), &enumType, &enumValue));
    EXPECT_EQ(Key("Ordn"), enumType);
    EXPECT_EQ(Key("Trgt"), enumValue);

    PIActionReference gotReference = nullptr;
    DescriptorFormID form = 0;
    DescriptorClassID desired = 0;
    EXPECT_EQ(0, mDescriptors->GetReference(d, Key("obj "), &gotReference));
    EXPECT_EQ(0, mReferences->GetForm(gotReference, &form));
    EXPECT_EQ(0, mReferences->GetDesiredClass(gotReference, &desired));
    EXPECT_EQ(kFormProperty, form);
    EXPECT_EQ(Key("Dcmn"), desired);
    mReferences->Free(gotReference);

    PIActionList gotList = nullptr;
    EXPECT_EQ(0, mDescriptors->GetList(d, Key("VlLs"), &gotList));
    EXPECT_EQ(0, ActionListSuite()->GetCount(gotList, &count));
    EXPECT_EQ(0u, count);
    ActionListSuite()->Free(gotList);

    EXPECT_EQ(0, mDescriptors->GetClass(d, Key("type"), &objectClass));
    EXPECT_EQ(Key("Dcmn"), objectClass);
    EXPECT_EQ(0, mDescriptors->GetGlobalClass(d, Key("GlbC"), &objectClass));
    EXPECT_EQ(Key("capp"), objectClass);

    Handle gotAlias = nullptr;
    EXPECT_EQ(0, mDescriptors->GetAlias(d, Key("alis"), &gotAlias));
    ASSERT_NE(nullptr, gotAlias);
    EXPECT_EQ(3, handles->GetSize(gotAlias));
    char* gotData = nullptr;
    handles->SetLock(gotAlias, 1, &gotData, nullptr);
    EXPECT_EQ(0, std::memcmp(gotData, "C:\\", 3));
    handles->Dispose(gotAlias);
    EXPECT_TRUE(mMisuses.empty());
}

TEST_F(ActionSuitesTest, MissingKeysWrongTypesAndBadIndexesAreErrors)
{
    std::int32_t integer = 0;
    double number = 0;
    DescriptorKeyID key = 0;
    EXPECT_EQ(kActionKeyMissing, mDescriptors->GetInteger(mDescriptor, Key("Oper"), &integer));
    EXPECT_EQ(kActionKeyMissing, mDescriptors->Erase(mDescriptor, Key("Oper")));
    ASSERT_EQ(0, mDescriptors->PutInteger(mDescriptor, Key("Oper"), 4));
    EXPECT_EQ(kActionWrongType, mDescriptors->GetFloat(mDescriptor, Key("Oper"), &number));
    EXPECT_EQ(kActionBadIndex, mDescriptors->GetKey(mDescriptor, 1, &key));
    EXPECT_EQ(kActionParamError, mDescriptors->GetInteger(mDescriptor, Key("Oper"), nullptr));

    PIActionReference reference = nullptr;
    DescriptorFormID form = 0;
    ASSERT_EQ(0, mReferences->Make(&reference));
    EXPECT_EQ(kActionBadIndex, mReferences->GetForm(reference, &form)); // an empty reference
    mReferences->Free(reference);
}

TEST_F(ActionSuitesTest, ContainersKeepCopiesAndKeysKeepTheirPlace)
{
    PIActionDescriptor child = nullptr;
    ASSERT_EQ(0, mDescriptors->Make(&child));
    ASSERT_EQ(0, mDescriptors->PutInteger(child, Key("DocI"), 1));
    ASSERT_EQ(0, mDescriptors->PutInteger(mDescriptor, Key("Frst"), 1));
    ASSERT_EQ(0, mDescriptors->PutObject(mDescriptor, Key("Nw  "), Key("Dcmn"), child));
    ASSERT_EQ(0, mDescriptors->PutInteger(child, Key("DocI"), 2));       // after the put: not seen inside
    ASSERT_EQ(0, mDescriptors->PutInteger(mDescriptor, Key("Frst"), 3)); // replaced in place

    DescriptorKeyID key = 0;
    ASSERT_EQ(0, mDescriptors->GetKey(mDescriptor, 0, &key));
    EXPECT_EQ(Key("Frst"), key);
    PIActionDescriptor inner = nullptr;
    ASSERT_EQ(0, mDescriptors->GetObject(mDescriptor, Key("Nw  "), nullptr, &inner));
    std::int32_t value = 0;
    EXPECT_EQ(0, mDescriptors->GetInteger(inner, Key("DocI"), &value));
    EXPECT_EQ(1, value);

    // Equality ignores the order of keys, not their values.
    PIActionDescriptor other = nullptr;
    SPBoolean equal = 0;
    ASSERT_EQ(0, mDescriptors->Make(&other));
    ASSERT_EQ(0, mDescriptors->PutObject(other, Key("Nw  "), Key("Dcmn"), inner));
    ASSERT_EQ(0, mDescriptors->PutInteger(other, Key("Frst"), 3));
    EXPECT_EQ(0, mDescriptors->IsEqual(mDescriptor, other, &equal));
    EXPECT_EQ(1, equal);
    ASSERT_EQ(0, mDescriptors->PutObject(other, Key("Nw  "), Key("Dcmn"), child));
    EXPECT_EQ(0, mDescriptors->IsEqual(mDescriptor, other, &equal));
    EXPECT_EQ(0, equal);

    SPBoolean has = 1;
    std::uint32_t count = 0;
    EXPECT_EQ(0, mDescriptors->Erase(mDescriptor, Key("Frst")));
    EXPECT_EQ(0, mDescriptors->HasKey(mDescriptor, Key("Frst"), &has));
    EXPECT_EQ(0, has);
    EXPECT_EQ(0, mDescriptors->Clear(mDescriptor));
    EXPECT_EQ(0, mDescriptors->GetCount(mDescriptor, &count));
    EXPECT_EQ(0u, count);
    for (PIActionDescriptor owned : {child, inner, other})
    {
        EXPECT_EQ(0, mDescriptors->Free(owned));
    }
}

TEST_F(ActionSuitesTest, ObjectsTheHostDoesNotKnowAreRefusedAndReported)
{
    PIActionDescriptor freed = nullptr;
    ASSERT_EQ(0, mDescriptors->Make(&freed));
    ASSERT_EQ(0, mDescriptors->Free(freed));
    std::int32_t value = 0;
    EXPECT_EQ(kActionParamError, mDescriptors->Free(freed));
    EXPECT_EQ(kActionParamError, mDescriptors->GetInteger(freed, Key("Oper"), &value));
    EXPECT_EQ(kActionParamError, mDescriptors->PutObject(mDescriptor, Key("Objc"), Key("Dcmn"), freed));
    EXPECT_EQ(3, mFaults);
    EXPECT_EQ(kActionParamError, mDescriptors->Clear(nullptr)); // a null one is refused, not a fault
    EXPECT_EQ(3, mFaults);
    ASSERT_EQ(4u, mMisuses.size());
    EXPECT_EQ("descriptor suite: Free with an unknown object", mMisuses[0]);

    char junk[16] = {};
    HandleSuite1()->Dispose(reinterpret_cast<Handle>(junk));
    EXPECT_EQ(0, HandleSuite1()->GetSize(reinterpret_cast<Handle>(junk)));
    EXPECT_EQ(5, mFaults);
}

TEST_F(ActionSuitesTest, BothHandleSuiteLayoutsWorkAndUnservedSlotsAreStubs)
{
    // Version 2 has DisposeRegularHandle before SetLock: each version through its own layout.
    Handle first = HandleSuite1()->New(4);
    Handle second = HandleSuite2()->New(3);
    char* address = nullptr;
    SPBoolean wasLocked = 1;
    HandleSuite1()->SetLock(first, 1, &address, &wasLocked);
    EXPECT_EQ(*reinterpret_cast<char**>(first), address);
    EXPECT_EQ(0, wasLocked);
    HandleSuite2()->SetLock(second, 1, &address, &wasLocked);
    EXPECT_EQ(*reinterpret_cast<char**>(second), address);
    EXPECT_EQ(3, HandleSuite2()->GetSize(second));
    HandleSuite1()->Dispose(first);
    HandleSuite2()->Dispose(second);
    EXPECT_EQ(0u, ActionObjects::CountLive().mHandles);

    static std::vector<std::pair<SuiteId, std::size_t>> sStubCalls;
    SetUnexpectedCallReporter([](SuiteId suite, std::size_t slot) { sStubCalls.emplace_back(suite, slot); });
    using Stub = std::intptr_t (*)();
    const auto* table = reinterpret_cast<const Stub*>(mDescriptors);
    const std::size_t declared = sizeof(ActionDescriptorTable) / sizeof(void*);
    EXPECT_EQ(kHostUnimplemented, table[declared]());
    EXPECT_EQ(kHostUnimplemented, table[kSuiteTableSlots - 1]());
    // A version 1 caller's SetLock lands on version 2's DisposeRegularHandle: a stub, not a dispose.
    EXPECT_EQ(kHostUnimplemented, reinterpret_cast<const Stub*>(HandleSuite2())[2]());
    EXPECT_EQ(kHostUnimplemented, reinterpret_cast<const Stub*>(ActionListSuite())[4]());
    SetUnexpectedCallReporter(nullptr);
    const std::vector<std::pair<SuiteId, std::size_t>> expected = {
        {SuiteId::kActionDescriptor, declared},
        {SuiteId::kActionDescriptor, kSuiteTableSlots - 1},
        {SuiteId::kHandle2, 2},
        {SuiteId::kActionList, 4}};
    EXPECT_EQ(expected, sStubCalls);
}
