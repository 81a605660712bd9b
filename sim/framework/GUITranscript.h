#pragma once
// The dialog transcript: every dialog the framework "shows" is written as one line (some add
// indented detail lines) to the file named by LUMORAND_UI_TRANSCRIPT, appended and flushed
// entry by entry, in UTF-8. The library's own diagnostics are lines that start with "# ".
// Without the variable nothing is written.

#include "GTypes.h"

#include <CoreFoundation/CoreFoundation.h>

#include <vector>

constexpr const char* kTranscriptVariable = "LUMORAND_UI_TRANSCRIPT";

class GUITranscript
{
public:
    // Appends the lines (a newline is added to each) in one write.
    static void Write(const std::vector<TUTF8String>& lines);
    static void Write(const TUTF8String& line) { Write(std::vector<TUTF8String>{line}); }
    // A diagnostic line: "# " and the text.
    static void Note(const TUTF8String& text) { Write("# " + text); }

    // Text in double quotes; a quote, a backslash and control characters are escaped ("\"",
    // "\\", "\n", "\r", "\t", "\x1f").
    static TUTF8String Quote(const TUTF8String& text);
    // A quoted string, or null for a missing one.
    static TUTF8String Quote(CFStringRef text);
    // A word as it is when it has only letters, digits and ".-_:/\@+", otherwise quoted.
    static TUTF8String Word(const TUTF8String& text);
    // The word of a string, or none for a missing one.
    static TUTF8String Word(CFStringRef text);
    // A property-list value for a transcript: true/false, a number, a quoted string, or the type
    // in angle brackets for anything else.
    static TUTF8String Value(CFTypeRef value);
};
