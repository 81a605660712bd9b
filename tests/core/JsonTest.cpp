#include "GIconvConversion.h"
#include "GJSONUtils.h"
#include "LogCapture.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace
{
// The message of the runtime error the call throws ("" when it throws none).
template <typename Call>
std::string ThrownMessage(Call call)
{
    try
    {
        call();
    }
    catch (const std::runtime_error& error)
    {
        return error.what();
    }
    return std::string();
}

std::string Nested(std::size_t depth)
{
    return std::string(depth, '[') + std::string(depth, ']');
}

bool StartsWith(const std::string& text, const std::string& prefix)
{
    return text.compare(0, prefix.size(), prefix) == 0;
}
} // namespace

TEST(JsonTest, ParseFailuresAreInvalidParamWithTwoLogLines)
{
    JsonParser parser;
    JsonNode root;
    EXPECT_EQ(GJSONUtils::Parse(parser, "[1,2]", root), CoreErrorCodes::kSuccess);
    EXPECT_TRUE(root.is_array()); // the caller checks for an object
    EXPECT_FALSE(root.is_map());
    EXPECT_EQ(root.name(), "root");

    LogCapture capture;
    EXPECT_EQ(GJSONUtils::Parse(parser, "{", root), CoreErrorCodes::kInvalidParam);
    const auto lines = capture.Lines();
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[0].find("\t[Miscellaneous]\t[Debug]\tAttempting to parse JSON: {"), std::string::npos);
    EXPECT_NE(lines[1].find("\t[Miscellaneous]\t[Error]\tFailed to parse JSON: {"), std::string::npos);
    EXPECT_EQ(LogMessage(lines[2]).rfind(
                  "Error='CoreErrorCodes::kInvalidParam'  File='src/core/GJSONUtils.cpp'", 0),
              0u);
    EXPECT_NE(lines[2].find("Expression='err'  Code='67108864'"), std::string::npos);

    // The failed parse freed the earlier tree: nothing is loaded.
    EXPECT_EQ(ThrownMessage([&] { parser.root(); }), "No JSON loaded in parser");
    EXPECT_TRUE(StartsWith(ThrownMessage([&] { parser.parse("{\"a\":}"); }), "JSON parse error:\n"));
    EXPECT_TRUE(StartsWith(ThrownMessage([&] { parser.parse(""); }), "JSON parse error:\n"));
    EXPECT_EQ(ThrownMessage([&] { parser.parse(std::string("{}\0{}", 5)); }),
              "JSON parse error:\nNUL character in the text");
    EXPECT_EQ(GJSONUtils::Parse(parser, "/* comment */ {\"a\": 1} // trailing", root),
              CoreErrorCodes::kSuccess);
    EXPECT_TRUE(root.is_map());
}

