#pragma once
// Conversion of text between named encodings with GNU libiconv ("UTF-8", "UTF-16LE",
// "WINDOWS-1252", ...). Converting from "UTF-8" to "UTF-8" validates the text.

#include "GTypes.h"

// Converts the bytes of the text from one encoding to another. Throws std::runtime_error:
//   "Unable to initialize iconv (error <errno>)" when the pair of encodings is not known;
//   "Unable to convert string to <to> (error <errno>): <text>" when the text is not valid in its
//   encoding or cannot be represented in the other.
std::string IconvConvert(const std::string& text, const char* toEncoding, const char* fromEncoding);
