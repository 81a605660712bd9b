// Events as the bridge writes them to the page and reads them from it.

#include "EventJson.h"

#include <gtest/gtest.h>

TEST(EventJsonTest, AnEventIsWrittenAsOneLineOfJson)
{
    const PlugPlugEvent event{"com.lumorand.PluginToPanel", 1, "HTML", nullptr,
                              "({\"a\":\"x\\\"y\"})\n\t\x01"};
    const OwnedEvent copy = OwnedEvent::Copy(event);
    EXPECT_EQ(R"({"type":"com.lumorand.PluginToPanel","scope":1,"appId":"HTML","extensionId":null,)"
              R"("data":"({\"a\":\"x\\\"y\"})\n\t\u0001"})",
              EventToJson(copy));
    const PlugPlugEvent fromPanel{"t", 0, nullptr, "com.lumorand.panel", nullptr};
    EXPECT_EQ(R"({"type":"t","scope":0,"appId":"","extensionId":"com.lumorand.panel","data":""})",
              EventToJson(OwnedEvent::Copy(fromPanel)));
    // The view keeps a null extension ID null, and the copy owns its strings.
    const PlugPlugEvent view = copy.View();
    EXPECT_EQ(nullptr, view.extensionId);
    EXPECT_NE(event.data, view.data);
    EXPECT_STREQ(event.data, view.data);
}

TEST(EventJsonTest, ThePagesEventsAreReadWithDefaultsAndTheirDataAsText)
{
    OwnedEvent event;
    std::string error;
    ASSERT_TRUE(EventFromPanelJson(
        R"js({"type":"com.lumorand.PanelToPlugin","data":"({\"messageID\":\"x\"})","extensionId":"forged"})js",
        event, error))
        << error;
    EXPECT_EQ("com.lumorand.PanelToPlugin", event.type);
    EXPECT_EQ("({\"messageID\":\"x\"})", event.data);
    EXPECT_EQ("PHXS", event.appId);
    EXPECT_EQ(1, event.scope);
    EXPECT_FALSE(event.hasExtensionId) << "the bridge sets the panel's own";

    ASSERT_TRUE(EventFromPanelJson(
        R"({"type":"t","scope":0,"appId":"AEFT","data":{"a":[1,true,null,"\u00e9"]}})", event, error));
    EXPECT_EQ(R"({"a":[1,true,null,"é"]})", event.data);
    EXPECT_EQ("AEFT", event.appId);
    EXPECT_EQ(0, event.scope);
    ASSERT_TRUE(EventFromPanelJson(R"({"type":"t","data":null})", event, error));
    EXPECT_EQ("", event.data);

    const std::pair<const char*, const char*> refused[] = {
        {"", "not JSON"},
        {"{\"type\":", "not JSON"},
        {"[1]", "not a JSON object"},
        {"{\"data\":\"x\"}", "\"type\" is not a non-empty string"},
        {"{\"type\":\"\"}", "\"type\" is not a non-empty string"},
        {"{\"type\":5}", "\"type\" is not a non-empty string"},
        {"{\"type\":\"t\",\"scope\":\"1\"}", "\"scope\" is not an integer"},
        {"{\"type\":\"t\",\"appId\":3}", "\"appId\" is not a string"},
    };
    for (const auto& [body, why] : refused)
    {
        EXPECT_FALSE(EventFromPanelJson(body, event, error)) << body;
        EXPECT_EQ(0u, error.find(why)) << body << ": " << error;
    }
}