TEST(JsonTest, TypedLookupsAnswerCodesForMissingKeysAndOtherKinds)
{
    JsonParser parser;
    JsonNode root;
    ASSERT_EQ(
        GJSONUtils::Parse(parser,
                          R"({"s":"text \u00e9","b":false,"i":-42,"big":4294967296,"ids":[3,1,2],"n":null,)"
                          R"("a":5,"d":1.5,"o":{"x":1},"mixed":[1,"x"],"wide":[1,4294967296]})",
                          root),
        CoreErrorCodes::kSuccess);
    TUTF8String text;
    bool flag = true;
    TSInt32 integer = 0;
    std::vector<TSInt32> integers;
    EXPECT_EQ(GJSONUtils::GetValueForKey(root, "s", text), CoreErrorCodes::kSuccess);
    EXPECT_EQ(text, "text \xC3\xA9");
    EXPECT_EQ(GJSONUtils::GetValueForKey(root, "b", flag), CoreErrorCodes::kSuccess);
    EXPECT_FALSE(flag);
    EXPECT_EQ(GJSONUtils::GetValueForKey(root, "i", integer), CoreErrorCodes::kSuccess);
    EXPECT_EQ(integer, -42);
    EXPECT_EQ(GJSONUtils::GetValueForKey(root, "ids", integers), CoreErrorCodes::kSuccess);
    EXPECT_EQ(integers, (std::vector<TSInt32>{3, 1, 2}));

    LogCapture capture;
    EXPECT_EQ(GJSONUtils::GetValueForKey(root, "a", text), CoreErrorCodes::kError);
    EXPECT_EQ(text, "text \xC3\xA9"); // untouched
    EXPECT_EQ(GJSONUtils::GetValueForKey(root, "s", flag), CoreErrorCodes::kError);
    EXPECT_EQ(GJSONUtils::GetValueForKey(root, "d", integer), CoreErrorCodes::kError);
    EXPECT_EQ(GJSONUtils::GetValueForKey(root, "big", integer), CoreErrorCodes::kError); // beyond 32 bits
    EXPECT_EQ(GJSONUtils::GetValueForKey(root, "o", integers), CoreErrorCodes::kError);
    for (const char* expression : {"!valueObject.is_string()", "!valueObject.is_bool()",
                                   "!valueObject.is_int()", "!valueObject.is_array()"})
    {
        const auto lines = capture.LinesContaining(std::string("Expression='") + expression + "'");
        ASSERT_GE(lines.size(), 1u) << expression;
        EXPECT_NE(lines[0].find("\t[Miscellaneous]\t[Debug]\tError='CoreErrorCodes::kError'"),
                  std::string::npos);
    }

    capture.Clear();
    JsonNode node;
    EXPECT_EQ(GJSONUtils::GetValueForKey(root, "missing", text), CoreErrorCodes::kNotFound);
    EXPECT_EQ(GJSONUtils::GetValueForKey(root.get("ids"), "x", node),
              CoreErrorCodes::kNotFound); // not an object
    EXPECT_EQ(capture.Count("[Error]\tError='CoreErrorCodes::kNotFound'  File='src/core/GJSONUtils.cpp'"),
              2u);
    EXPECT_EQ(capture.Count("Expression='!jsonValue.find(key, value)'"), 2u);
    EXPECT_EQ(capture.Count("[Debug]\tError='CoreErrorCodes::kNotFound'"), 1u);
    EXPECT_EQ(capture.Count("Expression='GetValueForKey(jsonValue, key, valueObject)'"), 1u);

    // What the value layer says about each kind it finds.
    EXPECT_EQ(ThrownMessage([&] { root.get("a").to_string(); }),
              "Expected JSON node \"a\" to be STRING, found INTEGER: 5");
    EXPECT_EQ(ThrownMessage([&] { root.get("d").to_int(); }),
              "Expected JSON node \"d\" to be INTEGER, found DOUBLE: 1.5");
    EXPECT_EQ(ThrownMessage([&] { root.get("s").to_bool(); }),
              "Expected JSON node \"s\" to be BOOLEAN, found STRING: text \xC3\xA9");
    EXPECT_EQ(ThrownMessage([&] { root.get("o").to_array(); }),
              "Expected JSON node \"o\" to be ARRAY, found OBJECT");
    EXPECT_EQ(ThrownMessage([&] { root.get("ids").to_string(); }),
              "Expected JSON node \"ids\" to be STRING, found ARRAY");
    EXPECT_EQ(ThrownMessage([&] { root.get("b").to_int64(); }),
              "Expected JSON node \"b\" to be INTEGER, found BOOLEAN: false");
    EXPECT_EQ(ThrownMessage([&] { root.get("n").to_string(); }),
              "Expected JSON node \"n\" to be STRING, found");
    EXPECT_EQ(ThrownMessage([&] { JsonNode().to_bool(); }), "Expected JSON node \"\" to be BOOLEAN, found");
    EXPECT_EQ(ThrownMessage([&] { root.get("nope"); }), "JSON node \"nope\" not found");

    // An integer array lets the type error of an element through.
    EXPECT_EQ(ThrownMessage([&] { GJSONUtils::GetValueForKey(root, "mixed", integers); }),
              "Expected JSON node \"mixed[1]\" to be INTEGER, found STRING: x");
    EXPECT_EQ(ThrownMessage([&] { GJSONUtils::GetValueForKey(root, "wide", integers); }),
              "JSON node \"wide[1]\" holds the integer 4294967296, which does not fit in 32 bits");
    EXPECT_EQ(integers, (std::vector<TSInt32>{3, 1, 2})); // untouched
}

