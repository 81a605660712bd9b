#pragma once
// The part of Photoshop's plug-in interface that Portolan uses (x64 Windows, Photoshop 2020).
// Every declaration reproduces the binary layout Photoshop serves: field order, integer widths,
// pointer sizes, suite names, versions and slot order, and the x64 calling convention (the only
// one on x64). Suites are tables of function pointers; a later version of a suite only appends
// slots, so a table declared up to a slot is valid for every version at or above the one that
// introduced it. Slot n of a table lies at byte n * 8.
//
// The tests' Photoshop stand-in declares the host side on its own and never sees this header:
// a host built from the plug-in's declarations would agree with any mistake in them. The
// static_asserts at the end pin every slot the plug-in calls to its number in Photoshop's table,
// and every suite identifier to Photoshop's.

#include <cstddef>
#include <cstdint>

#ifdef PHOTOSHOP_SIM_HOST_DECLARATIONS
#error "the plug-in's host declarations and the Photoshop stand-in's never meet in one file"
#endif
#define PORTOLAN_PLUGIN_HOST_DECLARATIONS 1

extern "C"
{

    // --- Basic types ---------------------------------------------------------------------------------
    // SPErr: PICA error, 32-bit. OSErr: Photoshop's action-suite result, 16-bit (Mac heritage).
    typedef std::int32_t SPErr;
    typedef std::int16_t OSErr;
    // SPBoolean / Boolean: one byte. A caller that reads only the low byte is also right when a host
    // returns a wider boolean.
    typedef unsigned char SPBoolean;
    typedef unsigned char PSBoolean;

    typedef char* Ptr;
    typedef Ptr* Handle;

    typedef std::uint32_t DescriptorKeyID;
    typedef std::uint32_t DescriptorTypeID;
    typedef std::uint32_t DescriptorClassID;
    typedef std::uint32_t DescriptorEventID;
    typedef std::uint32_t DescriptorEnumTypeID;
    typedef std::uint32_t DescriptorEnumID;
    typedef std::uint32_t DescriptorUnitID;
    typedef std::uint32_t DescriptorFormID;

    typedef std::int32_t PIDialogPlayOptions;
    typedef std::int32_t PIDialogRecordOptions;

    // Opaque host objects.
    typedef struct SPPlugin* SPPluginRef;
    typedef struct PIActionDescriptorOpaque* PIActionDescriptor;
    typedef struct PIActionReferenceOpaque* PIActionReference;
    typedef struct PIActionListOpaque* PIActionList;

    // A four-character code as the integer the host compares: 'abcd' == 0x61626364.
    constexpr std::uint32_t PSFourCharCode(const char (&code)[5])
    {
        return (static_cast<std::uint32_t>(static_cast<unsigned char>(code[0])) << 24) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(code[1])) << 16) |
               (static_cast<std::uint32_t>(static_cast<unsigned char>(code[2])) << 8) |
               static_cast<std::uint32_t>(static_cast<unsigned char>(code[3]));
    }

    // --- Error codes ---------------------------------------------------------------------------------
    constexpr SPErr kSPNoError = 0;
    constexpr SPErr kSPBadParameterError = static_cast<SPErr>(PSFourCharCode("Parm"));
    constexpr SPErr kSPSuiteNotFoundError = static_cast<SPErr>(PSFourCharCode("S!Fd"));
    constexpr SPErr kSPUnimplementedError = static_cast<SPErr>(PSFourCharCode("!IMP"));
    constexpr SPErr kSPOutOfMemoryError = -108;
    // Photoshop's "feature bar" refusal, returned by a command that cannot run at all.
    constexpr SPErr kPSFeatureBarError = static_cast<SPErr>(PSFourCharCode("fbar"));

    // --- Callers and selectors of the automation entry point ----------------------------------------
    constexpr const char* kSPInterfaceCaller = "SP Interface";
    constexpr const char* kSPInterfaceStartupSelector = "Startup";
    constexpr const char* kSPInterfaceShutdownSelector = "Shutdown";
    constexpr const char* kSPInterfaceAboutSelector = "About";
    constexpr const char* kPSPhotoshopCaller = "PS Photoshop";
    constexpr const char* kPSDoIt = "Do It";

    // --- SPBasicSuite (PICA "SP Basic Suite"; passed in every message, never acquired) --------------
    typedef struct SPBasicSuite
    {
        SPErr (*AcquireSuite)(const char* name, std::int32_t version, const void** suite);
        SPErr (*ReleaseSuite)(const char* name, std::int32_t version);
        SPBoolean (*IsEqual)(const char* token1, const char* token2);
        SPErr (*AllocateBlock)(std::size_t size, void** block);
        SPErr (*FreeBlock)(void* block);
        SPErr (*ReallocateBlock)(void* block, std::size_t newSize, void** newblock);
        SPErr (*Undefined)(void);
    } SPBasicSuite;

    // --- SPMessageData (PICA message header) ---------------------------------------------------------
    constexpr std::int32_t kSPValidSPMessageData = static_cast<std::int32_t>(PSFourCharCode("SPCk"));

    typedef struct SPMessageData
    {
        std::int32_t SPCheck; // kSPValidSPMessageData
        SPPluginRef self;     // the plug-in reference
        void* globals;        // the plug-in's globals slot
        SPBasicSuite* basic;
    } SPMessageData;

    // --- PIActionParameters and PSActionsPlugInMessage (automation plug-in message) -----------------
    typedef struct PIActionParameters
    {
        PIDialogPlayOptions playInfo;
        PIDialogRecordOptions recordInfo;
        PIActionDescriptor descriptor;
    } PIActionParameters;

    typedef struct PSActionsPlugInMessage
    {
        SPMessageData d;
        PIActionParameters* actionParameters; // "Do It" only
    } PSActionsPlugInMessage;

    // Dialog play options.
    constexpr PIDialogPlayOptions plugInDialogDontDisplay = 0;
    constexpr PIDialogPlayOptions plugInDialogDisplay = 1;
    constexpr PIDialogPlayOptions plugInDialogSilent = 2;

    // --- SPBlocksSuite ("SP Blocks Suite", version 2) -----------------------------------------------
    constexpr const char* kSPBlocksSuite = "SP Blocks Suite";
    constexpr std::int32_t kSPBlocksSuiteVersion = 2;

    typedef struct SPBlocksSuite
    {
        SPErr (*AllocateBlock)(std::size_t size, const char* debug, void** block);
        SPErr (*FreeBlock)(void* block);
        SPErr (*ReallocateBlock)(void* block, std::size_t newSize, const char* debug, void** newblock);
    } SPBlocksSuite;

    // --- Notification procedure given to AddNotify ---------------------------------------------------
    typedef void (*PIActionNotifyProc)(DescriptorEventID event, PIActionDescriptor descriptor,
                                       PIDialogRecordOptions options, void* data);

    // --- PSActionControlProcs (action control suite), versions 2 to 6 --------------------------------
    // There is no version 1. Versions 2 and 3 have slots 0-7, version 4 appends AddNotifyLevel1;
    // the plug-in asks for 2, then 3, then 4.
    constexpr const char* kPSActionControlSuite = "bc1e4d70-f953-11d0-8d9f-00c04fd5f7ee";
    constexpr std::int32_t kPSActionControlSuiteVersions[] = {2, 3, 4};

    typedef struct ASZStringOpaque* ASZString;

    typedef struct PSActionControlProcs
    {
        OSErr (*Play)(PIActionDescriptor* result, DescriptorEventID event, PIActionDescriptor descriptor,
                      PIDialogPlayOptions options);
        OSErr (*Get)(PIActionDescriptor* result, PIActionReference reference);
        OSErr (*StringIDToTypeID)(const char* stringID, DescriptorTypeID* typeID);
        OSErr (*TypeIDToStringID)(DescriptorTypeID typeID, char* stringID, std::uint32_t stringLength);
        OSErr (*AddNotify)(SPPluginRef ref, DescriptorEventID event, PIActionNotifyProc proc, void* data);
        OSErr (*RemoveNotify)(SPPluginRef ref, DescriptorEventID event);
        OSErr (*SuspendHistory)(PIActionReference document, SPErr (*proc)(void* data), void* data,
                                ASZString operationName);
        OSErr (*MakeStringAlias)(const char* newStringID, const char* existingStringID);
    } PSActionControlProcs;

    // --- PSActionDescriptorProcs (action descriptor suite), version 2 on, up to GetAlias -------------
    constexpr const char* kPSActionDescriptorSuite = "df135115-c769-11d0-8079-00c04fd7ec47";
    constexpr std::int32_t kPSActionDescriptorSuiteVersions[] = {2, 3, 4};

    typedef struct PSActionDescriptorProcs
    {
        OSErr (*Make)(PIActionDescriptor* descriptor);
        OSErr (*Free)(PIActionDescriptor descriptor);
        OSErr (*GetType)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorTypeID* type);
        OSErr (*GetKey)(PIActionDescriptor descriptor, std::uint32_t index, DescriptorKeyID* key);
        OSErr (*HasKey)(PIActionDescriptor descriptor, DescriptorKeyID key, PSBoolean* hasKey);
        OSErr (*GetCount)(PIActionDescriptor descriptor, std::uint32_t* count);
        OSErr (*IsEqual)(PIActionDescriptor descriptor, PIActionDescriptor other, PSBoolean* isEqual);
        OSErr (*Erase)(PIActionDescriptor descriptor, DescriptorKeyID key);
        OSErr (*Clear)(PIActionDescriptor descriptor);
        OSErr (*PutInteger)(PIActionDescriptor descriptor, DescriptorKeyID key, std::int32_t value);
        OSErr (*PutFloat)(PIActionDescriptor descriptor, DescriptorKeyID key, double value);
        OSErr (*PutUnitFloat)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorUnitID unit,
                              double value);
        OSErr (*PutString)(PIActionDescriptor descriptor, DescriptorKeyID key, char* cstrValue);
        OSErr (*PutBoolean)(PIActionDescriptor descriptor, DescriptorKeyID key, PSBoolean value);
        OSErr (*PutList)(PIActionDescriptor descriptor, DescriptorKeyID key, PIActionList value);
        OSErr (*PutObject)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorClassID type,
                           PIActionDescriptor value);
        OSErr (*PutGlobalObject)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorClassID type,
                                 PIActionDescriptor value);
        OSErr (*PutEnumerated)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorEnumTypeID type,
                               DescriptorEnumID value);
        OSErr (*PutReference)(PIActionDescriptor descriptor, DescriptorKeyID key, PIActionReference value);
        OSErr (*PutClass)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorClassID value);
        OSErr (*PutGlobalClass)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorClassID value);
        OSErr (*PutAlias)(PIActionDescriptor descriptor, DescriptorKeyID key, Handle value);
        OSErr (*GetInteger)(PIActionDescriptor descriptor, DescriptorKeyID key, std::int32_t* value);
        OSErr (*GetFloat)(PIActionDescriptor descriptor, DescriptorKeyID key, double* value);
        OSErr (*GetUnitFloat)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorUnitID* unit,
                              double* value);
        OSErr (*GetStringLength)(PIActionDescriptor descriptor, DescriptorKeyID key,
                                 std::uint32_t* stringLength);
        OSErr (*GetString)(PIActionDescriptor descriptor, DescriptorKeyID key, char* cstrValue,
                           std::uint32_t maxLength);
        OSErr (*GetBoolean)(PIActionDescriptor descriptor, DescriptorKeyID key, PSBoolean* value);
        OSErr (*GetList)(PIActionDescriptor descriptor, DescriptorKeyID key, PIActionList* value);
        OSErr (*GetObject)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorClassID* type,
                           PIActionDescriptor* value);
        OSErr (*GetGlobalObject)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorClassID* type,
                                 PIActionDescriptor* value);
        OSErr (*GetEnumerated)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorEnumTypeID* type,
                               DescriptorEnumID* value);
        OSErr (*GetReference)(PIActionDescriptor descriptor, DescriptorKeyID key, PIActionReference* value);
        OSErr (*GetClass)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorClassID* value);
        OSErr (*GetGlobalClass)(PIActionDescriptor descriptor, DescriptorKeyID key, DescriptorClassID* value);
        OSErr (*GetAlias)(PIActionDescriptor descriptor, DescriptorKeyID key, Handle* value);
    } PSActionDescriptorProcs;

    // --- PSActionReferenceProcs (action reference suite), version 2 on, up to PutClass --------------
    // The reference suite's identifier ends in ...117, the list suite's in ...116.
    constexpr const char* kPSActionReferenceSuite = "df135117-c769-11d0-8079-00c04fd7ec47";
    constexpr std::int32_t kPSActionReferenceSuiteVersions[] = {2, 3, 4};

    typedef struct PSActionReferenceProcs
    {
        OSErr (*Make)(PIActionReference* reference);
        OSErr (*Free)(PIActionReference reference);
        OSErr (*GetForm)(PIActionReference reference, DescriptorFormID* value);
        OSErr (*GetDesiredClass)(PIActionReference reference, DescriptorClassID* value);
        OSErr (*PutName)(PIActionReference reference, DescriptorClassID desiredClass, char* cstrValue);
        OSErr (*PutIndex)(PIActionReference reference, DescriptorClassID desiredClass, std::uint32_t value);
        OSErr (*PutIdentifier)(PIActionReference reference, DescriptorClassID desiredClass,
                               std::uint32_t value);
        OSErr (*PutOffset)(PIActionReference reference, DescriptorClassID desiredClass, std::int32_t value);
        OSErr (*PutEnumerated)(PIActionReference reference, DescriptorClassID desiredClass,
                               DescriptorEnumTypeID type, DescriptorEnumID value);
        OSErr (*PutProperty)(PIActionReference reference, DescriptorClassID desiredClass,
                             DescriptorKeyID value);
        OSErr (*PutClass)(PIActionReference reference, DescriptorClassID desiredClass);
    } PSActionReferenceProcs;

    // --- PSActionListProcs (action list suite), version 1, up to GetCount ---------------------------
    constexpr const char* kPSActionListSuite = "df135116-c769-11d0-8079-00c04fd7ec47";
    constexpr std::int32_t kPSActionListSuiteVersion = 1;

    typedef struct PSActionListProcs
    {
        OSErr (*Make)(PIActionList* actionList);
        OSErr (*Free)(PIActionList actionList);
        OSErr (*GetType)(PIActionList list, std::uint32_t index, DescriptorTypeID* value);
        OSErr (*GetCount)(PIActionList list, std::uint32_t* value);
    } PSActionListProcs;

    // --- PSHandleSuite1 / PSHandleSuite2 ("Photoshop Handle Suite for Plug-ins") -------------------
    // Version 2 inserted DisposeRegularHandle after Dispose, so the two layouts differ from the third
    // member on; the plug-in calls through whichever version it acquired.
    constexpr const char* kPSHandleSuite = "Photoshop Handle Suite for Plug-ins";
    constexpr std::int32_t kPSHandleSuiteVersion1 = 1;
    constexpr std::int32_t kPSHandleSuiteVersion2 = 2;

    typedef struct PSHandleSuite1
    {
        Handle (*New)(std::int32_t size);
        void (*Dispose)(Handle h);
        void (*SetLock)(Handle h, PSBoolean lock, Ptr* address, PSBoolean* oldLock);
        std::int32_t (*GetSize)(Handle h);
        OSErr (*SetSize)(Handle h, std::int32_t newSize);
        void (*RecoverSpace)(std::int32_t size);
    } PSHandleSuite1;

    typedef struct PSHandleSuite2
    {
        Handle (*New)(std::int32_t size);
        void (*Dispose)(Handle h);
        void (*DisposeRegularHandle)(Handle h);
        void (*SetLock)(Handle h, PSBoolean lock, Ptr* address, PSBoolean* oldLock);
        std::int32_t (*GetSize)(Handle h);
        OSErr (*SetSize)(Handle h, std::int32_t newSize);
        void (*RecoverSpace)(std::int32_t size);
    } PSHandleSuite2;

    // --- PSJavaScriptScriptingSuite ("JavaScript Scripting Suite"), version 3, slots 0-5 -----------
    // Runs ExtendScript in Photoshop: an engine is created, a UTF-16 script executed on it (mode 1:
    // run it now, without the debugger), and the engine deleted. The result text belongs to the
    // engine. Versions 1 to 4 share these slots.
    constexpr const char* kPSJavaScriptScriptingSuite = "JavaScript Scripting Suite";
    constexpr std::int32_t kPSJavaScriptScriptingSuiteVersion = 3;
    constexpr std::int32_t kPSScriptRunWithoutDebugger = 1;

    typedef std::int32_t ASErr;
    typedef struct JSEngineOpaque* JSEngineRef;
    typedef std::uint16_t ASUnicode;

    typedef struct PSJavaScriptScriptingSuite
    {
        PSBoolean (*ScriptIsRunning)(void);
        ASErr (*CreateEngine)(JSEngineRef* engine);
        ASErr (*DeleteEngine)(JSEngineRef engine);
        ASErr (*SetIncludePath)(JSEngineRef engine, const ASUnicode* path);
        ASErr (*GetIncludePath)(JSEngineRef engine, ASUnicode* buffer, std::int32_t* bufferSize);
        ASErr (*ExecuteScript)(JSEngineRef engine, const ASUnicode* script, std::int32_t mode,
                               const ASUnicode** result);
    } PSJavaScriptScriptingSuite;

} // extern "C"

