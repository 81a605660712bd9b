#pragma once
// The control exports of the fake interface library (fm_fake_lpi.dll), which the core agent's
// tests reach through the loaded library's handle:
//   FakeLPI_Reset()                          forget calls and scripts; default answers again
//   FakeLPI_FailNextCalls(entry, n, code)    the next n calls of an entry point answer code
//   FakeLPI_SetAnswer(entry, value)          the yes/no (or permission) value an entry point gives;
//                                            by default running, logged in, schemas in sync,
//                                            permissions granted, export allowed, folders exist
//   FakeLPI_SetWorkgroupCount(n)             the user's workgroups: 5 "Design" (type 2), 6 "Print"
//                                            (type 3); 9 "System" (type 4) comes with the system flag
//   FakeLPI_CallCount(entry)                 how often an entry point was called; "BeginLogging:<name>",
//                                            "CreateTopLevelSet:<name>" and "Log:<text>" count the
//                                            texts they were given
//   FakeLPI_LastWorkgroups(entry, out, n)    the workgroup list of the last query
//   FakeLPI_Notify(type, payload)            calls the registered callback from a thread of its own
//   FakeLPI_NotifyOnRegister(type, n)        registering a callback sends n font-ID notifications
//                                            (IDs 1..n) from a thread of its own before it returns
//   FakeLPI_StartNotifying(type, n, first)   a thread sends n font-ID notifications (first, ...)
//                                            to whatever callback is registered at each moment,
//                                            not waited for by UnregisterForNotifications
//   FakeLPI_FinishNotifying()                waits for that thread; the callbacks it made

#include "LumorandPluginInterface.h"

using FakeLPI_ResetProc = void (*)();
using FakeLPI_FailNextCallsProc = void (*)(const char*, std::uint32_t, LPIResult);
using FakeLPI_SetAnswerProc = void (*)(const char*, std::uint32_t);
using FakeLPI_SetWorkgroupCountProc = void (*)(int);
using FakeLPI_CallCountProc = int (*)(const char*);
using FakeLPI_LastWorkgroupsProc = int (*)(const char*, std::int32_t*, int);
using FakeLPI_NotifyProc = void (*)(std::uint32_t, const void*);
using FakeLPI_NotifyOnRegisterProc = void (*)(std::uint32_t, int);
using FakeLPI_StartNotifyingProc = void (*)(std::uint32_t, int, std::int32_t);
using FakeLPI_FinishNotifyingProc = int (*)();