TEST(JsonTest, NumbersKeepTheFormsThatAreValid)
{
    JsonParser parser;
    parser.parse(R"({"max":9223372036854775807,"huge":92233720368547758070,"half":1.5,"exp":1e3,"neg":-7})");
    const JsonNode root = parser.root();
    EXPECT_TRUE(root.get("max").is_int());
    EXPECT_EQ(root.get("max").to_int64(), 9223372036854775807LL);
    EXPECT_FALSE(root.get("huge").is_int());
    EXPECT_EQ(ThrownMessage([&] { root.get("huge").to_int64(); }),
              "Expected JSON node \"huge\" to be INTEGER, found DOUBLE: 9.223372036854776e+19");
    EXPECT_FALSE(root.get("half").is_int());
    EXPECT_FALSE(root.get("exp").is_int());
    EXPECT_EQ(root.get("neg").to_int(), -7);
    // Numbers are written again from their text.
    EXPECT_EQ(JsonGenerator::serialize(root),
              R"({"max":9223372036854775807,"huge":92233720368547758070,"half":1.5,"exp":1e3,"neg":-7})");
}

TEST(JsonTest, StringsOfInvalidUTF8ThrowTheConversionError)
{
    JsonParser parser;
    JsonNode root;
    // A lone low surrogate decodes to bytes that are not UTF-8; so does an overlong NUL.
    ASSERT_EQ(GJSONUtils::Parse(parser, "{\"lone\":\"a\\udc00\",\"overlong\":\"b\xC0\x80\"}", root),
              CoreErrorCodes::kSuccess);
    TUTF8String text;
    const std::string lone = ThrownMessage([&] { GJSONUtils::GetValueForKey(root, "lone", text); });
    EXPECT_TRUE(StartsWith(lone, "Unable to convert string to UTF-8 (error ")) << lone;
    EXPECT_NE(lone.find("): a\xED\xB0\x80"), std::string::npos) << lone;
    EXPECT_TRUE(StartsWith(ThrownMessage([&] { root.get("overlong").to_string(); }),
                           "Unable to convert string to UTF-8 (error "));

    EXPECT_EQ(IconvConvert("caf\xC3\xA9", "WINDOWS-1252", "UTF-8"), "caf\xE9");
    EXPECT_EQ(IconvConvert(std::string(5000, 'x') + "\xE9", "UTF-8", "ISO-8859-1"),
              std::string(5000, 'x') + "\xC3\xA9"); // the output outgrows its first buffer
    EXPECT_TRUE(StartsWith(ThrownMessage([] { IconvConvert("x", "NO-SUCH-ENCODING", "UTF-8"); }),
                           "Unable to initialize iconv (error "));
    EXPECT_TRUE(StartsWith(ThrownMessage([] { IconvConvert("\xE2\x82", "UTF-8", "UTF-8"); }),
                           "Unable to convert string to UTF-8 (error ")); // cut short
}

