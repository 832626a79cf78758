/* The plug-in as the messenger sees it: nothing but an export, two virtual tables and records at
 * fixed byte offsets. This program knows no declaration of the plug-in's; it builds the host's
 * service object by hand, drives the library through its life and checks every byte it can see.
 *
 * Usage: plugin_boundary_test <path of Quillet.dll>
 * Prints one line per check and a final "N passed, N failed"; exits non-zero on any failure. */
#include <windows.h>

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <wchar.h>

#include "QuilletVersion.h"

/* ---- Checks ----------------------------------------------------------------------------------- */

static int passed;
static int failed;

static void Check(int ok, const char* format, ...) {
    va_list args;
    va_start(args, format);
    printf("%s: ", ok ? "PASS" : "FAIL");
    vprintf(format, args);
    printf("\n");
    va_end(args);
    if (ok) {
        ++passed;
    } else {
        ++failed;
    }
    fflush(stdout);
}

/* A crash inside the plug-in ends the run with a line that says so, rather than a debugger. */
static LONG WINAPI ReportCrash(EXCEPTION_POINTERS* info) {
    printf("FAIL: the process crashed with exception 0x%08lX at %p\n",
           (unsigned long)info->ExceptionRecord->ExceptionCode,
           info->ExceptionRecord->ExceptionAddress);
    printf("%d passed, %d failed\n", passed, failed + 1);
    fflush(stdout);
    ExitProcess(3);
    return EXCEPTION_EXECUTE_HANDLER;
}

/* ---- The host's service object: IUnknown and two operations, by hand ----------------------- */

typedef struct Service Service;
typedef struct ServiceTable {
    HRESULT(WINAPI* QueryInterface)(Service* self, const GUID* iid, void** result);
    ULONG(WINAPI* AddRef)(Service* self);
    ULONG(WINAPI* Release)(Service* self);
    void(WINAPI* Operation3)(Service* self);
    void(WINAPI* Operation4)(Service* self);
} ServiceTable;

struct Service {
    const ServiceTable* table; /* offset 0, as for every interface */
    LONG references;
    LONG operationCalls;
};

