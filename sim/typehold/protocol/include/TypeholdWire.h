#pragma once
// The byte form of the messages between the font manager's core and its clients: Core Foundation
// property-list values (dictionaries, arrays, strings, numbers, booleans, data) in a compact
// tagged encoding, carried in length-prefixed frames.
//
//   value      := tag body
//   'T' / 'F'  a boolean (no body)
//   'I'        a signed 64-bit integer, little-endian
//   'R'        a 64-bit IEEE double, little-endian
//   'S'        u32 byte count, UTF-8 bytes
//   'D'        u32 byte count, bytes
//   'A'        u32 element count, the elements
//   'M'        u32 entry count, key value key value ...
//   frame      := u32 payload size (little-endian), payload (one value)
//
// Decoding trusts nothing: counts are checked against the bytes that remain, nesting is bounded
// and strings must be valid UTF-8.

#include <CoreFoundation/CoreFoundation.h>

#include <cstddef>
#include <cstdint>
#include <string>

namespace typehold
{
// Largest payload a frame may announce; a larger size marks a broken or hostile peer.
constexpr std::uint32_t kMaxFramePayload = 256u * 1024u * 1024u;
// Deepest nesting of containers that is encoded or decoded.
constexpr int kMaxWireDepth = 64;
constexpr std::size_t kFrameHeaderSize = 4;

// Appends the encoding of the value. False (out left with a partial value) for a null value, a
// type that is not a property-list type or nesting deeper than kMaxWireDepth.
bool EncodeWireValue(CFTypeRef value, std::string& out);

// Decodes a value that fills exactly size bytes. Dictionaries and arrays come back mutable (the
// caller owns the result). Null, with a one-line reason in error, for malformed bytes.
CFTypeRef DecodeWireValue(const void* bytes, std::size_t size, std::string& error);

// A whole frame for a value: header and payload. False when the value cannot be encoded or is too
// large for a frame.
bool EncodeWireFrame(CFTypeRef value, std::string& frame);

// The payload size announced by a frame header (4 bytes).
std::uint32_t ReadFrameHeader(const void* header);
} // namespace typehold
