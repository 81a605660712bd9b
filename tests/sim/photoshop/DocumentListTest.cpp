// The stand-in's documents: the list with its IDs and active document, the answers of Get about
// documents and the application, and the alias record behind 'FilR'.

#include "DocumentList.h"
#include "AliasRecord.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace
{
constexpr DescriptorClassID kDocument = FourCharCode("Dcmn");
constexpr DescriptorClassID kApplication = FourCharCode("capp");
constexpr DescriptorKeyID kID = FourCharCode("DocI");
constexpr DescriptorKeyID kFile = FourCharCode("FilR");
constexpr DescriptorKeyID kTitle = FourCharCode("Ttl ");

ActionReferenceItem Item(DescriptorClassID desiredClass, DescriptorFormID form, std::uint32_t value,
                         DescriptorEnumTypeID enumType = 0)
{
    ActionReferenceItem item;
    item.mDesiredClass = desiredClass;
    item.mForm = form;
    item.mValue = value;
    item.mEnumType = enumType;
    return item;
}

const ActionReferenceItem kActiveDocument =
    Item(kDocument, kFormEnumerated, FourCharCode("Trgt"), FourCharCode("Ordn"));
const ActionReferenceItem kTheApplication =
    Item(kApplication, kFormEnumerated, FourCharCode("Trgt"), FourCharCode("Ordn"));

ActionReferenceData Property(DescriptorKeyID key, const ActionReferenceItem& object)
{
    return ActionReferenceData{{Item(FourCharCode("Prpr"), kFormProperty, key), object}};
}

class DocumentListTest : public ::testing::Test
{
protected:
    // The alias of a document is its path's bytes, enough to see which document answered.
    DocumentList mList{[](const SimDocument& document)
                       { return std::vector<std::uint8_t>(document.mPath.begin(), document.mPath.end()); }};

    SimDocument& Add(const std::string& title, const std::string& path)
    {
        SimDocument document;
        document.mTitle = title;
        document.mPath = path;
        return mList.Add(document);
    }

    // The one value Get answers for the reference, or the error.
    OSErr Get(const ActionReferenceData& reference, ActionValue& value)
    {
        ActionDescriptorData result;
        std::string why;
        const OSErr error = mList.Get(reference, result, why);
        EXPECT_EQ(error != 0, !why.empty()) << why;
        if (error == 0)
        {
            EXPECT_EQ(1u, result.mItems.size());
            if (!result.mItems.empty())
            {
                value = result.mItems.front().second;
            }
        }
        return error;
    }
};
} // namespace

TEST_F(DocumentListTest, IDsAreNeverReusedAndTheLastDocumentBecomesActive)
{
    EXPECT_EQ(nullptr, mList.Active());
    EXPECT_EQ(1001u, Add("a.psd", "C:\\a.psd").mID);
    EXPECT_EQ(1002u, Add("Untitled-1", "").mID);
    EXPECT_EQ(1003u, Add("c.psd", "C:\\c.psd").mID);
    EXPECT_EQ(1003u, mList.Active()->mID);

    EXPECT_TRUE(mList.Activate(1001));
    EXPECT_FALSE(mList.Activate(999));
    EXPECT_EQ(1001u, mList.Active()->mID);
    // Closing another document leaves the active one; closing the active one activates the last.
    EXPECT_TRUE(mList.Remove(1003));
    EXPECT_EQ(1001u, mList.Active()->mID);
    EXPECT_TRUE(mList.Remove(1001));
    EXPECT_EQ(1002u, mList.Active()->mID);
    EXPECT_FALSE(mList.Remove(1001));
    EXPECT_EQ(1004u, Add("d.psd", "C:\\d.psd").mID);
    EXPECT_EQ(2u, mList.IndexOf(1004));

    // By ID, then path, then title.
    EXPECT_EQ(1002u, mList.Find("1002")->mID);
    EXPECT_EQ(1004u, mList.Find("C:\\d.psd")->mID);
    EXPECT_EQ(1002u, mList.Find("Untitled-1")->mID);
    EXPECT_EQ(nullptr, mList.Find("1001"));
    EXPECT_EQ(nullptr, mList.Find(""));
}

TEST_F(DocumentListTest, GetAnswersTheAskedPropertyOfTheNamedDocument)
{
    Add("a.psd", "C:\\a.psd");
    Add("Untitled-1", "");
    Add("c.psd", "C:\\c.psd");
    mList.Activate(1002);
    ActionValue value;

    ASSERT_EQ(0, Get(Property(kID, kActiveDocument), value));
    EXPECT_EQ(ActionValue::Integer(1002), value);
    ASSERT_EQ(0, Get(Property(kTitle, Item(kDocument, kFormIndex, 3)), value));
    EXPECT_EQ(ActionValue::Text("c.psd"), value);
    ASSERT_EQ(0, Get(Property(kFile, Item(kDocument, kFormIndex, 1)), value));
    EXPECT_EQ(ActionValue::Alias({'C', ':', '\\', 'a', '.', 'p', 's', 'd'}), value);
    ASSERT_EQ(0, Get(Property(kFile, Item(kDocument, kFormIdentifier, 1003)), value));
    EXPECT_EQ(kTypeAlias, value.mType);
    ASSERT_EQ(0, Get(Property(FourCharCode("NmbD"), kTheApplication), value));
    EXPECT_EQ(ActionValue::Integer(3), value);

    // Without a property: the whole object.
    ActionDescriptorData object;
    std::string why;
    ASSERT_EQ(0, mList.Get(ActionReferenceData{{Item(kDocument, kFormIndex, 1)}}, object, why));
    EXPECT_EQ(mList.DescribeDocument(*mList.FindByID(1001)), object);
    EXPECT_EQ(ActionValue::Integer(1), *object.Find(FourCharCode("ItmI")));
    ASSERT_EQ(0, mList.Get(ActionReferenceData{{kActiveDocument}}, object, why));
    EXPECT_EQ(nullptr, object.Find(kFile)); // untitled
    ASSERT_EQ(0, mList.Get(ActionReferenceData{{kTheApplication}}, object, why));
    EXPECT_EQ(ActionValue::Integer(3), *object.Find(FourCharCode("NmbD")));
}

