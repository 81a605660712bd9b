// The checks of the plug-in's messages to the panel: the "(" JSON ")" form, the matching of
// expected values, and the order of messages.

#include "PanelMessages.h"

#include <gtest/gtest.h>

namespace
{
// The problem of checking messages against the expected list (JSON text); "ERROR: ..." for an
// expectation that cannot be read.
std::string Check(const std::vector<std::string>& messages, const std::string& expected, bool exact = false)
{
    JsonParser parser;
    parser.parse(expected);
    std::string problem;
    std::string error;
    if (!CheckPanelMessages(messages, parser.root(), exact, problem, error))
    {
        return "ERROR: " + error;
    }
    return problem;
}
} // namespace

TEST(PanelMessagesTest, OnlyParenthesisedJsonIsAMessage)
{
    JsonParser parser;
    std::string why;
    EXPECT_TRUE(ParsePanelMessage("({\"messageID\":\"a\"})", parser, why));
    EXPECT_TRUE(ParsePanelMessage("([1,2])", parser, why));
    for (const char* bad :
         {"{\"messageID\":\"a\"}", "(", "()", "({\"a\":1}", "({\"a\":}) ", "( {\"a\":1} ) x"})
    {
        EXPECT_FALSE(ParsePanelMessage(bad, parser, why)) << bad;
        EXPECT_NE(std::string::npos, why.find("not \"(\" JSON \")\"")) << bad;
        EXPECT_EQ(std::string::npos, why.find('\n')) << why;
    }
    EXPECT_EQ("fonts", PanelMessageID("({\"messageID\":\"fonts\",\"n\":1})"));
    EXPECT_EQ("7", PanelMessageID("({\"messageID\":7})"));
    EXPECT_EQ("", PanelMessageID("({\"messageID\":7.5})"));
    EXPECT_EQ("", PanelMessageID("{\"messageID\":\"fonts\"}"));
}

TEST(PanelMessagesTest, ValuesOfReceivedMessagesAreSubstitutedFromTheLatestOne)
{
    const std::vector<std::string> received = {"({\"messageID\":41,\"filename\":\"file:///a\"})",
                                               "({\"messageID\":38,\"smartLists\":[1]})",
                                               "({\"messageID\":41,\"filename\":\"file:///b\"})"};
    std::string text =
        "{\"messageID\":13,\"filename\":\"${panel:41.filename}\",\"x\":${panel:38.smartLists}}";
    std::string error;
    ASSERT_TRUE(ExpandPanelValues(text, received, error)) << error;
    EXPECT_EQ(text, "{\"messageID\":13,\"filename\":\"file:///b\",\"x\":[1]}");
    text = "${panel:41.size}";
    EXPECT_FALSE(ExpandPanelValues(text, received, error));
    text = "${panel:41}";
    EXPECT_FALSE(ExpandPanelValues(text, received, error));
}

TEST(PanelMessagesTest, ExpectedValuesMatchByValueByTypeOrRecursively)
{
    const std::vector<std::string> message = {
        R"(({"messageID":"list","fontIDs":[1,2.5],"name":"array","ok":true,"n":3,"x":1.5,"none":null,
             "font":{"family":"Carlito","styles":["Bold"]}}))"};
    EXPECT_EQ("", Check(message, R"([{"messageID": "list", "n": 3, "x": 1.5, "ok": true, "none": null}])"));
    EXPECT_EQ("", Check(message, R"([{"fontIDs": "array", "n": "integer", "x": "number", "ok": "boolean",
                                      "none": "null", "font": "object", "messageID": "string", "name": "any",
                                      "missing": "absent"}])"));
    EXPECT_EQ("", Check(message, R"([{"name": {"equals": "array"}, "fontIDs": [1, "number"],
                                      "font": {"styles": ["Bold"]}}])"));
    EXPECT_EQ("", Check(message, R"([{"n": 3.0}])")) << "numbers compare by value";

    const std::pair<const char*, const char*> mismatches[] = {
        {R"([{"n": "string"}])", "message.n: expected string, found 3"},
        {R"([{"x": "integer"}])", "message.x: expected integer, found 1.5"},
        {R"([{"name": "string", "gone": "any"}])", "message.gone: absent"},
        {R"([{"messageID": "absent"}])", "message.messageID: expected absent, found \"list\""},
        {R"([{"fontIDs": [1]}])", "message.fontIDs: expected an array of 1 element(s), found [1,2.5]"},
        {R"([{"font": {"styles": ["Italic"]}}])",
         "message.font.styles[0]: expected \"Italic\", found \"Bold\""},
        {R"([{"ok": 1}])", "message.ok: expected 1, found true"},
        {R"([{"n": {"equals": "3"}}])", "message.n: expected \"3\", found 3"},
    };
    for (const auto& [expected, problem] : mismatches)
    {
        EXPECT_NE(std::string::npos, Check(message, expected).find(problem)) << expected << "\n"
                                                                             << Check(message, expected);
    }
    EXPECT_EQ("ERROR: message.fontIDs[0]: \"absent\" is for object members only",
              Check(message, R"([{"fontIDs": ["absent", 2.5]}])"));
    EXPECT_EQ("ERROR: \"messages\" is not an array of objects", Check(message, R"([1])"));
}

TEST(PanelMessagesTest, MessagesAreMatchedInOrderAsASubsequenceOrExactly)
{
    const std::vector<std::string> messages = {R"(({"messageID":"a"}))", R"(({"messageID":"b"}))",
                                               R"(({"messageID":"c"}))"};
    EXPECT_EQ("", Check(messages, R"([{"messageID": "a"}, {"messageID": "c"}])"));
    EXPECT_EQ("", Check(messages, R"([])"));
    EXPECT_EQ("", Check(messages, R"([{"messageID": "a"}, {"messageID": "b"}, {"messageID": "c"}])", true));
    EXPECT_NE(std::string::npos, Check(messages, R"([{"messageID": "c"}, {"messageID": "a"}])")
                                     .find("no message matches expected message 2 {\"messageID\":\"a\"}"));
    EXPECT_NE(std::string::npos, Check(messages, R"([{"messageID": "a"}, {"messageID": "c"}])", true)
                                     .find("3 message(s), expected 2"));
    EXPECT_NE(std::string::npos,
              Check(messages, R"([{"messageID": "a"}, {"messageID": "c"}, {"messageID": "b"}])", true)
                  .find("message 2 ({\"messageID\":\"b\"}): message.messageID: expected \"c\", found \"b\""));
    EXPECT_NE(std::string::npos, Check(messages, R"([])", true).find("3 message(s), expected 0"));
    // A malformed message fails the check even when the expected ones are there.
    const std::vector<std::string> withGarbage = {messages[0], "garbage"};
    EXPECT_NE(
        std::string::npos,
        Check(withGarbage, R"([{"messageID": "a"}])").find("message 2 garbage is not \"(\" JSON \")\""));
}
