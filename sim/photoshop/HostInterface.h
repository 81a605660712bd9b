#pragma once
// Photoshop's plug-in binary interface as the host serves it on x64 Windows: the entry message,
// the suites this stand-in serves, their names, versions and slot order.
//
// The stand-in's own declarations, written from Photoshop's published interface tables and from
// nothing of the plug-in: a host that compiled the plug-in's header would agree with every
// mistake in it. The static_asserts at the end pin each slot the plug-in may reach to its place
// in the table (slot n lies at byte n * 8).
//
// Conventions of the interface: one calling convention on x64; SPErr and ASErr are signed 32-bit,
// OSErr signed 16-bit; booleans one unsigned byte; identifiers unsigned 32-bit; long is 32-bit on
// Windows; descriptors, references, lists, handles, script engines and plug-in references are
// opaque pointers; ASUnicode is one UTF-16 unit.

#include <cstddef>
#include <cstdint>

#ifdef PORTOLAN_PLUGIN_HOST_DECLARATIONS
#error "the Photoshop stand-in must not see the plug-in's host declarations"
#endif
#define PHOTOSHOP_SIM_HOST_DECLARATIONS 1

extern "C"
{
    typedef std::int32_t SPErr;
    typedef std::int32_t ASErr;
    typedef std::int16_t OSErr;
    typedef unsigned char SPBoolean; // also the interface's Boolean

    typedef std::uint32_t DescriptorEventID;
    typedef std::uint32_t DescriptorTypeID;
    typedef std::uint32_t DescriptorClassID;
    typedef std::uint32_t DescriptorKeyID;
    typedef std::uint32_t DescriptorEnumTypeID;
    typedef std::uint32_t DescriptorEnumID;
    typedef std::uint32_t DescriptorUnitID;
    typedef std::uint32_t DescriptorFormID;

    typedef struct SPPlugin* SPPluginRef;
    typedef struct HostDescriptorObject* PIActionDescriptor;
    typedef struct HostReferenceObject* PIActionReference;
    typedef struct HostListObject* PIActionList;
    typedef struct HostHandleObject* Handle;
    typedef struct HostScriptEngine* JSEngineRef;
    typedef struct HostZString* ASZString;
    typedef std::uint16_t ASUnicode;

    // --- The entry message ---------------------------------------------------------------------------
    struct SPBasicSuite;

    struct SPMessageData
    {
        std::int32_t SPCheck; // 'SPCk'
        SPPluginRef self;
        void* globals;
        SPBasicSuite* basic;
    };

    struct PIActionParameters
    {
        std::int32_t playInfo;
        std::int32_t recordInfo;
        PIActionDescriptor descriptor;
    };

    // The message of an automation plug-in's entry call ("Do It" carries the action parameters).
    struct AutomationMessage
    {
        SPMessageData d;
        PIActionParameters* actionParameters;
    };

    // --- SP Basic Suite: handed in every message, never acquired -------------------------------------
    struct SPBasicSuite
    {
        SPErr (*AcquireSuite)(const char* name, std::int32_t version, const void** suite);
        SPErr (*ReleaseSuite)(const char* name, std::int32_t version);
        SPBoolean (*IsEqual)(const char* token1, const char* token2);
        SPErr (*AllocateBlock)(std::size_t size, void** block);
        SPErr (*FreeBlock)(void* block);
        SPErr (*ReallocateBlock)(void* block, std::size_t newSize, void** newBlock);
        SPErr (*Undefined)(void);
    };

    // --- "SP Blocks Suite", version 2 ----------------------------------------------------------------
    struct BlocksTable
    {
        SPErr (*AllocateBlock)(std::size_t size, const char* debugName, void** block);
        SPErr (*FreeBlock)(void* block);
        SPErr (*ReallocateBlock)(void* block, std::size_t newSize, const char* debugName, void** newBlock);
    };

    // --- Action control suite, versions 2 to 6 ------------------------------------------------------
    typedef void (*PIEventNotifier)(DescriptorEventID event, PIActionDescriptor descriptor,
                                    std::int32_t recordOptions, void* data);

    struct ActionControlTable
    {
        OSErr (*Play)(PIActionDescriptor* result, DescriptorEventID event, PIActionDescriptor descriptor,
                      std::int32_t dialogOptions);
        OSErr (*Get)(PIActionDescriptor* result, PIActionReference reference);
        OSErr (*StringIDToTypeID)(const char* stringID, DescriptorTypeID* typeID);
        OSErr (*TypeIDToStringID)(DescriptorTypeID typeID, char* stringID, std::uint32_t bufferLength);
        OSErr (*AddNotify)(SPPluginRef plugin, DescriptorEventID event, PIEventNotifier notifier, void* data);
        OSErr (*RemoveNotify)(SPPluginRef plugin, DescriptorEventID event);
        OSErr (*SuspendHistory)(PIActionReference document, SPErr (*proc)(void* data), void* data,
                                ASZString operationName);
        OSErr (*MakeStringAlias)(const char* newStringID, const char* existingStringID);
        // Version 4 on.
        OSErr (*AddNotifyLevel1)(SPPluginRef plugin, DescriptorEventID event, PIEventNotifier notifier,
                                 void* data);
    };

    // --- Basic action control suite, versions 1 to 3 ------------------------------------------------
    struct BasicActionControlTable
    {
        OSErr (*Get)(PIActionDescriptor* result, PIActionReference reference);
        OSErr (*StringIDToTypeID)(const char* stringID, DescriptorTypeID* typeID);
        OSErr (*TypeIDToStringID)(DescriptorTypeID typeID, char* stringID, std::uint32_t bufferLength);
        OSErr (*MakeStringAlias)(const char* newStringID, const char* existingStringID);
    };

    // --- Action descriptor suite, version 2 on ------------------------------------------------------
    // Slots 36 to 45 (HasKeys, PutIntegers, GetIntegers, AsHandle, HandleToDescriptor, PutZString,
    // GetZString, PutData, GetDataLength, GetData) follow GetAlias; this host does not serve them.
    struct ActionDescriptorTable
    {
        OSErr (*Make)(PIActionDescriptor* descriptor);
        OSErr (*Free)(PIActionDescriptor descriptor);
        OSErr (*GetType)(PIActionDescriptor d, DescriptorKeyID key, DescriptorTypeID* type);
        OSErr (*GetKey)(PIActionDescriptor d, std::uint32_t index, DescriptorKeyID* key);
        OSErr (*HasKey)(PIActionDescriptor d, DescriptorKeyID key, SPBoolean* hasKey);
        OSErr (*GetCount)(PIActionDescriptor d, std::uint32_t* count);
        OSErr (*IsEqual)(PIActionDescriptor d, PIActionDescriptor other, SPBoolean* isEqual);
        OSErr (*Erase)(PIActionDescriptor d, DescriptorKeyID key);
        OSErr (*Clear)(PIActionDescriptor d);
        OSErr (*PutInteger)(PIActionDescriptor d, DescriptorKeyID key, std::int32_t value);
        OSErr (*PutFloat)(PIActionDescriptor d, DescriptorKeyID key, double value);
        OSErr (*PutUnitFloat)(PIActionDescriptor d, DescriptorKeyID key, DescriptorUnitID unit, double value);
        OSErr (*PutString)(PIActionDescriptor d, DescriptorKeyID key, char* text);
        OSErr (*PutBoolean)(PIActionDescriptor d, DescriptorKeyID key, SPBoolean value);
        OSErr (*PutList)(PIActionDescriptor d, DescriptorKeyID key, PIActionList value);
        OSErr (*PutObject)(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID objectClass,
                           PIActionDescriptor value);
        OSErr (*PutGlobalObject)(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID objectClass,
                                 PIActionDescriptor value);
        OSErr (*PutEnumerated)(PIActionDescriptor d, DescriptorKeyID key, DescriptorEnumTypeID enumType,
                               DescriptorEnumID enumValue);
        OSErr (*PutReference)(PIActionDescriptor d, DescriptorKeyID key, PIActionReference value);
        OSErr (*PutClass)(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID value);
        OSErr (*PutGlobalClass)(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID value);
        OSErr (*PutAlias)(PIActionDescriptor d, DescriptorKeyID key, Handle value);
        OSErr (*GetInteger)(PIActionDescriptor d, DescriptorKeyID key, std::int32_t* value);
        OSErr (*GetFloat)(PIActionDescriptor d, DescriptorKeyID key, double* value);
        OSErr (*GetUnitFloat)(PIActionDescriptor d, DescriptorKeyID key, DescriptorUnitID* unit,
                              double* value);
        OSErr (*GetStringLength)(PIActionDescriptor d, DescriptorKeyID key, std::uint32_t* length);
        OSErr (*GetString)(PIActionDescriptor d, DescriptorKeyID key, char* text, std::uint32_t maxLength);
        OSErr (*GetBoolean)(PIActionDescriptor d, DescriptorKeyID key, SPBoolean* value);
        OSErr (*GetList)(PIActionDescriptor d, DescriptorKeyID key, PIActionList* value);
        OSErr (*GetObject)(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID* objectClass,
                           PIActionDescriptor* value);
        OSErr (*GetGlobalObject)(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID* objectClass,
                                 PIActionDescriptor* value);
        OSErr (*GetEnumerated)(PIActionDescriptor d, DescriptorKeyID key, DescriptorEnumTypeID* enumType,
                               DescriptorEnumID* enumValue);
        OSErr (*GetReference)(PIActionDescriptor d, DescriptorKeyID key, PIActionReference* value);
        OSErr (*GetClass)(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID* value);
        OSErr (*GetGlobalClass)(PIActionDescriptor d, DescriptorKeyID key, DescriptorClassID* value);
        OSErr (*GetAlias)(PIActionDescriptor d, DescriptorKeyID key, Handle* value);
    };

    // --- Action list suite, version 1 (the Put.../Get... family after slot 3 is not served) -------
    struct ActionListTable
    {
        OSErr (*Make)(PIActionList* list);
        OSErr (*Free)(PIActionList list);
        OSErr (*GetType)(PIActionList list, std::uint32_t index, DescriptorTypeID* type);
        OSErr (*GetCount)(PIActionList list, std::uint32_t* count);
    };

    // --- Action reference suite, version 2 on -------------------------------------------------------
    // Slots 11 to 17 (GetNameLength, GetName, GetIndex, GetIdentifier, GetOffset, GetEnumerated,
    // GetProperty) are not served; their parameters are left undeclared.
    typedef void (*UndeclaredSlot)(void);

    struct ActionReferenceTable
    {
        OSErr (*Make)(PIActionReference* reference);
        OSErr (*Free)(PIActionReference reference);
        OSErr (*GetForm)(PIActionReference r, DescriptorFormID* form);
        OSErr (*GetDesiredClass)(PIActionReference r, DescriptorClassID* desiredClass);
        OSErr (*PutName)(PIActionReference r, DescriptorClassID desiredClass, char* name);
        OSErr (*PutIndex)(PIActionReference r, DescriptorClassID desiredClass, std::uint32_t index);
        OSErr (*PutIdentifier)(PIActionReference r, DescriptorClassID desiredClass, std::uint32_t identifier);
        OSErr (*PutOffset)(PIActionReference r, DescriptorClassID desiredClass, std::int32_t offset);
        OSErr (*PutEnumerated)(PIActionReference r, DescriptorClassID desiredClass,
                               DescriptorEnumTypeID enumType, DescriptorEnumID enumValue);
        OSErr (*PutProperty)(PIActionReference r, DescriptorClassID desiredClass, DescriptorKeyID key);
        OSErr (*PutClass)(PIActionReference r, DescriptorClassID desiredClass);
        UndeclaredSlot GetNameLength;
        UndeclaredSlot GetName;
        UndeclaredSlot GetIndex;
        UndeclaredSlot GetIdentifier;
        UndeclaredSlot GetOffset;
        UndeclaredSlot GetEnumerated;
        UndeclaredSlot GetProperty;
        OSErr (*GetContainer)(PIActionReference r, PIActionReference* container);
    };

    // --- "Photoshop Handle Suite for Plug-ins": version 1, and version 2 with DisposeRegularHandle
    // inserted at slot 2 -----------------------------------------------------------------------------
    struct HandleTable1
    {
        Handle (*New)(std::int32_t size);
        void (*Dispose)(Handle h);
        void (*SetLock)(Handle h, SPBoolean lock, char** address, SPBoolean* oldLock);
        std::int32_t (*GetSize)(Handle h);
        OSErr (*SetSize)(Handle h, std::int32_t size);
        void (*RecoverSpace)(std::int32_t size);
    };

    struct HandleTable2
    {
        Handle (*New)(std::int32_t size);
        void (*Dispose)(Handle h);
        void (*DisposeRegularHandle)(Handle h);
        void (*SetLock)(Handle h, SPBoolean lock, char** address, SPBoolean* oldLock);
        std::int32_t (*GetSize)(Handle h);
        OSErr (*SetSize)(Handle h, std::int32_t size);
        void (*RecoverSpace)(std::int32_t size);
    };

    // --- "JavaScript Scripting Suite", versions 1 to 4 (slots 0-5 shared) --------------------------
    struct ScriptingTable
    {
        SPBoolean (*ScriptIsRunning)(void);
        ASErr (*CreateEngine)(JSEngineRef* engine);
        ASErr (*DeleteEngine)(JSEngineRef engine);
        ASErr (*SetIncludePath)(JSEngineRef engine, const ASUnicode* path);
        ASErr (*GetIncludePath)(JSEngineRef engine, ASUnicode* buffer, std::int32_t* bufferSize);
        ASErr (*ExecuteScript)(JSEngineRef engine, const ASUnicode* script, std::int32_t mode,
                               const ASUnicode** result);
    };
} // extern "C"