// --- Layout checks (x64): slot n of a suite at byte n * 8 -------------------------------------------
namespace PhotoshopPluginAPILayout
{
constexpr bool SameText(const char* a, const char* b)
{
    while (*a != '\0' && *a == *b)
    {
        ++a;
        ++b;
    }
    return *a == *b;
}
} // namespace PhotoshopPluginAPILayout

#define PS_SLOT(table, member, slot) static_assert(offsetof(table, member) == (slot) * sizeof(void*))
static_assert(sizeof(void*) == 8, "the declarations describe the x64 interface");
static_assert(sizeof(SPBasicSuite) == 7 * sizeof(void*));
static_assert(offsetof(SPMessageData, SPCheck) == 0);
static_assert(offsetof(SPMessageData, self) == 8);
static_assert(offsetof(SPMessageData, globals) == 16);
static_assert(offsetof(SPMessageData, basic) == 24);
static_assert(sizeof(SPMessageData) == 32);
static_assert(offsetof(PIActionParameters, playInfo) == 0);
static_assert(offsetof(PIActionParameters, recordInfo) == 4);
static_assert(offsetof(PIActionParameters, descriptor) == 8);
static_assert(sizeof(PIActionParameters) == 16);
static_assert(offsetof(PSActionsPlugInMessage, actionParameters) == 32);
static_assert(sizeof(PSActionsPlugInMessage) == 40);
static_assert(sizeof(SPBlocksSuite) == 3 * sizeof(void*));

