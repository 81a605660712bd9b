#ifndef PORTOLAN_CF_LIVE_OBJECTS_H
#define PORTOLAN_CF_LIVE_OBJECTS_H
/* For tests only, and not part of the Core Foundation API the plug-in may use: how many objects
 * of this library are alive now (every object created and not yet freed, constant ones left
 * out). A process that does the same work twice should end both times with the same count. */

#include <CoreFoundation/CFBase.h>

#ifdef __cplusplus
extern "C" {
#endif

CF_EXPORT CFIndex _CFGetLiveObjectCount(void);

#ifdef __cplusplus
}
#endif

#endif