// A four-character code as the host compares it: 'abcd' is 0x61626364.
constexpr std::uint32_t FourCharCode(const char (&code)[5])
{
    return (static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
           (static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
           static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
}

// Suite names.
constexpr const char* kBlocksSuiteName = "SP Blocks Suite";
constexpr const char* kActionControlSuiteName = "bc1e4d70-f953-11d0-8d9f-00c04fd5f7ee";
constexpr const char* kBasicActionControlSuiteName = "3eb7c480-8797-11d1-8da7-00c04fd5f7ee";
constexpr const char* kActionDescriptorSuiteName = "df135115-c769-11d0-8079-00c04fd7ec47";
constexpr const char* kActionListSuiteName = "df135116-c769-11d0-8079-00c04fd7ec47";
constexpr const char* kActionReferenceSuiteName = "df135117-c769-11d0-8079-00c04fd7ec47";
constexpr const char* kHandleSuiteName = "Photoshop Handle Suite for Plug-ins";
constexpr const char* kScriptingSuiteName = "JavaScript Scripting Suite";

// The message's check word.
constexpr std::int32_t kSPCheckValue = static_cast<std::int32_t>(FourCharCode("SPCk"));

// Callers and selectors of an automation plug-in's entry calls.
constexpr const char* kInterfaceCaller = "SP Interface";
constexpr const char* kStartupSelector = "Startup";
constexpr const char* kShutdownSelector = "Shutdown";
constexpr const char* kAboutSelector = "About";
constexpr const char* kPhotoshopCaller = "PS Photoshop";
constexpr const char* kDoItSelector = "Do It";

// Dialog options of Play.
constexpr std::int32_t kDialogDisplayWhenNeeded = 0;
constexpr std::int32_t kDialogDisplay = 1;
constexpr std::int32_t kDialogSilent = 2;

// Script execution modes.
constexpr std::int32_t kScriptRunWithoutDebugger = 1;

// The host's answers (chosen by this host where the interface leaves them open).
constexpr SPErr kHostNoError = 0;
constexpr SPErr kHostBadParameter = static_cast<SPErr>(FourCharCode("Parm"));
constexpr SPErr kHostSuiteNotFound = static_cast<SPErr>(FourCharCode("S!Fd"));
constexpr SPErr kHostUnimplemented = static_cast<SPErr>(FourCharCode("!IMP"));
constexpr SPErr kHostOutOfMemory = -108;
constexpr ASErr kScriptBadEngine = static_cast<ASErr>(FourCharCode("ScBR"));

// --- Layout: x64, slot n at byte n * 8 -----------------------------------------------------------
static_assert(sizeof(void*) == 8, "the x64 interface");
#define HOST_SLOT(table, member, slot) static_assert(offsetof(table, member) == (slot) * sizeof(void*))
static_assert(offsetof(SPMessageData, self) == 8 && offsetof(SPMessageData, globals) == 16 &&
              offsetof(SPMessageData, basic) == 24 && sizeof(SPMessageData) == 32);
static_assert(offsetof(AutomationMessage, actionParameters) == 32);
static_assert(offsetof(PIActionParameters, recordInfo) == 4 && offsetof(PIActionParameters, descriptor) == 8);
HOST_SLOT(SPBasicSuite, Undefined, 6);
HOST_SLOT(BlocksTable, ReallocateBlock, 2);
HOST_SLOT(ActionControlTable, Play, 0);
HOST_SLOT(ActionControlTable, Get, 1);
HOST_SLOT(ActionControlTable, StringIDToTypeID, 2);
HOST_SLOT(ActionControlTable, TypeIDToStringID, 3);
HOST_SLOT(ActionControlTable, AddNotify, 4);
HOST_SLOT(ActionControlTable, RemoveNotify, 5);
HOST_SLOT(ActionControlTable, SuspendHistory, 6);
HOST_SLOT(ActionControlTable, MakeStringAlias, 7);
HOST_SLOT(ActionControlTable, AddNotifyLevel1, 8);
HOST_SLOT(BasicActionControlTable, MakeStringAlias, 3);
HOST_SLOT(ActionDescriptorTable, Clear, 8);
HOST_SLOT(ActionDescriptorTable, PutInteger, 9);
HOST_SLOT(ActionDescriptorTable, PutString, 12);
HOST_SLOT(ActionDescriptorTable, PutEnumerated, 17);
HOST_SLOT(ActionDescriptorTable, PutAlias, 21);
HOST_SLOT(ActionDescriptorTable, GetInteger, 22);
HOST_SLOT(ActionDescriptorTable, GetString, 26);
HOST_SLOT(ActionDescriptorTable, GetObject, 29);
HOST_SLOT(ActionDescriptorTable, GetAlias, 35);
HOST_SLOT(ActionListTable, GetCount, 3);
HOST_SLOT(ActionReferenceTable, PutName, 4);
HOST_SLOT(ActionReferenceTable, PutIndex, 5);
HOST_SLOT(ActionReferenceTable, PutIdentifier, 6);
HOST_SLOT(ActionReferenceTable, PutEnumerated, 8);
HOST_SLOT(ActionReferenceTable, PutProperty, 9);
HOST_SLOT(ActionReferenceTable, PutClass, 10);
HOST_SLOT(ActionReferenceTable, GetContainer, 18);
HOST_SLOT(HandleTable1, SetLock, 2);
HOST_SLOT(HandleTable1, RecoverSpace, 5);
HOST_SLOT(HandleTable2, DisposeRegularHandle, 2);
HOST_SLOT(HandleTable2, SetLock, 3);
HOST_SLOT(HandleTable2, RecoverSpace, 6);
HOST_SLOT(ScriptingTable, ScriptIsRunning, 0);
HOST_SLOT(ScriptingTable, CreateEngine, 1);
HOST_SLOT(ScriptingTable, DeleteEngine, 2);
HOST_SLOT(ScriptingTable, ExecuteScript, 5);
#undef HOST_SLOT
