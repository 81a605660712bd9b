#pragma once
// What the font manager's core and its clients say to each other over the core's named pipe.
//
// A client opens a connection and sends frames (see TypeholdWire.h), each a dictionary:
//   request  {"op": <name>, <arguments>...}
//   reply    {"rc": <result code>, <outputs>...}
// The first request of a connection is "Hello" {"role", "client", "pid", "appType"}:
//   role "calls"          - request and reply, one at a time, for the life of the connection
//   role "notifications"  - after the reply the core only sends frames {"type", "payload"?}, in
//                           the order the notifications happened, until either side closes.
// "client" names the client (activations are held per client name); "pid" is its process id and
// "appType" its host application code (0 when not known yet).
//
// Operation names are those of the interface library's entry points ("ActivateFonts", ...)
// plus the control operations of typehold-ctl (kOp... below).

#include <cstdint>

namespace typehold
{
namespace protocol
{
// Kernel object names, one core per session.
constexpr const wchar_t* kPipeName = L"\\\\.\\pipe\\com.lumorand.typehold.core";
constexpr const wchar_t* kInstanceMutexName = L"Local\\com.lumorand.typehold.instance";

// Message keys.
constexpr const char* kOpKey = "op";
constexpr const char* kResultKey = "rc";
constexpr const char* kRoleKey = "role";
constexpr const char* kClientKey = "client";
constexpr const char* kPidKey = "pid";
constexpr const char* kAppTypeKey = "appType";
constexpr const char* kTypeKey = "type";
constexpr const char* kPayloadKey = "payload";

constexpr const char* kRoleCalls = "calls";
constexpr const char* kRoleNotifications = "notifications";

// Operations beyond the library's entry points.
constexpr const char* kOpHello = "Hello";
constexpr const char* kOpEmitNotifications = "EmitNotifications"; // {"type", "count", "first"}
constexpr const char* kOpReplicate =
    "Replicate"; // {"kind": bulk|incremental|server|google, "steps", "intervalMs"}
constexpr const char* kOpReloadConfig = "ReloadConfig";
constexpr const char* kOpDumpState = "DumpState"; // -> {"state": dictionary}
constexpr const char* kOpExit = "Exit";
// A smart set (a saved rule over PostScript names): {"name", "workgroup" (0: any), "patterns"}
// -> {"smartSetID"}.
constexpr const char* kOpCreateSmartSet = "CreateSmartSet";
// A session setting as the user would change it: {"name": online|standalone|loggedIn, "value"}.
constexpr const char* kOpSetSessionState = "SetSessionState";
// A core that stops answering: from "Freeze" {"ms"?} on, the requests of every client but
// typehold-ctl are held (and no notification goes out) until "Thaw", or until "ms" milliseconds
// have passed when given. Both are answered at once, frozen or not.
constexpr const char* kOpFreeze = "Freeze";
constexpr const char* kOpThaw = "Thaw";
// The client name prefix of typehold-ctl's connections, which a frozen core still answers.
constexpr const char* kControlClientPrefix = "typehold-ctl:";

// Column identifiers of the permissions GetPermission answers.
constexpr const char* kColumnActivateAcrossWorkgroups = "Permission.ActivateAcrossWorkgroups";
constexpr const char* kColumnExportFonts = "Permission.ExportFonts";
// The report ExportFonts writes into the folder it copied the fonts to.
constexpr const char* kCollectReportName = "Fonts collected.txt";

// Exit codes of Typehold.exe.
constexpr int kExitNormal = 0;
constexpr int kExitUsage = 2;
constexpr int kExitAlreadyRunning = 3;
constexpr int kExitStartFailed = 4;
} // namespace protocol
} // namespace typehold