TEST_F(DocumentListTest, GetFailsAsPhotoshopDoes)
{
    ActionValue value;
    // No document open.
    EXPECT_EQ(kActionNoSuchObject, Get(Property(kID, kActiveDocument), value));
    EXPECT_EQ(kActionNoSuchObject, Get(Property(kID, Item(kDocument, kFormIndex, 1)), value));
    ASSERT_EQ(0, Get(Property(FourCharCode("NmbD"), kTheApplication), value));
    EXPECT_EQ(ActionValue::Integer(0), value);

    Add("Untitled-1", "");
    Add("b.psd", "C:\\b.psd");
    for (const std::uint32_t index : {0u, 3u})
    {
        EXPECT_EQ(kActionNoSuchObject, Get(Property(kID, Item(kDocument, kFormIndex, index)), value))
            << index;
    }
    EXPECT_EQ(kActionNoSuchObject, Get(Property(kID, Item(kDocument, kFormIdentifier, 1003)), value));
    EXPECT_EQ(kActionKeyMissing, Get(Property(kFile, Item(kDocument, kFormIndex, 1)), value));
    EXPECT_EQ(kActionNoSuchObject, Get(Property(FourCharCode("Xyzw"), kActiveDocument), value));
    EXPECT_EQ(kActionNoSuchObject, Get(Property(kID, kTheApplication), value));
    EXPECT_EQ(kActionNoSuchObject, Get(Property(kID, Item(FourCharCode("Lyr "), kFormIndex, 1)), value));
    EXPECT_EQ(kActionNoSuchObject, Get(Property(kID, Item(kDocument, kFormName, 0)), value));
    EXPECT_EQ(kActionNoSuchObject,
              Get(Property(FourCharCode("NmbD"), Item(kApplication, kFormIndex, 1)), value));
    EXPECT_EQ(kActionNoSuchObject,
              Get(ActionReferenceData{{Item(FourCharCode("Prpr"), kFormProperty, kID)}}, value));
    EXPECT_EQ(kActionParamError, Get(ActionReferenceData{}, value));
}

TEST(AliasRecordTest, NarrowPathPaddingUTF16PathAndAnEmptyString)
{
    // "C:\ab" + NUL is 6 bytes: the UTF-16 copy follows at once.
    const std::vector<std::uint8_t> even = BuildAliasRecord("C:\\ab", u"C:\\ab");
    const std::vector<std::uint8_t> expectedEven = {'C',  ':', '\\', 'a', 'b', 0, 'C', 0, ':', 0,
                                                    '\\', 0,   'a',  0,   'b', 0, 0,   0, 0,   0};
    EXPECT_EQ(expectedEven, even);
    // "C:\?" + NUL is 5 bytes: one byte of padding; the UTF-16 copy keeps the character.
    const std::vector<std::uint8_t> odd = BuildAliasRecord("C:\\?", u"C:\\\u30DD");
    const std::vector<std::uint8_t> expectedOdd = {'C', ':',  '\\', '?',  0,    0, 'C', 0, ':',
                                                   0,   '\\', 0,    0xDD, 0x30, 0, 0,   0, 0};
    EXPECT_EQ(expectedOdd, odd);

    EXPECT_EQ("C:\\My Posters\\??????????", StaleNarrowPath("C:\\My Posters\\poster.psd"));
    EXPECT_EQ("Z:/tmp/?????", StaleNarrowPath("Z:/tmp/a.pdf"));
    EXPECT_EQ("???", StaleNarrowPath("abc"));
}

#ifdef _WIN32
TEST(AliasRecordTest, CharactersOutsideTheCodePageLeaveOnlyTheUTF16CopyRight)
{
    const std::vector<std::uint8_t> record = MakeFileAlias("C:\\Docs\\\xE3\x83\x9D\xE3\x82\xB9.psd", false);
    const std::string narrow(reinterpret_cast<const char*>(record.data()));
    if (GetACP() != 65001 && GetACP() != 932)
    {
        EXPECT_EQ("C:\\Docs\\??.psd", narrow);
    }
    const std::u16string expectedWide = u"C:\\Docs\\\u30DD\u30B9.psd";
    const std::size_t wideStart = (narrow.size() + 2) & ~std::size_t(1);
    ASSERT_EQ(wideStart + (expectedWide.size() + 2) * 2, record.size());
    std::u16string wide;
    for (std::size_t at = wideStart; at < wideStart + expectedWide.size() * 2; at += 2)
    {
        wide += static_cast<char16_t>(record[at] | (record[at + 1] << 8));
    }
    EXPECT_EQ(expectedWide, wide);

    const std::vector<std::uint8_t> stale = MakeFileAlias("C:\\Docs\\a b.psd", true);
    EXPECT_EQ("C:\\Docs\\???????", std::string(reinterpret_cast<const char*>(stale.data())));
    EXPECT_TRUE(MakeFileAlias("", false).empty());
}
#endif
