// Unit main: the library's export and the plug-in object. The process-wide values every other
// unit relies on (PluginPath, the three lists, the version) are declared in config/PluginGlobals.h.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>

#include "config/MessageContext.h"
#include "config/PluginGlobals.h"
#include "plugin/u_plugin_info.h"
#include "plugin/u_plugin_msg.h"

namespace quillet {

// Handed to the host in the information record; live as long as the library.
extern const std::u16string PluginName;    // "Quillet"
extern const std::u16string PluginAuthor;  // "Ostrel software"

// How a message event gets its context (BuildMessageContext); tests put in one that fails.
using MessageContextMaker = MessageContext (*)(const std::string& pluginPath,
                                               const VersionedLines& excludeList);

// A received (or sent) message event, as HandleEvent hands it on: the message is written to its
// contact's history file unless the contact is excluded, and every failure on the way is told in
// a box.
void RecordMessage(TPluginEvent& event, bool received,
                   MessageContextMaker makeContext = BuildMessageContext);

// The one plug-in object the host holds.
class TDaxPlugin final : public IDAXPlugin {
public:
    explicit TDaxPlugin(IDAXPluginService* service);
    ~TDaxPlugin();
    TDaxPlugin(const TDaxPlugin&) = delete;
    TDaxPlugin& operator=(const TDaxPlugin&) = delete;

    std::int32_t QUILLET_STDCALL QueryInterface(const TGuid* iid, void** result) override;
    std::uint32_t QUILLET_STDCALL AddRef() override;
    std::uint32_t QUILLET_STDCALL Release() override;
    TPluginInfo* QUILLET_STDCALL GetPluginInfo() override;
    void QUILLET_STDCALL HandleEvent(TPluginEvent* event) override;

private:
    void StartUp();
    void FinishInterruptedSaves();

    std::atomic<std::int32_t> refCount_{0};
    IDAXPluginService* FPluginService;
    TPluginInfo FPluginInfo{};
    std::u16string FDllPath;
};

}  // namespace quillet

#if defined(_WIN32)
#define QUILLET_EXPORT
#else
#define QUILLET_EXPORT __attribute__((visibility("default")))
#endif

// The library's only export: stores the plug-in's interface, with one reference, into *plugin
// (releasing what the variable held) and keeps one reference to the host's service.
extern "C" QUILLET_EXPORT void QUILLET_STDCALL
CreateCorvexPLUGIN(quillet::IDAXPlugin** plugin, quillet::IDAXPluginService* service);
