// The host's side of the plug-in boundary: the information record, the two interfaces and the
// exported function's signature.
//
// One declaration serves both builds. On 32-bit Windows the records have the host's byte layout
// (pointers and handles 4 bytes, 4-byte alignment, stdcall slots), checked below. The native
// build keeps the same fields in the same order in natural 64-bit layout: pointers 8 bytes,
// the host's unread fields pointer-sized, texts UTF-16.
#pragma once

#include <cstddef>
#include <cstdint>

#if defined(_WIN32) && !defined(_WIN64)
#define QUILLET_STDCALL __stdcall
#else
#define QUILLET_STDCALL
#endif

namespace quillet {

// A 16-byte interface identifier, as COM lays it out.
struct TGuid {
    std::uint32_t Data1;
    std::uint16_t Data2;
    std::uint16_t Data3;
    std::uint8_t Data4[8];
};

inline constexpr std::int32_t S_OK_ = 0;
inline constexpr std::int32_t E_NOINTERFACE_ = static_cast<std::int32_t>(0x80004002u);

// The null identifier (all sixteen bytes zero) names IDAXPlugin.
inline constexpr TGuid IID_IDAXPlugin = {0, 0, 0, {0, 0, 0, 0, 0, 0, 0, 0}};
// {00000000-0000-0000-C000-000000000046}
inline constexpr TGuid IID_IUnknown = {0, 0, 0, {0xC0, 0, 0, 0, 0, 0, 0, 0x46}};

bool SameGuid(const TGuid& a, const TGuid& b);

// IUnknown: slots 0 to 2 of every interface here. The host owns the objects behind the pointers
// it hands over, so nobody deletes through this type.
struct IUnknownSlots {
    virtual std::int32_t QUILLET_STDCALL QueryInterface(const TGuid* iid, void** result) = 0;
    virtual std::uint32_t QUILLET_STDCALL AddRef() = 0;
    virtual std::uint32_t QUILLET_STDCALL Release() = 0;

protected:
    ~IUnknownSlots() = default;
};

// The plug-in's information record; lives inside the plug-in object.
struct TPluginInfo {
    void* DllHandle;                  // written by the host before EVENT_STARTUP
    const char16_t* DllPath;          // the library file's full path
    std::uint16_t Version1;           // always 1
    std::uint16_t Version2;           // always 2
    std::uint16_t PluginVerMajor;     // 0
    std::uint16_t PluginVerMinor;     // 8
    const char16_t* PluginName;       // "Quillet"
    const char16_t* PluginAuthor;     // "Ostrel software"
};

struct TPluginEvent;

// The plug-in's interface (identifier: the null identifier).
struct IDAXPlugin : IUnknownSlots {
    virtual TPluginInfo* QUILLET_STDCALL GetPluginInfo() = 0;
    virtual void QUILLET_STDCALL HandleEvent(TPluginEvent* event) = 0;

protected:
    ~IDAXPlugin() = default;
};

// The host's service interface: IUnknown plus two operations of the host's that the plug-in
// never calls; only its reference count is touched.
struct IDAXPluginService : IUnknownSlots {
    virtual void QUILLET_STDCALL HostReserved3() = 0;
    virtual void QUILLET_STDCALL HostReserved4() = 0;

protected:
    ~IDAXPluginService() = default;
};

// The library's one export.
using CreateCorvexPLUGINProc = void(QUILLET_STDCALL*)(IDAXPlugin** plugin,
                                                      IDAXPluginService* service);

#if defined(_WIN32) && !defined(_WIN64)
static_assert(sizeof(TGuid) == 16);
static_assert(sizeof(TPluginInfo) == 24);
static_assert(offsetof(TPluginInfo, DllHandle) == 0);
static_assert(offsetof(TPluginInfo, DllPath) == 4);
static_assert(offsetof(TPluginInfo, Version1) == 8);
static_assert(offsetof(TPluginInfo, Version2) == 10);
static_assert(offsetof(TPluginInfo, PluginVerMajor) == 12);
static_assert(offsetof(TPluginInfo, PluginVerMinor) == 14);
static_assert(offsetof(TPluginInfo, PluginName) == 16);
static_assert(offsetof(TPluginInfo, PluginAuthor) == 20);
#endif

}  // namespace quillet
