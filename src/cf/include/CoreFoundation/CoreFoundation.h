/* The Core Foundation layer: the subset of Apple's Core Foundation C API that this system uses,
 * with Apple's names, types and ownership rules. A function whose name contains Create or Copy
 * returns an object the caller owns and releases with CFRelease; Get functions return objects
 * the caller does not own. Objects are allocated and freed inside this library, so they may be
 * passed freely between modules.
 *
 * What this subset does not provide (absent, not stubbed):
 * - allocators other than the default one (CFAllocatorCreate, kCFAllocatorNull, ...);
 * - run loops, bundles, preferences, URLs, streams, sets, bags, trees, locales, calendars,
 *   time zones, formatters, attributed strings, character sets, notifications;
 * - string encodings other than UTF-8, Windows Latin 1, Mac Roman, ISO Latin 1, ASCII and
 *   non-lossy ASCII; locale-aware comparison, normalisation, and case mapping beyond Latin,
 *   Greek and Cyrillic letters; positional arguments (%1$@) in formats;
 * - binary and OpenStep property lists, and XML property lists in encodings other than UTF-8;
 *   integers outside the signed 64-bit range in property lists;
 * - CFNumber values outside the signed 64-bit and double ranges (no 128-bit integers);
 * - CFDate arithmetic beyond what property-list dates need (CFGregorianDate and friends).
 *
 * Departures from Apple's behaviour where Apple stops the process: NULL arguments and indices
 * outside a collection are ignored (or yield NULL, 0 or FALSE) instead of crashing. */
#ifndef PORTOLAN_CF_COREFOUNDATION_H
#define PORTOLAN_CF_COREFOUNDATION_H

#include <CoreFoundation/CFArray.h>
#include <CoreFoundation/CFBase.h>
#include <CoreFoundation/CFData.h>
#include <CoreFoundation/CFDate.h>
#include <CoreFoundation/CFDictionary.h>
#include <CoreFoundation/CFError.h>
#include <CoreFoundation/CFNumber.h>
#include <CoreFoundation/CFPropertyList.h>
#include <CoreFoundation/CFString.h>
#include <CoreFoundation/CFUUID.h>

#endif
