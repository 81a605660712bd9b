#pragma once
// The text form of property-list dates: ISO 8601 in UTC with whole seconds,
// "2024-05-01T12:30:00Z".

#include <CoreFoundation/CFDate.h>

#include <string>

namespace cfimpl
{
std::string FormatISO8601(CFAbsoluteTime at);
bool ParseISO8601(const std::string& text, CFAbsoluteTime& at);
} // namespace cfimpl