PS_SLOT(PSActionControlProcs, Play, 0);
PS_SLOT(PSActionControlProcs, Get, 1);
PS_SLOT(PSActionControlProcs, StringIDToTypeID, 2);
PS_SLOT(PSActionControlProcs, TypeIDToStringID, 3);
PS_SLOT(PSActionControlProcs, AddNotify, 4);
PS_SLOT(PSActionControlProcs, RemoveNotify, 5);
PS_SLOT(PSActionControlProcs, MakeStringAlias, 7);
static_assert(sizeof(PSActionControlProcs) == 8 * sizeof(void*));

PS_SLOT(PSActionDescriptorProcs, Free, 1);
PS_SLOT(PSActionDescriptorProcs, GetType, 2);
PS_SLOT(PSActionDescriptorProcs, Clear, 8);
PS_SLOT(PSActionDescriptorProcs, PutInteger, 9);
PS_SLOT(PSActionDescriptorProcs, GetInteger, 22);
PS_SLOT(PSActionDescriptorProcs, GetFloat, 23);
PS_SLOT(PSActionDescriptorProcs, GetUnitFloat, 24);
PS_SLOT(PSActionDescriptorProcs, GetStringLength, 25);
PS_SLOT(PSActionDescriptorProcs, GetString, 26);
PS_SLOT(PSActionDescriptorProcs, GetBoolean, 27);
PS_SLOT(PSActionDescriptorProcs, GetList, 28);
PS_SLOT(PSActionDescriptorProcs, GetObject, 29);
PS_SLOT(PSActionDescriptorProcs, GetGlobalObject, 30);
PS_SLOT(PSActionDescriptorProcs, GetEnumerated, 31);
PS_SLOT(PSActionDescriptorProcs, GetClass, 33);
PS_SLOT(PSActionDescriptorProcs, GetGlobalClass, 34);
PS_SLOT(PSActionDescriptorProcs, GetAlias, 35);
static_assert(sizeof(PSActionDescriptorProcs) == 36 * sizeof(void*));

