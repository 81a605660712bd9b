// The core's message encoding: faithful round trips, and nothing a peer sends can crash the reader.

#include "TypeholdWire.h"
#include "TypeholdMessage.h"

#include <gtest/gtest.h>

#include <string>

using namespace typehold;

namespace
{
CFTypeRef Decode(const std::string& bytes, std::string& error)
{
    return DecodeWireValue(bytes.data(), bytes.size(), error);
}

std::string U32(std::uint32_t value)
{
    return std::string{static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
                       static_cast<char>((value >> 16) & 0xFF), static_cast<char>(value >> 24)};
}

// A request of the kind the library sends, with every value type.
CFMutableDictionaryRef SampleMessage()
{
    CFMutableDictionaryRef message = CreateMutableDictionary();
    SetString(message, "op", "ActivateDocumentFontsByPath");
    SetString(message, "path", "Z:\\Dokumente\\Plakat \xC3\xBC\xE2\x82\xAC.psd");
    SetInt(message, "small", -7);
    SetInt(message, "large", 0x123456789ALL);
    SetBool(message, "yes", true);
    SetBool(message, "no", false);
    const std::uint32_t ids[] = {1001, 1002, 4294967295u};
    SetInts(message, "ids", ids, 3);
    const double real = 2.5;
    GCFHolder<CFNumberRef> number(CFNumberCreate(kCFAllocatorDefault, kCFNumberFloat64Type, &real));
    SetValue(message, "real", number.Get());
    const UInt8 bytes[] = {0, 1, 2, 255};
    GCFHolder<CFDataRef> data(CFDataCreate(kCFAllocatorDefault, bytes, 4));
    SetValue(message, "data", data.Get());
    const UniChar withNul[] = {0x018F, 0}; // a NUL after a two-byte character
    GCFHolder<CFStringRef> nul(CFStringCreateWithCharacters(kCFAllocatorDefault, withNul, 2));
    SetValue(message, "nul", nul.Get());
    GCFHolder<CFMutableDictionaryRef> images(CreateMutableDictionary()); // number keys, as previews use
    GCFHolder<CFNumberRef> key(CreateNumber(1001));
    GCFHolder<CFMutableDictionaryRef> files(CreateMutableDictionary());
    SetString(files.Get(), "pngFilename", "C:\\p.png");
    CFDictionarySetValue(images.Get(), key.Get(), files.Get());
    SetValue(message, "images", images.Get());
    GCFHolder<CFMutableArrayRef> empty(CreateMutableArray());
    SetValue(message, "empty", empty.Get());
    return message;
}
} // namespace

TEST(TypeholdWireTest, ValuesSurviveTheRoundTripAndComeBackMutable)
{
    GCFHolder<CFMutableDictionaryRef> message(SampleMessage());
    std::string frame;
    ASSERT_TRUE(EncodeWireFrame(message.Get(), frame));
    ASSERT_EQ(ReadFrameHeader(frame.data()), frame.size() - kFrameHeaderSize);
    std::string error;
    GCFHolder<CFTypeRef> decoded(Decode(frame.substr(kFrameHeaderSize), error));
    ASSERT_TRUE(decoded) << error;
    EXPECT_TRUE(CFEqual(decoded.Get(), message.Get()));
    auto* dictionary = static_cast<CFMutableDictionaryRef>(const_cast<void*>(decoded.Get()));
    EXPECT_EQ(MessageInt(dictionary, "large"), 0x123456789ALL);
    EXPECT_EQ(MessageInts(dictionary, "ids").back(), 4294967295LL);
    EXPECT_EQ(StringValue(MessageValue(dictionary, "nul")).size(), 3u);
    SetInt(dictionary, "added", 1); // containers are mutable for the caller
    CFArrayAppendValue(const_cast<CFMutableArrayRef>(MessageArray(dictionary, "empty")), kCFBooleanTrue);
    EXPECT_EQ(CFArrayGetCount(MessageArray(dictionary, "empty")), 1);
}

TEST(TypeholdWireTest, MalformedBytesAreRefusedWithAReason)
{
    GCFHolder<CFMutableDictionaryRef> message(SampleMessage());
    std::string bytes;
    ASSERT_TRUE(EncodeWireValue(message.Get(), bytes));
    std::string error;
    for (std::size_t size = 0; size < bytes.size(); ++size)
    {
        error.clear();
        EXPECT_EQ(Decode(bytes.substr(0, size), error), nullptr) << size;
        EXPECT_FALSE(error.empty()) << size;
    }
    EXPECT_EQ(Decode(bytes + "T", error), nullptr);
    EXPECT_NE(error.find("follow"), std::string::npos);
    EXPECT_EQ(Decode("A" + U32(0xFFFFFFFF) + "T", error), nullptr);
    EXPECT_NE(error.find("runs past"), std::string::npos);
    EXPECT_EQ(Decode("M" + U32(1) + "T", error), nullptr);
    EXPECT_EQ(Decode("S" + U32(2) + "\xC3\x28", error), nullptr);
    EXPECT_NE(error.find("UTF-8"), std::string::npos);
    EXPECT_EQ(Decode("Q", error), nullptr);
    std::string deep;
    for (int i = 0; i <= kMaxWireDepth + 1; ++i)
    {
        deep += "A" + U32(1);
    }
    EXPECT_EQ(Decode(deep + "T", error), nullptr);
    EXPECT_NE(error.find("deeply"), std::string::npos);
}

TEST(TypeholdWireTest, OnlyPropertyListValuesAreEncoded)
{
    std::string bytes;
    GCFHolder<CFUUIDRef> uuid(CFUUIDCreate(kCFAllocatorDefault));
    EXPECT_FALSE(EncodeWireValue(uuid.Get(), bytes));
    EXPECT_FALSE(EncodeWireValue(nullptr, bytes));
    GCFHolder<CFMutableArrayRef> nested(CreateMutableArray());
    for (int i = 0; i <= kMaxWireDepth + 1; ++i)
    {
        GCFHolder<CFMutableArrayRef> outer(CreateMutableArray());
        CFArrayAppendValue(outer.Get(), nested.Get());
        nested = std::move(outer);
    }
    EXPECT_FALSE(EncodeWireValue(nested.Get(), bytes));
}