static const GUID kIUnknown = {0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

static HRESULT WINAPI ServiceQueryInterface(Service* self, const GUID* iid, void** result) {
    *result = NULL;
    if (memcmp(iid, &kIUnknown, sizeof kIUnknown) != 0) return E_NOINTERFACE;
    InterlockedIncrement(&self->references);
    *result = self;
    return S_OK;
}
static ULONG WINAPI ServiceAddRef(Service* self) {
    return (ULONG)InterlockedIncrement(&self->references);
}
static ULONG WINAPI ServiceRelease(Service* self) {
    return (ULONG)InterlockedDecrement(&self->references);
}
static void WINAPI ServiceOperation(Service* self) { InterlockedIncrement(&self->operationCalls); }

static const ServiceTable kServiceTable = {ServiceQueryInterface, ServiceAddRef, ServiceRelease,
                                           ServiceOperation, ServiceOperation};

/* ---- The plug-in's interface, read by slot number ------------------------------------------- */

typedef void (*AnyProc)(void);
typedef void(WINAPI* CreateProc)(void** plugin, void* service);
typedef HRESULT(WINAPI* QueryInterfaceProc)(void* self, const GUID* iid, void** result);
typedef ULONG(WINAPI* CountProc)(void* self);
typedef unsigned char*(WINAPI* GetPluginInfoProc)(void* self);
typedef void(WINAPI* HandleEventProc)(void* self, unsigned char* event);

enum { kQueryInterface = 0, kAddRef = 1, kRelease = 2, kGetPluginInfo = 3, kHandleEvent = 4 };

static AnyProc Slot(void* plugin, int index) { return (*(AnyProc**)plugin)[index]; }

static HRESULT CallQueryInterface(void* plugin, const GUID* iid, void** result) {
    return ((QueryInterfaceProc)Slot(plugin, kQueryInterface))(plugin, iid, result);
}
static ULONG CallAddRef(void* plugin) { return ((CountProc)Slot(plugin, kAddRef))(plugin); }
static ULONG CallRelease(void* plugin) { return ((CountProc)Slot(plugin, kRelease))(plugin); }
static unsigned char* CallGetPluginInfo(void* plugin) {
    return ((GetPluginInfoProc)Slot(plugin, kGetPluginInfo))(plugin);
}
static void CallHandleEvent(void* plugin, unsigned char* event) {
    ((HandleEventProc)Slot(plugin, kHandleEvent))(plugin, event);
}

/* ---- Records by offset ------------------------------------------------------------------------ */

/* TPluginInfo, 24 bytes. */
enum { kInfoSize = 24, kDllHandle = 0, kDllPath = 4, kVersion1 = 8, kVersion2 = 10,
       kVerMajor = 12, kVerMinor = 14, kPluginName = 16, kPluginAuthor = 20 };
/* TPluginEvent, 20 bytes; the host's own memory follows it here and must stay untouched. */
enum { kEventSize = 20, kEventCode = 0, kEventData = 4, kEventResult = 16, kEventBuffer = 32 };

static const LONG kResultSentinel = 0x5A5A1234;

static void* ReadPointer(const unsigned char* record, int offset) {
    void* value;
    memcpy(&value, record + offset, sizeof value);
    return value;
}
static unsigned short ReadU16(const unsigned char* record, int offset) {
    unsigned short value;
    memcpy(&value, record + offset, sizeof value);
    return value;
}
static LONG ReadI32(const unsigned char* record, int offset) {
    LONG value;
    memcpy(&value, record + offset, sizeof value);
    return value;
}
static void WritePointer(unsigned char* record, int offset, const void* value) {
    memcpy(record + offset, &value, sizeof value);
}
static void WriteI32(unsigned char* record, int offset, LONG value) {
    memcpy(record + offset, &value, sizeof value);
}

/* An event record for `code` inside a larger buffer: every byte the plug-in must not read is
 * filled with a pattern, Data holds null and Result the sentinel. */
static void PrepareEvent(unsigned char* buffer, LONG code) {
    memset(buffer, 0xA5, kEventBuffer);
    WriteI32(buffer, kEventCode, code);
    WritePointer(buffer, kEventData, NULL);
    WriteI32(buffer, kEventResult, kResultSentinel);
}

/* Sends `code` and returns whether all bytes of the buffer (the record and what follows it)
 * are as they were. */
static int SendLeavesEventUnchanged(void* plugin, LONG code) {
    unsigned char before[kEventBuffer];
    unsigned char event[kEventBuffer];
    PrepareEvent(event, code);
    memcpy(before, event, sizeof before);
    CallHandleEvent(plugin, event);
    return memcmp(before, event, sizeof before) == 0;
}

static int WideEquals(const void* text, const wchar_t* expected) {
    return text != NULL && wcscmp((const wchar_t*)text, expected) == 0;
}

/* ---- The library's export table --------------------------------------------------------------- */

/* The names the library exports, read from its PE export directory; returns how many there are
 * and copies the first one into `first` (empty when there is none). */
static DWORD ExportedNames(HMODULE module, char* first, size_t capacity) {
    const unsigned char* base = (const unsigned char*)module;
    const IMAGE_DOS_HEADER* dos = (const IMAGE_DOS_HEADER*)base;
    const IMAGE_NT_HEADERS* nt = (const IMAGE_NT_HEADERS*)(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY* entry =
        &nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
    const IMAGE_EXPORT_DIRECTORY* exports;
    first[0] = '\0';
    if (entry->VirtualAddress == 0) return 0;
    exports = (const IMAGE_EXPORT_DIRECTORY*)(base + entry->VirtualAddress);
    if (exports->NumberOfNames > 0) {
        const DWORD* names = (const DWORD*)(base + exports->AddressOfNames);
        snprintf(first, capacity, "%s", (const char*)(base + names[0]));
    }
    return exports->NumberOfNames;
}

/* ---- The checks ------------------------------------------------------------------------------ */

static void CheckQueryInterface(void* plugin) {
    static const GUID kNull = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
    static const GUID kOthers[] = {
        {0x00020400, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, /* IDispatch */
        {0x00000001, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}}, /* IUnknown but for one byte */
        {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 1}},                /* null but for the last byte */
        {0x12345678, 0x9ABC, 0xDEF0, {1, 2, 3, 4, 5, 6, 7, 8}},
    };
    void* result = NULL;
    HRESULT status = CallQueryInterface(plugin, &kNull, &result);
    Check(status == S_OK && result == plugin,
          "QueryInterface(null identifier) gives the plug-in's interface (status 0x%08lX)",
          (unsigned long)status);
    if (result != NULL) {
        ULONG count = CallRelease(result);
        Check(count == 1, "... with one reference added (Release gives %lu, want 1)",
              (unsigned long)count);
    }

    result = NULL;
    status = CallQueryInterface(plugin, &kIUnknown, &result);
    Check(status == S_OK && result != NULL,
          "QueryInterface(IUnknown) succeeds with an interface (status 0x%08lX)",
          (unsigned long)status);
    if (result != NULL) {
        ULONG count = CallRelease(result);
        Check(count == 1, "... with one reference added (Release gives %lu, want 1)",
              (unsigned long)count);
    }

    for (size_t i = 0; i < sizeof kOthers / sizeof kOthers[0]; ++i) {
        ULONG added;
        ULONG dropped;
        result = (void*)&result; /* anything but null, so a result left alone shows */
        status = CallQueryInterface(plugin, &kOthers[i], &result);
        added = CallAddRef(plugin);
        dropped = CallRelease(plugin);
        Check(status == (HRESULT)0x80004002L && result == NULL && added == 2 && dropped == 1,
              "QueryInterface(other identifier %u) gives E_NOINTERFACE, a null result and no "
              "reference (status 0x%08lX, result %p, count after %lu)",
              (unsigned)i, (unsigned long)status, result, (unsigned long)dropped);
    }
}

static void CheckInfoAfterStartUp(const unsigned char* info, HMODULE module) {
    static wchar_t modulePath[32768];
    DWORD length = GetModuleFileNameW(module, modulePath, sizeof modulePath / sizeof modulePath[0]);
    const void* dllPath = ReadPointer(info, kDllPath);
    Check(ReadPointer(info, kDllHandle) == (void*)module, "DllHandle (offset 0) is kept");
    Check(length > 0 && WideEquals(dllPath, modulePath),
          "DllPath (offset 4) names the library's own file \"%ls\" (got \"%ls\")", modulePath,
          dllPath != NULL ? (const wchar_t*)dllPath : L"(null)");
    Check(ReadU16(info, kVersion1) == 1 && ReadU16(info, kVersion2) == 2 &&
              ReadU16(info, kVerMajor) == QUILLET_VERSION_MAJOR &&
              ReadU16(info, kVerMinor) == QUILLET_VERSION_MINOR,
          "versions at offsets 8, 10, 12, 14 are 1 2 %d %d (got %u %u %u %u)",
          QUILLET_VERSION_MAJOR, QUILLET_VERSION_MINOR, ReadU16(info, kVersion1),
          ReadU16(info, kVersion2), ReadU16(info, kVerMajor), ReadU16(info, kVerMinor));
    Check(WideEquals(ReadPointer(info, kPluginName), L"Quillet"),
          "PluginName (offset 16) is \"Quillet\"");
    Check(WideEquals(ReadPointer(info, kPluginAuthor), L"Ostrel software"),
          "PluginAuthor (offset 20) is \"Ostrel software\"");
}

static void CheckStartUp(void* plugin, unsigned char* info, HMODULE module) {
    unsigned char zero[kInfoSize] = {0};
    unsigned char event[kEventBuffer];
    unsigned char before[kEventBuffer];

    Check(memcmp(info, zero, kInfoSize) == 0, "the information record is all zero before start-up");
    WritePointer(info, kDllHandle, module);

    PrepareEvent(event, 1);
    memcpy(before, event, sizeof before);
    CallHandleEvent(plugin, event);
    Check(ReadI32(event, kEventResult) == kResultSentinel, "start-up leaves Result unwritten");
    Check(memcmp(before, event, sizeof before) == 0,
          "start-up writes nothing into the event record or the memory after it");
    CheckInfoAfterStartUp(info, module);

    Check(SendLeavesEventUnchanged(plugin, 1), "a second start-up leaves the event alone too");
    CheckInfoAfterStartUp(info, module);
}

static void CheckIgnoredCodes(void* plugin, const unsigned char* info) {
    static const LONG kCodes[] = {0, 2, 3, 4, 5, 7, 8, 9, 10, 11, 12, 13, 14, 15, 18, 100, -1,
                                  0x7FFFFFFF, (LONG)0x80000000};
    unsigned char infoBefore[kInfoSize];
    memcpy(infoBefore, info, kInfoSize);
    for (size_t i = 0; i < sizeof kCodes / sizeof kCodes[0]; ++i) {
        Check(SendLeavesEventUnchanged(plugin, kCodes[i]),
              "event code %ld leaves the event record and Result unchanged", (long)kCodes[i]);
    }
    Check(memcmp(infoBefore, info, kInfoSize) == 0,
          "ignored events leave the information record unchanged");
}

/* A plug-in created, started and released; returns its interface's final count. */
static ULONG StartAndRelease(CreateProc create, HMODULE module, void* service, const char* what) {
    void* plugin = NULL;
    unsigned char* info;
    create(&plugin, service);
    Check(plugin != NULL, "%s: CreateCorvexPLUGIN stores an interface", what);
    if (plugin == NULL) return 0;
    info = CallGetPluginInfo(plugin);
    Check(info != NULL, "%s: GetPluginInfo gives a record", what);
    if (info != NULL) {
        WritePointer(info, kDllHandle, module);
        Check(SendLeavesEventUnchanged(plugin, 1), "%s: start-up leaves Result unwritten", what);
        Check(WideEquals(ReadPointer(info, kPluginName), L"Quillet") &&
                  ReadU16(info, kVerMinor) == QUILLET_VERSION_MINOR,
              "%s: the record is filled at start-up", what);
    }
    return CallRelease(plugin);
}

static void CheckMainPlugin(CreateProc create, HMODULE module, Service* service) {
    const LONG held = service->references;
    void* plugin = NULL;
    unsigned char* info;
    ULONG count;

    create(&plugin, service);
    Check(plugin != NULL, "CreateCorvexPLUGIN stores an interface into a variable holding null");
    if (plugin == NULL) return;
    Check(service->references == held + 1,
          "the plug-in keeps one reference to the service (%ld, want %ld)",
          (long)service->references, (long)(held + 1));
    count = CallAddRef(plugin);
    Check(count == 2, "AddRef (slot 1) gives 2: the host's variable held the only reference (%lu)",
          (unsigned long)count);
    count = CallRelease(plugin);
    Check(count == 1, "Release (slot 2) gives 1 again (%lu)", (unsigned long)count);

    info = CallGetPluginInfo(plugin);
    Check(info != NULL && CallGetPluginInfo(plugin) == info,
          "GetPluginInfo (slot 3) gives the same record every time");
    if (info != NULL) {
        CheckStartUp(plugin, info, module);
        CheckIgnoredCodes(plugin, info);
    }
    CheckQueryInterface(plugin);

    count = CallRelease(plugin);
    Check(count == 0, "the host's Release gives 0 (%lu)", (unsigned long)count);
    Check(service->references == held,
          "after the last Release the service holds what it held before (%ld, want %ld)",
          (long)service->references, (long)held);
}

/* The export releases what the host's variable held: creating into a variable that holds a
 * live plug-in leaves only the new one. */
static void CheckReplacedVariable(CreateProc create, Service* service) {
    const LONG held = service->references;
    void* plugin = NULL;
    ULONG count;
    create(&plugin, service);
    if (plugin == NULL) {
        Check(0, "CreateCorvexPLUGIN stores an interface for the replacement check");
        return;
    }
    create(&plugin, service);
    Check(plugin != NULL && service->references == held + 1,
          "creating into a variable that holds a plug-in releases the old one (service "
          "references %ld, want %ld)",
          (long)service->references, (long)(held + 1));
    if (plugin == NULL) return;
    count = CallRelease(plugin);
    Check(count == 0 && service->references == held,
          "the replacement's Release gives 0 and the service is back to %ld references (%ld)",
          (long)held, (long)service->references);
}

int main(int argc, char** argv) {
    Service service = {&kServiceTable, 1, 0};
    HMODULE module;
    AnyProc export;
    char firstName[256];
    DWORD names;
    ULONG count;

    SetUnhandledExceptionFilter(ReportCrash);
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOGPFAULTERRORBOX);
    if (argc != 2) {
        fprintf(stderr, "usage: %s <path of Quillet.dll>\n", argv[0]);
        return 2;
    }
    module = LoadLibraryA(argv[1]);
    Check(module != NULL, "LoadLibrary(%s) (error %lu)", argv[1],
          (unsigned long)(module == NULL ? GetLastError() : 0));
    if (module == NULL) {
        printf("%d passed, %d failed\n", passed, failed);
        return 1;
    }
    names = ExportedNames(module, firstName, sizeof firstName);
    Check(names == 1 && strcmp(firstName, "CreateCorvexPLUGIN") == 0,
          "the library exports exactly one name, CreateCorvexPLUGIN (%lu names, first \"%s\")",
          (unsigned long)names, firstName);
    export = (AnyProc)GetProcAddress(module, "CreateCorvexPLUGIN");
    Check(export != NULL, "GetProcAddress(\"CreateCorvexPLUGIN\")");
    if (export != NULL) {
        const CreateProc create = (CreateProc)export;
        CheckMainPlugin(create, module, &service);
        count = StartAndRelease(create, module, NULL, "with a null service");
        Check(count == 0, "with a null service: the last Release gives 0 (%lu)",
              (unsigned long)count);
        CheckReplacedVariable(create, &service);
    }
    Check(service.references == 1, "the service ends with only the host's own reference (%ld)",
          (long)service.references);
    Check(service.operationCalls == 0, "the plug-in never called the service's operations 3, 4");
    Check(FreeLibrary(module) != 0, "FreeLibrary");

    printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
