// Unit main: the library's export, the plug-in object and the process-wide state every other
// unit relies on.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "plugin/u_plugin_info.h"
#include "plugin/u_plugin_msg.h"

namespace quillet {

// Handed to the host in the information record; live as long as the library.
extern const std::u16string PluginName;    // "Quillet"
extern const std::u16string PluginAuthor;  // "Ostrel software"

// The plug-in's own version, 0.8: reported to the host and shown by the options dialog.
inline constexpr std::uint16_t PluginVersionMajor = 0;
inline constexpr std::uint16_t PluginVersionMinor = 8;

// Full path of the library file in the ANSI code page; set at every start-up, empty before.
// The settings file, the list files and the Languages folder are all found beside it.
extern std::string PluginPath;

// The lines of "Exclude.ini", in file order (loaded at start-up and after the options dialog).
extern std::vector<std::string> ExcludeList;
// The alias rules of "aliases.ini": entry i of both lists is rule i.
extern std::vector<std::string> AliasFromList;
extern std::vector<std::string> AliasToList;

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
