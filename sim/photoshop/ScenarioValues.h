#pragma once
// Values as scenarios write them, and the checks of expectations on them.
//
// Descriptor keys: four characters are a code ("Oper"), any other text a string ID. Values: an
// integer is 'long', another number 'doub', a string 'TEXT', a boolean 'bool'. An expected value
// may also be null (the key must be absent) or {"type": "long"} (present with that type, any
// value; "value" adds the value).

#include "ActionModel.h"
#include "Json.h"
#include "StringIDTable.h"

#include <string>
#include <vector>

bool KeyFromText(const std::string& text, StringIDTable& ids, DescriptorKeyID& key);

// The scenario's object as a descriptor; false (error says which key) for other kinds of values.
bool DescriptorFromJson(const JsonNode& object, StringIDTable& ids, ActionDescriptorData& data,
                        std::string& error);

// Appends one problem per expected key that the descriptor does not satisfy; false for an
// expectation that cannot be read (error).
bool CheckDescriptor(const ActionDescriptorData& actual, const JsonNode& expected, StringIDTable& ids,
                     std::vector<std::string>& problems, std::string& error);

// The value of an environment variable (the C runtime's copy, which set-env changes); false when
// it is not set.
bool GetEnvironment(const std::string& name, std::string& value);

// ${NAME} replaced by the environment variable's value; false (error names it) when one is unset.
bool ExpandEnvironment(const std::string& text, std::string& expanded, std::string& error);

// The lines of a file (without line ends); false when it cannot be read.
bool ReadFileLines(const std::string& path, std::vector<std::string>& lines);