TEST(JsonTest, BuiltTreesAreWrittenCompactWithDuplicateKeysInOrder)
{
    JsonParser parser;
    JsonNode root;
    ASSERT_EQ(GJSONUtils::Parse(parser, "{}", root), CoreErrorCodes::kSuccess);
    JsonNode member;
    EXPECT_EQ(GJSONUtils::SetValueForKey("x", "a", root, member), CoreErrorCodes::kSuccess);
    EXPECT_EQ(member.name(), "a");
    EXPECT_EQ(GJSONUtils::SetValueForKey(true, "b", root, member), CoreErrorCodes::kSuccess);
    EXPECT_EQ(GJSONUtils::SetValueForKey(3, "c", root, member), CoreErrorCodes::kSuccess);
    EXPECT_EQ(GJSONUtils::SetValueForKey(-(TSInt64(1) << 40), "c", root, member), CoreErrorCodes::kSuccess);
    JsonNode list;
    JsonNode element;
    EXPECT_EQ(GJSONUtils::AddArrayForKey("list", root, list), CoreErrorCodes::kSuccess);
    EXPECT_EQ(GJSONUtils::AddValueToArray(1, list, element), CoreErrorCodes::kSuccess);
    EXPECT_EQ(element.name(), "");
    EXPECT_EQ(GJSONUtils::AddMapToArray(list, element), CoreErrorCodes::kSuccess);
    EXPECT_EQ(GJSONUtils::SetValueForKey("tab\there \"quoted\" \xE2\x82\xAC", "s", element, member),
              CoreErrorCodes::kSuccess);
    JsonNode map;
    EXPECT_EQ(GJSONUtils::AddMapForKey("m", root, map), CoreErrorCodes::kSuccess);

    EXPECT_EQ(JsonGenerator::serialize(root),
              R"({"a":"x","b":true,"c":3,"c":-1099511627776,"list":[1,{"s":"tab\there \"quoted\" )"
              "\xE2\x82\xAC"
              R"("}],"m":{}})");
    JsonNode found;
    EXPECT_EQ(GJSONUtils::GetValueForKey(root, "c", found), CoreErrorCodes::kSuccess);
    EXPECT_EQ(found.to_int64(), 3); // the first of the duplicates
    std::vector<std::string> keys;
    for (const JsonNode& node : root.members())
    {
        keys.push_back(node.name());
    }
    EXPECT_EQ(keys, (std::vector<std::string>{"a", "b", "c", "c", "list", "m"}));

    // Adding to a value of the wrong kind is refused.
    LogCapture capture;
    EXPECT_EQ(GJSONUtils::SetValueForKey(TSInt64(1), "k", list, member), CoreErrorCodes::kOutOfMemory);
    EXPECT_EQ(capture.Count("File='src/core/include/GJSONUtils.h'"), 1u);
    EXPECT_EQ(capture.Count("Expression='!jsonValue.add_int64(key, value, newValue)'  Code='100663296'"), 1u);
    EXPECT_EQ(GJSONUtils::AddMapToArray(root, member), CoreErrorCodes::kOutOfMemory);
    EXPECT_EQ(GJSONUtils::AddValueToArray(1, map, member), CoreErrorCodes::kOutOfMemory);

    // The generator validates UTF-8 that did not come through the parser.
    EXPECT_EQ(GJSONUtils::SetValueForKey("\xFF", "bad", map, member), CoreErrorCodes::kSuccess);
    EXPECT_EQ(ThrownMessage([&] { JsonGenerator::serialize(root); }),
              "An invalid UTF-8 string was passed to the JSON generator");
}

TEST(JsonTest, NestingIsBoundedBeforeParsing)
{
    JsonParser parser;
    const std::string deepest = Nested(JsonParser::kMaxNestingDepth);
    parser.parse(deepest);
    EXPECT_EQ(JsonGenerator::serialize(parser.root()), deepest); // what is parsed can be written
    const std::string refused =
        "JSON parse error:\nnesting deeper than " + std::to_string(JsonParser::kMaxNestingDepth) + " levels";
    EXPECT_EQ(ThrownMessage([&] { parser.parse(Nested(JsonParser::kMaxNestingDepth + 1)); }), refused);
    EXPECT_EQ(ThrownMessage([&] { parser.parse(std::string(1000000, '[')); }), refused);
    std::string objects;
    for (int i = 0; i < 200000; ++i)
    {
        objects += "{\"a\":";
    }
    EXPECT_EQ(ThrownMessage([&] { parser.parse(objects); }), refused);

    // Brackets in strings and comments are not structure; a quote in a comment opens no string.
    parser.parse("[\"" + std::string(500, '[') + "\\\"\", 1 /* ]]]] */ // [[[[\n]");
    EXPECT_EQ(parser.root().to_array().size(), 2u);
    EXPECT_EQ(ThrownMessage([&] { parser.parse("/* \" */" + Nested(200)); }), refused);
    EXPECT_EQ(ThrownMessage([&] { parser.parse("// \"\n" + Nested(200)); }), refused);
}