PS_SLOT(PSActionReferenceProcs, Make, 0);
PS_SLOT(PSActionReferenceProcs, Free, 1);
PS_SLOT(PSActionReferenceProcs, PutIndex, 5);
PS_SLOT(PSActionReferenceProcs, PutIdentifier, 6);
PS_SLOT(PSActionReferenceProcs, PutEnumerated, 8);
PS_SLOT(PSActionReferenceProcs, PutProperty, 9);
PS_SLOT(PSActionReferenceProcs, PutClass, 10);

PS_SLOT(PSActionListProcs, Free, 1);
PS_SLOT(PSActionListProcs, GetCount, 3);

PS_SLOT(PSHandleSuite1, SetLock, 2);
PS_SLOT(PSHandleSuite1, GetSize, 3);
PS_SLOT(PSHandleSuite2, DisposeRegularHandle, 2);
PS_SLOT(PSHandleSuite2, SetLock, 3);
PS_SLOT(PSHandleSuite2, GetSize, 4);

PS_SLOT(PSJavaScriptScriptingSuite, ScriptIsRunning, 0);
PS_SLOT(PSJavaScriptScriptingSuite, CreateEngine, 1);
PS_SLOT(PSJavaScriptScriptingSuite, DeleteEngine, 2);
PS_SLOT(PSJavaScriptScriptingSuite, ExecuteScript, 5);
#undef PS_SLOT

