#pragma once
// What the plug-in says to its panel, as a scenario checks it: each message is the data of a
// "com.lumorand.PluginToPanel" event, "(" JSON ")".
//
// An expected message is a JSON object whose members must all match the message's (the message
// may have more). An expected value matches
//   - a type name: "string", "number", "integer", "boolean", "array", "object", "null" (a value
//     of that type), "any" (any value) or "absent" (the member must not be there);
//   - {"equals": X}: exactly X (for a string that is also a type name);
//   - an object: an object whose members match, recursively; an array: an array of as many
//     elements, each matching;
//   - anything else: the same value (numbers compared by value).

#include "Json.h"

#include <string>
#include <vector>

// The JSON between the parentheses, parsed into parser; false (why) when the data is not
// "(" JSON ")".
bool ParsePanelMessage(const std::string& data, JsonParser& parser, std::string& why);

// The message's "messageID" as text (a string as it is, an integer in decimal); empty otherwise
// (also for a malformed message).
std::string PanelMessageID(const std::string& data);

// Replaces each "${panel:ID.KEY}" in text by the value of KEY (a string as it is, anything else
// as its JSON text) in the latest of the messages whose "messageID" is ID; false (error) when
// there is none.
bool ExpandPanelValues(std::string& text, const std::vector<std::string>& messages, std::string& error);

// Whether the messages satisfy the expected list: in order, with other messages between them
// allowed (exact false) or not (exact true: exactly these messages). A malformed message is a
// problem in either case. False with error when the expectation cannot be read; otherwise problem
// is empty when it holds.
bool CheckPanelMessages(const std::vector<std::string>& messages, const JsonNode& expected, bool exact,
                        std::string& problem, std::string& error);