// Suite identifiers as Photoshop serves them.
static_assert(PhotoshopPluginAPILayout::SameText(kPSActionControlSuite,
                                                 "bc1e4d70-f953-11d0-8d9f-00c04fd5f7ee"));
static_assert(PhotoshopPluginAPILayout::SameText(kPSActionDescriptorSuite,
                                                 "df135115-c769-11d0-8079-00c04fd7ec47"));
static_assert(PhotoshopPluginAPILayout::SameText(kPSActionListSuite, "df135116-c769-11d0-8079-00c04fd7ec47"));
static_assert(PhotoshopPluginAPILayout::SameText(kPSActionReferenceSuite,
                                                 "df135117-c769-11d0-8079-00c04fd7ec47"));
static_assert(PhotoshopPluginAPILayout::SameText(kSPBlocksSuite, "SP Blocks Suite"));
static_assert(PhotoshopPluginAPILayout::SameText(kPSHandleSuite, "Photoshop Handle Suite for Plug-ins"));
static_assert(PhotoshopPluginAPILayout::SameText(kPSJavaScriptScriptingSuite, "JavaScript Scripting Suite"));
static_assert(kPSActionControlSuiteVersions[0] == 2, "the action control suite has no version 1");
static_assert(kPSActionDescriptorSuiteVersions[0] == 2 && kPSActionReferenceSuiteVersions[0] == 2);
